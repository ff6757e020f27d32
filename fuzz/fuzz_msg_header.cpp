// The msgHeader envelope built from arbitrary host records: it is refused exactly when the
// command is no cmdType value, and otherwise reads back as a peer reads it, all six fields set.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "msg_header.h"
#include "timmsgtype.pb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  int32_t cmd = 0;
  uint64_t seq = 0;
  std::memcpy(&cmd, data, sizeof(cmd));
  std::memcpy(&seq, data + 4, sizeof(seq));
  // Most inputs use a real command so that the payload side is exercised too.
  if ((data[0] & 1) == 0) cmd = em_CT_GENERAL_MSG;
  const std::string payload(reinterpret_cast<const char*>(data) + 12, size - 12);

  std::string wire;
  const bool built = kuvochat::BuildMsgHeader(cmd, seq, payload, &wire);
  if (built != static_cast<bool>(cmdType_IsValid(cmd))) std::abort();
  if (!built) {
    if (!wire.empty()) std::abort();
    return 0;
  }
  msgHeader header;
  if (!header.ParseFromString(wire)) std::abort();
  if (header.cmd() != cmd || header.seq() != seq || header.clientversion() != 11151 ||
      header.platform() != em_PT_PC || header.lcid() != 0 || header.buf() != payload) {
    std::abort();
  }
  return 0;
}
