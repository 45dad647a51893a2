// The service thread of a service that runs in the foreground, without a service manager.
#pragma once

#include <future>

namespace kx {

class TKXWEBService;

// Runs the start sequence, waits until `stopRequested` is ready, and runs the stop sequence. A
// failed start (1.log written) runs the stop sequence at once and gives the exit status 1, so
// whoever started the process sees the failure; otherwise 0.
[[nodiscard]] int RunInForeground(TKXWEBService& service,
                                  const std::shared_future<void>& stopRequested);

}  // namespace kx
