// Wire format of the timmsgtype schema. Peers on other platforms decode these bytes with their
// own generated code, so field numbers, labels, defaults and names must stay exactly as shared.
#include <gtest/gtest.h>

#include <google/protobuf/descriptor.h>

#include <string>
#include <vector>

#include "timmsgtype.pb.h"

namespace {

using google::protobuf::Descriptor;
using google::protobuf::FieldDescriptor;
using google::protobuf::FileDescriptor;

std::vector<unsigned char> Bytes(const std::string& s) {
  return std::vector<unsigned char>(s.begin(), s.end());
}

const FileDescriptor* SchemaFile() {
  return google::protobuf::DescriptorPool::generated_pool()->FindFileByName("timmsgtype.proto");
}

TEST(TimMsgTypeSchema, FileIsRegisteredAsProto2WithoutPackage) {
  const FileDescriptor* file = SchemaFile();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->package(), "");
  EXPECT_EQ(file->syntax(), FileDescriptor::SYNTAX_PROTO2);
  EXPECT_EQ(file->dependency_count(), 0);
  EXPECT_EQ(file->extension_count(), 0);
}

TEST(TimMsgTypeSchema, RecordsAndEnumerationsAreDeclaredInSharedOrder) {
  const std::vector<std::string> records = {"msgHeader",
                                            "chatMsg",
                                            "element",
                                            "eleTxt",
                                            "eleSysFace",
                                            "eleEmojiFace",
                                            "eleCustomFace",
                                            "eleImage",
                                            "eleFile",
                                            "eleAt",
                                            "eleAudio",
                                            "eleWxShare",
                                            "eleZuzuFace",
                                            "eleTodo",
                                            "kickMsg",
                                            "setStateMsg",
                                            "smsAssistant",
                                            "logMsg",
                                            "MatterMember",
                                            "MatterCreate",
                                            "MatterModifyTitle",
                                            "MatterAddMemeber",
                                            "MatterDelMember",
                                            "MatterChangeOwner",
                                            "MatterFileTop",
                                            "MatterModifyExpireTime",
                                            "MatterRemindExpireTime",
                                            "MatterRemindMemberReceive",
                                            "MatterOrderApprovalWithdrawal",
                                            "MatterOrderApprovalAgree",
                                            "MatterOrderApprovalReject",
                                            "MatterOrderApprovalSuccess",
                                            "MatterCustomerVisitSignIn",
                                            "MatterCustomerVisitSignBack",
                                            "MatterCustomer",
                                            "MatterAddCustomer",
                                            "MatterDelCustomer"};
  const std::vector<std::string> enums = {"msgElemType",    "platformType", "cmdType",
                                          "kicksourceType", "kickType",     "StateType",
                                          "logMsgType"};
  const FileDescriptor* file = SchemaFile();
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(file->message_type_count(), static_cast<int>(records.size()));
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(file->message_type(static_cast<int>(i))->name(), records[i]) << "at " << i;
    EXPECT_EQ(file->message_type(static_cast<int>(i))->nested_type_count(), 0);
  }
  ASSERT_EQ(file->enum_type_count(), static_cast<int>(enums.size()));
  for (size_t i = 0; i < enums.size(); ++i) {
    EXPECT_EQ(file->enum_type(static_cast<int>(i))->name(), enums[i]) << "at " << i;
  }
}

TEST(TimMsgTypeSchema, MisspelledNamesAreKept) {
  const FileDescriptor* file = SchemaFile();
  ASSERT_NE(file, nullptr);
  EXPECT_NE(file->FindMessageTypeByName("eleCustomFace")->FindFieldByName("Md5"), nullptr);
  EXPECT_NE(file->FindMessageTypeByName("eleFile")->FindFieldByName("md5"), nullptr);
  EXPECT_NE(file->FindMessageTypeByName("smsAssistant")->FindFieldByName("smsSing"), nullptr);
  EXPECT_NE(file->FindMessageTypeByName("MatterAddMemeber"), nullptr);
  EXPECT_EQ(emELEM_TYPE_COUSTOMFACE, 4);
  EXPECT_EQ(emELEM_TYPETODO, 11);
  EXPECT_EQ(emELEM_TYPE_MatterOrderApprovalSccuess, 33);
  EXPECT_EQ(emELEM_TYPE_MatterAddMemeber, 23);
  EXPECT_EQ(em_WEIXIN, 8);
}

TEST(TimMsgTypeSchema, EnumerationGapsAreNotValidValues) {
  for (int v = 12; v <= 20; ++v) EXPECT_FALSE(msgElemType_IsValid(v)) << v;
  EXPECT_TRUE(msgElemType_IsValid(1000));
  for (int v : {2, 3, 5, 7}) EXPECT_FALSE(platformType_IsValid(v)) << v;
  EXPECT_FALSE(logMsgType_IsValid(0));
  EXPECT_TRUE(cmdType_IsValid(2501));
  EXPECT_FALSE(cmdType_IsValid(2003));
  EXPECT_EQ(StateType_Name(enum_MOBILEPUSH), "enum_MOBILEPUSH");
  EXPECT_EQ(cmdType_Name(em_CT_SYSTEM_NOTICE_NEW), "em_CT_SYSTEM_NOTICE_NEW");
}

