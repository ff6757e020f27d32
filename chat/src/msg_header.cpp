#include "msg_header.h"

#include "timmsgtype.pb.h"

namespace kuvochat {

bool BuildMsgHeader(int32_t cmd, uint64_t seq, const std::string& payload, std::string* out) {
  if (out == nullptr) return false;
  out->clear();
  if (!cmdType_IsValid(cmd)) return false;
  msgHeader header;
  header.set_cmd(static_cast<cmdType>(cmd));
  header.set_seq(seq);
  header.set_clientversion(kMsgHeaderClientVersion);
  header.set_platform(em_PT_PC);
  header.set_lcid(0);
  header.set_buf(payload);
  if (!header.SerializeToString(out)) {
    out->clear();
    return false;
  }
  return true;
}

}  // namespace kuvochat
