#include "command_words.h"

#include <gtest/gtest.h>

namespace assist {
namespace {

constexpr wchar_t kProgram[] = L"\"C:\\Program Files\\Kuvo\\KuvoAssist.exe\" ";

CommandWord Find(const std::wstring& arguments) {
  return FindCommandWord(kProgram + arguments);
}

TEST(CommandWords, EachWordWithEitherPrefixAndAnyCase) {
  EXPECT_EQ(CommandWord::kRegServer, Find(L"/RegServer"));
  EXPECT_EQ(CommandWord::kRegServer, Find(L"-regserver"));
  EXPECT_EQ(CommandWord::kUnregServer, Find(L"/UNREGSERVER"));
  EXPECT_EQ(CommandWord::kUnregServer, Find(L"-UnRegServer"));
  EXPECT_EQ(CommandWord::kRegServerPerUser, Find(L"/regSERVERperUSER"));
  EXPECT_EQ(CommandWord::kRegServerPerUser, Find(L"-RegServerPerUser"));
  EXPECT_EQ(CommandWord::kUnregServerPerUser, Find(L"/UnregServerPerUser"));
  EXPECT_EQ(CommandWord::kUnregServerPerUser, Find(L"-unregserverperuser"));
}

TEST(CommandWords, WholeWordsOnly) {
  // A longer word that begins with a command word matches nothing.
  EXPECT_EQ(CommandWord::kNone, Find(L"/RegServerX"));
  EXPECT_EQ(CommandWord::kNone, Find(L"-UnregServerPerUserNow"));
  EXPECT_EQ(CommandWord::kNone, Find(L"/Reg"));
  // The word ends at a blank, a tab or the end.
  EXPECT_EQ(CommandWord::kRegServer, Find(L"/RegServer\t/x"));
  EXPECT_EQ(CommandWord::kRegServer, Find(L"/RegServer  more"));
}

TEST(CommandWords, WithoutPrefixIgnored) {
  EXPECT_EQ(CommandWord::kNone, Find(L"RegServer"));
  EXPECT_EQ(CommandWord::kNone, Find(L"\\RegServer UnregServer"));
  EXPECT_EQ(CommandWord::kNone, FindCommandWord(L""));
  EXPECT_EQ(CommandWord::kNone, FindCommandWord(L"-"));
  EXPECT_EQ(CommandWord::kNone, FindCommandWord(L"KuvoAssist.exe /"));
}

TEST(CommandWords, UnknownTokensAreSkippedAndTheFirstMatchDecides) {
  EXPECT_EQ(CommandWord::kUnregServer, Find(L"/Embedding -x /UnregServer /RegServer"));
  EXPECT_EQ(CommandWord::kRegServerPerUser, Find(L"/RegServerPerUser /UnregServer"));
  // A prefix character inside another token starts a token too.
  EXPECT_EQ(CommandWord::kRegServer, Find(L"--RegServer"));
  EXPECT_EQ(CommandWord::kUnregServer, Find(L"/foo/UnregServer"));
}

TEST(CommandWords, TheWholeCommandLineIsScanned) {
  // The program path is part of the scan: a '-' in a folder name is only another token.
  EXPECT_EQ(CommandWord::kNone, FindCommandWord(L"C:\\My-Tools\\KuvoAssist.exe"));
  EXPECT_EQ(CommandWord::kRegServer, FindCommandWord(L"C:\\x\\-RegServer /y"));
}

}  // namespace
}  // namespace assist