TEST(TimMsgTypeWire, MsgHeaderUsesFieldsOneToSixInOrder) {
  msgHeader h;
  h.set_cmd(em_CT_GENERAL_MSG);  // 1001 = 0xE9 0x07
  h.set_seq(5);
  h.set_clientversion(11151);  // 0x8F 0x57
  h.set_platform(em_PT_PC);
  h.set_lcid(0);
  h.set_buf("xy");
  const std::vector<unsigned char> expected = {0x08, 0xE9, 0x07, 0x10, 0x05, 0x18, 0x8F, 0x57,
                                               0x20, 0x00, 0x28, 0x00, 0x32, 0x02, 'x',  'y'};
  EXPECT_EQ(Bytes(h.SerializeAsString()), expected);
}

TEST(TimMsgTypeWire, RequiredFieldsRefuseToParseWhenMissing) {
  logMsg noType;
  EXPECT_FALSE(
      noType.ParseFromString(std::string("\x12\x01"
                                         "a",
                                         3)));  // only logFileName
  logMsg withType;
  EXPECT_TRUE(withType.ParseFromString(std::string("\x08\x02", 2)));
  EXPECT_EQ(withType.msgtype(), em_LMT_COPYRESULT);

  msgHeader partial;
  partial.set_cmd(em_CT_GENERAL_MSG);
  partial.set_seq(1);
  EXPECT_FALSE(partial.IsInitialized());
  msgHeader parsed;
  EXPECT_FALSE(parsed.ParseFromString(partial.SerializePartialAsString()));
}

TEST(TimMsgTypeWire, TodoTypeDefaultsToZero) {
  eleTodo todo;
  todo.set_id("1");
  todo.set_content("c");
  todo.set_alarmtime("t");
  eleTodo back;
  ASSERT_TRUE(back.ParseFromString(todo.SerializeAsString()));
  EXPECT_FALSE(back.has_type());
  EXPECT_EQ(back.type(), 0u);
}

TEST(TimMsgTypeWire, StateNoneTravelsAsTenByteVarintAndRoundTrips) {
  setStateMsg m;
  m.set_state(enum_NONE);
  const std::string wire = m.SerializeAsString();
  ASSERT_EQ(wire.size(), 11u);  // tag + ten-byte varint of -1
  EXPECT_EQ(static_cast<unsigned char>(wire[0]), 0x08);
  for (int i = 1; i < 10; ++i) EXPECT_EQ(static_cast<unsigned char>(wire[i]), 0xFF) << i;
  EXPECT_EQ(static_cast<unsigned char>(wire[10]), 0x01);
  setStateMsg back;
  ASSERT_TRUE(back.ParseFromString(wire));
  EXPECT_EQ(back.state(), enum_NONE);
  EXPECT_EQ(static_cast<int>(back.state()), -1);
}

TEST(TimMsgTypeWire, MemberRecordsUseTheirSharedFieldNumbers) {
  MatterMember member;
  member.set_memberid(7);
  member.set_name("n");
  member.set_flag("f");
  // name is field 3 and flag field 2 although name is declared first.
  const FileDescriptor* file = SchemaFile();
  ASSERT_NE(file, nullptr);
  const Descriptor* d = file->FindMessageTypeByName("MatterMember");
  EXPECT_EQ(d->field(1)->name(), "name");
  EXPECT_EQ(d->field(1)->number(), 3);
  EXPECT_EQ(d->field(2)->name(), "flag");
  EXPECT_EQ(d->field(2)->number(), 2);

  MatterDelMember del;
  del.set_matterid("m");
  *del.mutable_members() = member;
  std::string wire = del.SerializeAsString();
  ASSERT_GE(wire.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(wire[3]), (3 << 3) | 2) << "one member, field 3";

  MatterChangeOwner owner;
  owner.set_matterid("m");
  *owner.mutable_members() = member;
  wire = owner.SerializeAsString();
  EXPECT_EQ(static_cast<unsigned char>(wire[3]), (3 << 3) | 2);
  EXPECT_FALSE(MatterChangeOwner().ParseFromString(std::string("\x0A\x01m", 3)))
      << "the single member is required";

  MatterAddMemeber add;
  add.set_matterid("m");
  *add.add_members() = member;
  *add.add_members() = member;
  MatterAddMemeber addBack;
  ASSERT_TRUE(addBack.ParseFromString(add.SerializeAsString()));
  EXPECT_EQ(addBack.members_size(), 2);
  EXPECT_EQ(
      d->file()->FindMessageTypeByName("MatterAddMemeber")->FindFieldByName("members")->number(),
      2);

  MatterCreate create;
  create.set_matterid("m");
  create.set_title("t");
  for (int i = 0; i < 3; ++i) *create.add_members() = member;
  MatterCreate createBack;
  ASSERT_TRUE(createBack.ParseFromString(create.SerializeAsString()));
  ASSERT_EQ(createBack.members_size(), 3);
  EXPECT_EQ(createBack.members(2).memberid(), 7);
  const FieldDescriptor* createMembers =
      d->file()->FindMessageTypeByName("MatterCreate")->FindFieldByName("members");
  EXPECT_EQ(createMembers->number(), 3);
  EXPECT_TRUE(createMembers->is_repeated());
}

TEST(TimMsgTypeWire, ModifyTitleSkipsFieldFour) {
  const Descriptor* d = SchemaFile()->FindMessageTypeByName("MatterModifyTitle");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->FindFieldByNumber(4), nullptr);
  ASSERT_NE(d->FindFieldByNumber(5), nullptr);
  EXPECT_EQ(d->FindFieldByNumber(5)->name(), "name");
  EXPECT_EQ(d->FindFieldByName("operatorId")->type(), FieldDescriptor::TYPE_INT64);
}

}  // namespace
