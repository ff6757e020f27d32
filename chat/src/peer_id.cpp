#include "peer_id.h"

#include <cstdlib>
#include <iterator>

namespace kuvochat {

const char kPeerPrefixG[] = "G";
const char kPeerPrefixD[] = "D";
const char kPeerPrefixCd[] = "cd_";
const char kPeerPrefixGuest[] = "guest_";
const char kPeerPrefixCscmd[] = "cscmd_";
const char kPeerMarkWebImSvr[] = "webimsvr";
const char kPeerPrefixMatterDiscuss[] = "matter_discuss_";
const char kPeerPrefixMatterRemind[] = "matter_remind_";
const char kPeerPrefixMatterCustomer[] = "matter_customer_";
const char kPeerPrefixMatterCustomerVisit[] = "matter_customer_visit_";
const char kPeerPrefixMatterOrderApproval[] = "matter_order_approval_";
const char* const kServicePeerPrefixes[4] = {"system_", "cscmd_", "notice_", "cd_"};

namespace {

struct KindPrefix {
  uint32_t kind;
  const char* prefix;
  int conv_type;
};

// Outbound table: one prefix per kind (kind 9 has none).
constexpr KindPrefix kMakeTable[] = {
    {em_PK_G, kPeerPrefixG, kConvTypeGroup},
    {em_PK_D, kPeerPrefixD, kConvTypeGroup},
    {em_PK_CD, kPeerPrefixCd, kConvTypeC2C},
    {em_PK_CSCMD, kPeerPrefixCscmd, kConvTypeC2C},
    {em_PK_MATTER_DISCUSS, kPeerPrefixMatterDiscuss, kConvTypeGroup},
    {em_PK_MATTER_REMIND, kPeerPrefixMatterRemind, kConvTypeGroup},
    {em_PK_MATTER_CUSTOMER, kPeerPrefixMatterCustomer, kConvTypeGroup},
    {em_PK_MATTER_CUSTOMER_VISIT, kPeerPrefixMatterCustomerVisit, kConvTypeGroup},
    {em_PK_MATTER_ORDER_APPROVAL, kPeerPrefixMatterOrderApproval, kConvTypeGroup},
};

// Inbound search order: the visit prefix comes before the customer prefix it contains;
// "cscmd_" is not searched.
constexpr KindPrefix kParseOrder[] = {
    {em_PK_G, kPeerPrefixG, kConvTypeGroup},
    {em_PK_D, kPeerPrefixD, kConvTypeGroup},
    {em_PK_CD, kPeerPrefixCd, kConvTypeC2C},
    {em_PK_MATTER_DISCUSS, kPeerPrefixMatterDiscuss, kConvTypeGroup},
    {em_PK_MATTER_REMIND, kPeerPrefixMatterRemind, kConvTypeGroup},
    {em_PK_MATTER_CUSTOMER_VISIT, kPeerPrefixMatterCustomerVisit, kConvTypeGroup},
    {em_PK_MATTER_CUSTOMER, kPeerPrefixMatterCustomer, kConvTypeGroup},
    {em_PK_MATTER_ORDER_APPROVAL, kPeerPrefixMatterOrderApproval, kConvTypeGroup},
};

// The pattern "^[0-9]\d*$": one or more ASCII digits and nothing else.
bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// atoll of the text as a signed 64-bit number, stored as the unsigned id (a leading '-' wraps,
// as the conversion it mirrors does).
uint64_t ToId(const std::string& text) {
  return static_cast<uint64_t>(std::strtoll(text.c_str(), nullptr, 10));
}

}  // namespace

SdkPeer MakePeer(uint32_t kind, uint64_t id) {
  SdkPeer out;
  const std::string number = std::to_string(id);
  if (kind == em_PK_USER) {
    out.peer = number;
    out.conv_type = kConvTypeC2C;
    return out;
  }
  for (const auto& entry : kMakeTable) {
    if (entry.kind == kind) {
      out.peer = std::string(entry.prefix) + number;
      out.conv_type = entry.conv_type;
      return out;
    }
  }
  return out;
}

bool ParsePeer(const std::string& peer, uint32_t* kind, uint64_t* id) {
  if (peer.empty()) return false;
  *kind = em_PK_NONE;
  *id = 0;
  if (AllDigits(peer)) {
    *kind = em_PK_USER;
    *id = ToId(peer);
    return true;
  }
  for (const auto& entry : kParseOrder) {
    const std::string prefix(entry.prefix);
    const size_t at = peer.find(prefix);
    if (at == std::string::npos) continue;
    std::string rest = peer;
    rest.erase(at, prefix.size());
    *kind = entry.kind;
    *id = ToId(rest);
    return true;
  }
  return false;
}

bool IsIgnoredPeer(const std::string& peer) {
  if (peer.empty()) return true;
  uint32_t kind = 0;
  uint64_t id = 0;
  if (ParsePeer(peer, &kind, &id)) return false;
  if (peer.find(kPeerMarkWebImSvr) != std::string::npos) return true;
  for (const char* prefix : kServicePeerPrefixes) {
    if (peer.find(prefix) != std::string::npos) return false;
  }
  return true;
}

}  // namespace kuvochat
