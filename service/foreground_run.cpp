#include "service/foreground_run.h"

#include "service/kx_web_service.h"

namespace kx {

int RunInForeground(TKXWEBService& service, const std::shared_future<void>& stopRequested) {
  const bool started = service.ServiceStart();
  if (started) stopRequested.wait();
  service.ServiceStop();
  return started ? 0 : 1;
}

}  // namespace kx
