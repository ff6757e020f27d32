#include "requests_in_flight.h"

#include "msg_list_request.h"
#include "send_request.h"

namespace kuvochat {

void ForgetRequestsInFlight() {
  RequestsInFlight<CImSendRequest>::Get().Clear();
  RequestsInFlight<CImMsgListRequest>::Get().Clear();
}

}  // namespace kuvochat
