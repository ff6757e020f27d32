#include "peer_id.h"

#include <gtest/gtest.h>

#include <string>

namespace kuvochat {
namespace {

struct Parsed {
  bool ok;
  uint32_t kind;
  uint64_t id;
};

Parsed Parse(const std::string& peer) {
  Parsed p{false, 99, 99};
  p.ok = ParsePeer(peer, &p.kind, &p.id);
  return p;
}

TEST(ParsePeer, DigitsOnlyAreUsers) {
  auto p = Parse("100");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.kind, 9u);
  EXPECT_EQ(p.id, 100u);
  p = Parse("007");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.kind, 9u);
  EXPECT_EQ(p.id, 7u);
  EXPECT_EQ(Parse("18446744073709551615").kind, 9u);  // atoll saturates; still a user
}

TEST(ParsePeer, PrefixesAreFoundAnywhereInTheText) {
  auto p = Parse("G1001");
  EXPECT_EQ(p.kind, 1u);
  EXPECT_EQ(p.id, 1001u);
  p = Parse("xG5");  // the G is removed, "x5" gives 0
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.kind, 1u);
  EXPECT_EQ(p.id, 0u);
  p = Parse("D12");
  EXPECT_EQ(p.kind, 3u);
  EXPECT_EQ(p.id, 12u);
  p = Parse("cd_31");
  EXPECT_EQ(p.kind, 20u);
  EXPECT_EQ(p.id, 31u);
  EXPECT_EQ(Parse("matter_discuss_1").kind, 50u);
  EXPECT_EQ(Parse("matter_remind_1").kind, 51u);
  EXPECT_EQ(Parse("matter_customer_1").kind, 52u);
  EXPECT_EQ(Parse("matter_order_approval_1").kind, 54u);
  // "G" is searched first: a group-looking prefix with a capital G wins over later prefixes.
  EXPECT_EQ(Parse("cd_G4").kind, 1u);
}

TEST(ParsePeer, VisitIsTriedBeforeTheCustomerPrefixItContains) {
  auto p = Parse("matter_customer_visit_88");
  EXPECT_EQ(p.kind, 53u);
  EXPECT_EQ(p.id, 88u);
}

TEST(ParsePeer, UnrecognisedTextsGiveKindAndIdZero) {
  auto p = Parse("cscmd_42");
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.kind, 0u);
  EXPECT_EQ(p.id, 0u);
  p = Parse("-5");
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.kind, 0u);
}

TEST(ParsePeer, EmptyTextLeavesTheOutputsAlone) {
  auto p = Parse("");
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.kind, 99u);
  EXPECT_EQ(p.id, 99u);
}

TEST(IsIgnoredPeer, ServicePartnersStayAndTheRestGo) {
  EXPECT_TRUE(IsIgnoredPeer(""));
  EXPECT_FALSE(IsIgnoredPeer("100"));
  EXPECT_FALSE(IsIgnoredPeer("cscmd_42"));
  EXPECT_FALSE(IsIgnoredPeer("system_notice"));
  EXPECT_FALSE(IsIgnoredPeer("notice_7"));
  EXPECT_TRUE(IsIgnoredPeer("webimsvr_1"));
  EXPECT_TRUE(IsIgnoredPeer("guest_5"));
  EXPECT_TRUE(IsIgnoredPeer("admin"));
  // A text that parses is kept even when it names webimsvr.
  EXPECT_FALSE(IsIgnoredPeer("webimsvr_G1"));
  // webimsvr is tested before the service prefixes.
  EXPECT_TRUE(IsIgnoredPeer("webimsvr_system_1"));
}

TEST(MakePeer, KindsMapToTextAndConversationType) {
  auto p = MakePeer(22, 42);
  EXPECT_EQ(p.peer, "cscmd_42");
  EXPECT_EQ(p.conv_type, 1);
  p = MakePeer(2, 5);
  EXPECT_EQ(p.peer, "");
  EXPECT_EQ(p.conv_type, 0);
  p = MakePeer(9, 18446744073709551615ull);
  EXPECT_EQ(p.peer, "18446744073709551615");
  EXPECT_EQ(p.conv_type, 1);
  EXPECT_EQ(MakePeer(1, 0).peer, "G0");
  EXPECT_EQ(MakePeer(3, 7).conv_type, 2);
  EXPECT_EQ(MakePeer(20, 7).peer, "cd_7");
  EXPECT_EQ(MakePeer(20, 7).conv_type, 1);
  EXPECT_EQ(MakePeer(53, 8).peer, "matter_customer_visit_8");
  EXPECT_EQ(MakePeer(54, 8).conv_type, 2);
}

TEST(MakePeer, RecognisedKindsRoundTrip) {
  for (uint32_t kind : {1u, 3u, 9u, 20u, 50u, 51u, 52u, 53u, 54u}) {
    const auto made = MakePeer(kind, 123456789);
    uint32_t parsed_kind = 0;
    uint64_t parsed_id = 0;
    ASSERT_TRUE(ParsePeer(made.peer, &parsed_kind, &parsed_id)) << made.peer;
    EXPECT_EQ(parsed_kind, kind) << made.peer;
    EXPECT_EQ(parsed_id, 123456789u) << made.peer;
  }
}

}  // namespace
}  // namespace kuvochat
