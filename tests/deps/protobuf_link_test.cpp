// The libprotobuf a build links runs the code the host protoc generated: same release, and
// round trips that keep binary bytes intact.
#include <google/protobuf/stubs/common.h>
#include <gtest/gtest.h>

#include <string>

#include "deps_probe.pb.h"

namespace {

using kuvo::depsprobe::Probe;

TEST(ProtobufLinkTest, RuntimeAcceptsTheGeneratedCode) {
  // Aborts the process on a mismatch, which fails the test binary.
  google::protobuf::internal::VerifyVersion(GOOGLE_PROTOBUF_VERSION,
                                            GOOGLE_PROTOBUF_MIN_LIBRARY_VERSION, __FILE__);
  EXPECT_EQ(GOOGLE_PROTOBUF_VERSION / 1000000, 3);
}

TEST(ProtobufLinkTest, RoundTripKeepsBinaryAndWideValues) {
  Probe out;
  out.set_id(-0x123456789ALL);
  out.set_text(u8"h\u00e9llo \u4f60\u597d");
  out.set_flags(0xFFFFFFFFu);
  auto* item = out.add_items();
  item->set_name("first");
  item->set_data(std::string("\0\x01\xff\x80zz", 6));
  out.add_items()->set_name("second");

  std::string wire;
  ASSERT_TRUE(out.SerializeToString(&wire));
  ASSERT_FALSE(wire.empty());

  Probe in;
  ASSERT_TRUE(in.ParseFromString(wire));
  EXPECT_EQ(out.id(), in.id());
  EXPECT_EQ(out.text(), in.text());
  EXPECT_EQ(out.flags(), in.flags());
  ASSERT_EQ(2, in.items_size());
  EXPECT_EQ("first", in.items(0).name());
  EXPECT_EQ(std::string("\0\x01\xff\x80zz", 6), in.items(0).data());
  EXPECT_EQ("second", in.items(1).name());
  EXPECT_TRUE(in.items(1).data().empty());
}

TEST(ProtobufLinkTest, TruncatedInputIsRejected) {
  Probe out;
  out.set_text("a text long enough to cut");
  std::string wire;
  ASSERT_TRUE(out.SerializeToString(&wire));
  Probe in;
  EXPECT_FALSE(in.ParseFromString(wire.substr(0, wire.size() - 3)));
  // A length prefix that runs past the end of the data.
  EXPECT_FALSE(
      in.ParseFromString(std::string("\x12\x7f"
                                     "abc",
                                     5)));
}

}  // namespace
