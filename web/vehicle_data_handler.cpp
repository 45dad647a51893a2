#include "web/vehicle_data_handler.h"

#include "mapdata/vehicle_data_request.h"
#include "web/reply_text.h"

namespace kx {

void HandleVehicleData(RequestScope& scope) {
  const CarCaller caller{scope.context.login, scope.context.sessionId, scope.context.host};
  ReplyText(scope, AnswerVehicleDataRequest(scope.state, caller, scope.exchange.request.query));
}

}  // namespace kx
