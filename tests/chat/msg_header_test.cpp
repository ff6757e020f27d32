// The envelope KuvoChat wraps around a host payload, read back as a peer would read it.
#include "msg_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "timmsgtype.pb.h"

namespace kuvochat {
namespace {

TEST(MsgHeader, CarriesAllSixFieldsWithFixedVersionPlatformAndLanguage) {
  std::string wire;
  ASSERT_TRUE(BuildMsgHeader(em_CT_GENERAL_MSG, UINT64_C(0x1234567890ABCDEF), "payload", &wire));
  msgHeader h;
  ASSERT_TRUE(h.ParseFromString(wire));
  EXPECT_TRUE(h.has_cmd() && h.has_seq() && h.has_clientversion() && h.has_platform() &&
              h.has_lcid() && h.has_buf());
  EXPECT_EQ(h.cmd(), em_CT_GENERAL_MSG);
  EXPECT_EQ(h.seq(), UINT64_C(0x1234567890ABCDEF));
  EXPECT_EQ(h.clientversion(), 11151u);
  EXPECT_EQ(h.platform(), em_PT_PC);
  EXPECT_EQ(h.lcid(), 0u);
  EXPECT_EQ(h.buf(), "payload");
}

TEST(MsgHeader, EmptyPayloadStillSerialisesEveryFieldWithAnEmptyBuf) {
  std::string wire;
  ASSERT_TRUE(BuildMsgHeader(em_CT_KICK_CMD, 1, "", &wire));
  // Defaults must still be on the wire: a peer's parser requires every field.
  EXPECT_NE(wire.find(std::string("\x20\x00", 2)), std::string::npos) << "platform 0 present";
  EXPECT_NE(wire.find(std::string("\x28\x00", 2)), std::string::npos) << "lcid 0 present";
  EXPECT_EQ(wire.substr(wire.size() - 2), std::string("\x32\x00", 2)) << "empty buf present";
  msgHeader h;
  ASSERT_TRUE(h.ParseFromString(wire));
  EXPECT_TRUE(h.has_buf());
  EXPECT_TRUE(h.buf().empty());
  EXPECT_EQ(h.cmd(), em_CT_KICK_CMD);
}

TEST(MsgHeader, BinaryPayloadWithZeroBytesIsKeptWhole) {
  const std::string payload("\x00\x01\xFF\x00z", 5);
  std::string wire;
  ASSERT_TRUE(BuildMsgHeader(em_CT_LOG_MSG, 9, payload, &wire));
  msgHeader h;
  ASSERT_TRUE(h.ParseFromString(wire));
  EXPECT_EQ(h.buf(), payload);
}

TEST(MsgHeader, CommandOutsideTheEnumerationIsRefused) {
  std::string wire = "stale";
  EXPECT_FALSE(BuildMsgHeader(1005, 1, "p", &wire));
  EXPECT_TRUE(wire.empty());
  EXPECT_FALSE(BuildMsgHeader(-1, 1, "p", &wire));
  EXPECT_FALSE(BuildMsgHeader(1, 1, "p", nullptr));
  // Range markers are enumerators too, so they are sent as given.
  EXPECT_TRUE(BuildMsgHeader(em_CT_BEGIN, 1, "p", &wire));
  EXPECT_TRUE(BuildMsgHeader(em_CT_END, 1, "p", &wire));
}

}  // namespace
}  // namespace kuvochat
