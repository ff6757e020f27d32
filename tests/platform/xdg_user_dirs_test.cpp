#include "platform/xdg_user_dirs.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

constexpr char kVariable[] = "XDG_DOCUMENTS_DIR";

TEST(XdgUserDirsTest, ResolvesHomeRelativeAndAbsolutePaths) {
  EXPECT_EQ("/home/u/Docs",
            FindXdgUserDir("XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", kVariable, "/home/u"));
  EXPECT_EQ("/home/u", FindXdgUserDir("XDG_DOCUMENTS_DIR=\"$HOME\"", kVariable, "/home/u"));
  EXPECT_EQ("/data/docs", FindXdgUserDir("XDG_DOCUMENTS_DIR=\"/data/docs\"", kVariable, "/h"));
}

TEST(XdgUserDirsTest, ReadsARealisticFile) {
  const std::string file =
      "# This file is written by xdg-user-dirs-update\r\n"
      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\r\n"
      "  XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\" \\\\ here\"\r\n"
      "XDG_DOCUMENTS_DIR_OLD=\"$HOME/Old\"\r\n"
      "XDG_MUSIC_DIR=\"$HOME/Music\"\r\n";
  EXPECT_EQ("/home/u/My \"Docs\" \\ here", FindXdgUserDir(file, kVariable, "/home/u"));
}

TEST(XdgUserDirsTest, TheLastAssignmentWins) {
  EXPECT_EQ("/b", FindXdgUserDir("XDG_DOCUMENTS_DIR=\"/a\"\nXDG_DOCUMENTS_DIR=\"/b\"\n", kVariable,
                                 "/h"));
  EXPECT_EQ("", FindXdgUserDir("XDG_DOCUMENTS_DIR=\"/a\"\nXDG_DOCUMENTS_DIR=\"relative\"\n",
                               kVariable, "/h"));
}

TEST(XdgUserDirsTest, MalformedOrMissingEntriesGiveNothing) {
  EXPECT_EQ("", FindXdgUserDir("", kVariable, "/h"));
  EXPECT_EQ("", FindXdgUserDir("# XDG_DOCUMENTS_DIR=\"/a\"\n", kVariable, "/h"));
  EXPECT_EQ("", FindXdgUserDir("XDG_DOCUMENTS_DIR=\"/unterminated\n", kVariable, "/h"));
  EXPECT_EQ("", FindXdgUserDir("XDG_DOCUMENTS_DIR=/unquoted\n", kVariable, "/h"));
  EXPECT_EQ("", FindXdgUserDir("XDG_DOCUMENTS_DIR=\"Documents\"\n", kVariable, "/h"));
  EXPECT_EQ("", FindXdgUserDir("XDG_DOCUMENTS_DIR=\"$HOMEDocs\"\n", kVariable, "/h"));
  // "$HOME" needs a home to resolve against.
  EXPECT_EQ("", FindXdgUserDir("XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", kVariable, ""));
  EXPECT_EQ("", FindXdgUserDir("XDG_DOCUMENTS_DIR=\"/ends with a backslash\\", kVariable, "/h"));
}

}  // namespace
}  // namespace platform
