// Peer texts from the SDK: parsing and the filter on arbitrary text, and MakePeer's texts read
// back as the kind and id they were made from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "peer_id.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  uint32_t kind = 77;
  uint64_t id = 77;
  const bool parsed = kuvochat::ParsePeer(text, &kind, &id);
  if (text.empty() && (parsed || kind != 77 || id != 77)) std::abort();
  if (!text.empty() && !parsed && (kind != 0 || id != 0)) std::abort();
  const bool ignored = kuvochat::IsIgnoredPeer(text);
  if (parsed && ignored) std::abort();

  if (size >= 12) {
    uint32_t make_kind = 0;
    uint64_t make_id = 0;
    std::memcpy(&make_kind, data, sizeof(make_kind));
    std::memcpy(&make_id, data + 4, sizeof(make_id));
    make_kind %= 64;
    const kuvochat::SdkPeer peer = kuvochat::MakePeer(make_kind, make_id);
    if (peer.peer.empty() != (peer.conv_type == kuvochat::kConvTypeNone)) std::abort();
    // Ids beyond the signed range do not survive the signed read-back; cscmd_ is outbound only.
    if (!peer.peer.empty() && make_kind != em_PK_CSCMD &&
        make_id <= static_cast<uint64_t>(INT64_MAX)) {
      uint32_t back_kind = 0;
      uint64_t back_id = 0;
      if (!kuvochat::ParsePeer(peer.peer, &back_kind, &back_id)) std::abort();
      if (back_kind != make_kind || back_id != make_id) std::abort();
    }
  }
  return 0;
}
