// The msgHeader envelope that Im_SendMsg puts around a host payload when the host asks for
// wrapping. KuvoChat builds only this record of the timmsgtype schema; it never parses one.
#pragma once

#include <cstdint>
#include <string>

namespace kuvochat {

// The client version this build announces, in msgHeader.clientVersion and at login.
constexpr uint32_t kMsgHeaderClientVersion = 11151;

// Serialises a msgHeader carrying all six fields: cmd, seq, clientVersion 11151, platform
// em_PT_PC, lcid 0 and buf = payload (which may be empty). Returns false, leaving *out empty,
// when cmd is not a cmdType value: a peer could not parse such a header (the field is required
// and an unknown enumerator counts as missing), so it is refused here instead of sent.
bool BuildMsgHeader(int32_t cmd, uint64_t seq, const std::string& payload, std::string* out);

}  // namespace kuvochat
