#include "command_words.h"

#include <cwctype>

namespace assist {

namespace {

bool IsWordEnd(wchar_t c) {
  return c == L'\0' || c == L' ' || c == L'\t';
}

// Whole-word comparison without regard to case: both words end at a blank, a tab or the end.
bool WordEqualsIgnoringCase(const wchar_t* token, const wchar_t* word) {
  for (; !IsWordEnd(*token) && !IsWordEnd(*word); ++token, ++word) {
    if (std::towupper(static_cast<wint_t>(*token)) != std::towupper(static_cast<wint_t>(*word))) {
      return false;
    }
  }
  return IsWordEnd(*token) && IsWordEnd(*word);
}

}  // namespace

CommandWord FindCommandWord(const std::wstring& command_line) {
  static const struct {
    const wchar_t* text;
    CommandWord word;
  } kWords[] = {
      {L"UnregServer", CommandWord::kUnregServer},
      {L"RegServer", CommandWord::kRegServer},
      {L"UnregServerPerUser", CommandWord::kUnregServerPerUser},
      {L"RegServerPerUser", CommandWord::kRegServerPerUser},
  };
  const wchar_t* line = command_line.c_str();  // terminated, so the word end test is bounded
  for (size_t at = command_line.find_first_of(L"-/"); at != std::wstring::npos;
       at = command_line.find_first_of(L"-/", at + 1)) {
    for (const auto& entry : kWords) {
      if (WordEqualsIgnoringCase(line + at + 1, entry.text)) return entry.word;
    }
  }
  return CommandWord::kNone;
}

}  // namespace assist
