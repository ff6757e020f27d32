// Mapping between the host's conversation names (PeerKind code + 64-bit id) and the SDK's peer
// texts and conversation types, and the filter that decides which peers the host hears of.
// Pure functions, callable from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "KuvoChatPeer.h"

namespace kuvochat {

// SDK conversation types as this library uses them.
constexpr int kConvTypeNone = 0;
constexpr int kConvTypeC2C = 1;
constexpr int kConvTypeGroup = 2;
constexpr int kConvTypeSystem = 3;

// Peer text prefixes.
extern const char kPeerPrefixG[];
extern const char kPeerPrefixD[];
extern const char kPeerPrefixCd[];
extern const char kPeerPrefixGuest[];  // defined for completeness; no operation uses it
extern const char kPeerPrefixCscmd[];
extern const char kPeerMarkWebImSvr[];
extern const char kPeerPrefixMatterDiscuss[];
extern const char kPeerPrefixMatterRemind[];
extern const char kPeerPrefixMatterCustomer[];
extern const char kPeerPrefixMatterCustomerVisit[];
extern const char kPeerPrefixMatterOrderApproval[];
// Service partners that are reported although their text does not parse, in this order.
extern const char* const kServicePeerPrefixes[4];

struct SdkPeer {
  std::string peer;  // empty for an unknown kind
  int conv_type = kConvTypeNone;
};

// (kind, id) -> peer text and conversation type. Unknown kinds give an empty text and type 0.
SdkPeer MakePeer(uint32_t kind, uint64_t id);

// Peer text -> (kind, id). An empty text gives false and leaves both outputs untouched; any
// other text writes both (0, 0 first) and gives true when a kind was recognised.
bool ParsePeer(const std::string& peer, uint32_t* kind, uint64_t* id);

// True when a conversation or message with this peer must not reach the host.
bool IsIgnoredPeer(const std::string& peer);

}  // namespace kuvochat
