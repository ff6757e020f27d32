#include "platform/registry_scenario.h"

#include <cstdio>
#include <cstring>

#include "platform/code_page.h"
#include "platform/registry_data.h"

namespace platform {

namespace {

struct RootName {
  const char* full;
  const char* brief;
  RegistryRoot root;
};

constexpr RootName kRootNames[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", RegistryRoot::kClassesRoot},
    {"HKEY_CURRENT_USER", "HKCU", RegistryRoot::kCurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", RegistryRoot::kLocalMachine},
    {"HKEY_USERS", "HKU", RegistryRoot::kUsers},
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool Utf8ToWide(const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  if (text.size() > static_cast<size_t>(INT32_MAX)) return false;
  const int length = static_cast<int>(text.size());
  const int needed =
      MultiByteToWide(kCodePageUtf8, kMbErrInvalidChars, text.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  wide->assign(static_cast<size_t>(needed), L'\0');
  const int written =
      MultiByteToWide(kCodePageUtf8, kMbErrInvalidChars, text.data(), length, &(*wide)[0], needed);
  if (written != needed) return false;
  return true;
}

bool WideToUtf8(const std::wstring& wide, std::string* text) {
  text->clear();
  if (wide.empty()) return true;
  if (wide.size() > static_cast<size_t>(INT32_MAX)) return false;
  const int length = static_cast<int>(wide.size());
  const int needed = WideToMultiByte(kCodePageUtf8, kWcErrInvalidChars, wide.data(), length,
                                     nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;
  text->assign(static_cast<size_t>(needed), '\0');
  return WideToMultiByte(kCodePageUtf8, kWcErrInvalidChars, wide.data(), length, &(*text)[0],
                         needed, nullptr, nullptr) == needed;
}

// Reads one line's items from left to right; every failure leaves a reason.
class LineReader {
 public:
  explicit LineReader(const std::string& line) : line_(line) {}

  void SkipBlanks() {
    while (pos_ < line_.size() && IsBlank(line_[pos_])) ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ == line_.size();
  }
  bool Take(char c) {
    SkipBlanks();
    if (pos_ < line_.size() && line_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Peek(char c) {
    SkipBlanks();
    return pos_ < line_.size() && line_[pos_] == c;
  }
  // A quoted text, '\' taking the next character literally.
  bool Quoted(std::wstring* text, std::string* reason) {
    if (!Take('"')) return Reason(reason, "expected '\"'");
    std::string bytes;
    while (true) {
      if (pos_ >= line_.size()) return Reason(reason, "missing closing '\"'");
      char c = line_[pos_++];
      if (c == '"') break;
      if (c == '\\') {
        if (pos_ >= line_.size()) return Reason(reason, "missing closing '\"'");
        c = line_[pos_++];
      }
      bytes.push_back(c);
    }
    if (!Utf8ToWide(bytes, text)) return Reason(reason, "text is not valid UTF-8");
    return true;
  }
  // Characters up to (not including) `stop`.
  bool Word(char stop, std::string* word, std::string* reason) {
    SkipBlanks();
    const size_t end = line_.find(stop, pos_);
    if (end == std::string::npos) return Reason(reason, std::string("expected '") + stop + "'");
    *word = line_.substr(pos_, end - pos_);
    while (!word->empty() && IsBlank(word->back())) word->pop_back();
    pos_ = end + 1;
    return true;
  }
  bool Number(uint64_t max, uint64_t* value, std::string* reason) {
    SkipBlanks();
    int base = 10;
    if (line_.compare(pos_, 2, "0x") == 0 || line_.compare(pos_, 2, "0X") == 0) {
      base = 16;
      pos_ += 2;
    }
    uint64_t result = 0;
    size_t digits = 0;
    for (; pos_ < line_.size(); ++pos_, ++digits) {
      const int digit = Digit(line_[pos_], base);
      if (digit < 0) break;
      if (result > (max - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
        return Reason(reason, "number too large");
      }
      result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    if (digits == 0) return Reason(reason, "expected a number");
    *value = result;
    return true;
  }
  bool HexByte(uint8_t* value, std::string* reason) {
    SkipBlanks();
    int result = 0;
    size_t digits = 0;
    for (; pos_ < line_.size() && digits < 2; ++pos_, ++digits) {
      const int digit = Digit(line_[pos_], 16);
      if (digit < 0) break;
      result = result * 16 + digit;
    }
    if (digits == 0) return Reason(reason, "expected a hex byte");
    *value = static_cast<uint8_t>(result);
    return true;
  }

  static bool Reason(std::string* reason, const std::string& text) {
    *reason = text;
    return false;
  }

 private:
  static int Digit(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  const std::string& line_;
  size_t pos_ = 0;
};

bool ParseKeyName(const std::string& name, RegistryScenarioKey* key, std::string* reason) {
  const size_t slash = name.find('\\');
  const std::string root = name.substr(0, slash);
  bool known = false;
  for (const RootName& candidate : kRootNames) {
    if (root == candidate.full || root == candidate.brief) {
      key->root = candidate.root;
      known = true;
    }
  }
  if (!known) return LineReader::Reason(reason, "unknown root \"" + root + "\"");
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) {
      return LineReader::Reason(reason, "a key name may not contain control characters");
    }
  }
  std::wstring path;
  if (slash != std::string::npos && !Utf8ToWide(name.substr(slash + 1), &path)) {
    return LineReader::Reason(reason, "key name is not valid UTF-8");
  }
  // Stray separators ("a\\\\b", a trailing '\\') and blanks around names name the same key.
  key->path.clear();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    size_t first = start;
    size_t last = end;
    while (first < last && (path[first] == L' ' || path[first] == L'\t')) ++first;
    while (last > first && (path[last - 1] == L' ' || path[last - 1] == L'\t')) --last;
    if (last > first) {
      if (!key->path.empty()) key->path.push_back(L'\\');
      key->path.append(path, first, last - first);
    }
    start = end + 1;
  }
  if (key->path.empty()) return LineReader::Reason(reason, "a key needs a path below its root");
  return true;
}

bool ParseData(LineReader& reader, const std::string& kind, RegistryScenarioValue* value,
               std::string* reason) {
  if (kind == "sz" || kind == "expand_sz" || kind == "sz_unterminated") {
    std::wstring text;
    if (!reader.Quoted(&text, reason)) return false;
    value->type = kind == "expand_sz" ? kRegExpandSz : kRegSz;
    value->data = EncodeRegistryString(text);
    if (kind == "sz_unterminated") value->data.resize(value->data.size() - sizeof(wchar_t));
    return true;
  }
  if (kind == "multi_sz") {
    std::vector<std::wstring> texts;
    if (!reader.AtEnd()) {
      do {
        std::wstring text;
        if (!reader.Quoted(&text, reason)) return false;
        if (text.empty()) return LineReader::Reason(reason, "a multi_sz text may not be empty");
        texts.push_back(text);
      } while (reader.Take(','));
    }
    value->type = kRegMultiSz;
    value->data = EncodeRegistryMultiString(texts);
    return true;
  }
  if (kind == "dword" || kind == "qword") {
    uint64_t number = 0;
    const bool dword = kind == "dword";
    if (!reader.Number(dword ? UINT32_MAX : UINT64_MAX, &number, reason)) return false;
    value->type = dword ? kRegDword : kRegQword;
    value->data =
        dword ? EncodeRegistryDword(static_cast<uint32_t>(number)) : EncodeRegistryQword(number);
    return true;
  }
  if (kind == "hex" || kind.compare(0, 4, "hex(") == 0) {
    value->type = kRegBinary;
    if (kind != "hex") {
      const std::string number = kind.substr(4);
      LineReader type_reader(number);
      uint64_t type = 0;
      if (number.empty() || number.back() != ')' ||
          !type_reader.Number(UINT32_MAX, &type, reason) || !type_reader.Take(')') ||
          !type_reader.AtEnd()) {
        return LineReader::Reason(reason, "bad value type \"" + kind + "\"");
      }
      value->type = static_cast<uint32_t>(type);
    }
    value->data.clear();
    if (!reader.AtEnd()) {
      do {
        uint8_t byte = 0;
        if (!reader.HexByte(&byte, reason)) return false;
        value->data.push_back(byte);
      } while (reader.Take(','));
    }
    return true;
  }
  return LineReader::Reason(reason, "unknown value type \"" + kind + "\"");
}

bool ParseLine(const std::string& line, std::vector<RegistryScenarioKey>* keys,
               std::string* reason) {
  LineReader reader(line);
  if (reader.AtEnd() || reader.Peek('#') || reader.Peek(';')) return true;
  if (reader.Take('[')) {
    std::string name;
    if (!reader.Word(']', &name, reason)) return false;
    if (!reader.AtEnd()) return LineReader::Reason(reason, "text after ']'");
    RegistryScenarioKey key;
    if (!ParseKeyName(name, &key, reason)) return false;
    keys->push_back(std::move(key));
    return true;
  }
  if (keys->empty()) return LineReader::Reason(reason, "a key line must come first");
  RegistryScenarioKey& key = keys->back();
  if (reader.Take('!')) {
    std::string word = line.substr(line.find('!') + 1);
    while (!word.empty() && IsBlank(word.back())) word.pop_back();
    if (word != "deny-write") return LineReader::Reason(reason, "unknown flag \"!" + word + "\"");
    key.deny_write = true;
    return true;
  }
  RegistryScenarioValue value;
  if (!reader.Take('@') && !reader.Quoted(&value.name, reason)) return false;
  if (value.name.find(L'\0') != std::wstring::npos) {
    return LineReader::Reason(reason, "a value name may not contain a null character");
  }
  if (!reader.Take('=')) return LineReader::Reason(reason, "expected '='");
  std::string kind;
  if (!reader.Word(':', &kind, reason)) return false;
  if (!ParseData(reader, kind, &value, reason)) return false;
  if (!reader.AtEnd()) return LineReader::Reason(reason, "text after the value");
  key.values.push_back(std::move(value));
  return true;
}

void AppendQuoted(const std::string& text, std::string* out) {
  out->push_back('"');
  for (char c : text) {
    if (c == '"' || c == '\\') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

void AppendHex(const RegistryScenarioValue& value, std::string* out) {
  char number[32];
  if (value.type == kRegBinary) {
    out->append("hex:");
  } else {
    std::snprintf(number, sizeof(number), "hex(%u):", static_cast<unsigned>(value.type));
    out->append(number);
  }
  for (size_t i = 0; i < value.data.size(); ++i) {
    std::snprintf(number, sizeof(number), i == 0 ? "%02x" : ",%02x",
                  static_cast<unsigned>(value.data[i]));
    out->append(number);
  }
}

// The readable form of a value when its data round-trips through it exactly.
bool AppendReadable(const RegistryScenarioValue& value, std::string* out) {
  const std::vector<uint8_t>& data = value.data;
  std::string text;
  if (value.type == kRegSz || value.type == kRegExpandSz) {
    const std::wstring wide = DecodeRegistryString(data.data(), data.size());
    if (!WideToUtf8(wide, &text)) return false;
    std::vector<uint8_t> encoded = EncodeRegistryString(wide);
    const char* kind = value.type == kRegSz ? "sz:" : "expand_sz:";
    if (encoded != data) {
      encoded.resize(encoded.size() - sizeof(wchar_t));
      if (value.type != kRegSz || encoded != data) return false;
      kind = "sz_unterminated:";
    }
    out->append(kind);
    AppendQuoted(text, out);
    return true;
  }
  if (value.type == kRegMultiSz) {
    const std::vector<std::wstring> texts = DecodeRegistryMultiString(data.data(), data.size());
    if (EncodeRegistryMultiString(texts) != data) return false;
    out->append("multi_sz:");
    for (size_t i = 0; i < texts.size(); ++i) {
      if (!WideToUtf8(texts[i], &text)) return false;
      if (i != 0) out->push_back(',');
      AppendQuoted(text, out);
    }
    return true;
  }
  char number[32];
  if (value.type == kRegDword && data.size() == 4) {
    uint32_t dword = 0;
    DecodeRegistryDword(data.data(), data.size(), &dword);
    std::snprintf(number, sizeof(number), "dword:0x%08x", static_cast<unsigned>(dword));
    out->append(number);
    return true;
  }
  if (value.type == kRegQword && data.size() == 8) {
    unsigned long long qword = 0;
    for (size_t i = 0; i < 8; ++i) qword |= static_cast<unsigned long long>(data[i]) << (8 * i);
    std::snprintf(number, sizeof(number), "qword:0x%016llx", qword);
    out->append(number);
    return true;
  }
  return false;
}

}  // namespace

bool ParseRegistryScenario(const std::string& text, std::vector<RegistryScenarioKey>* keys,
                           std::string* error) {
  keys->clear();
  size_t start = 0;
  size_t number = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ++number;
    std::string reason;
    if (!ParseLine(text.substr(start, end - start), keys, &reason)) {
      if (error != nullptr) *error = "line " + std::to_string(number) + ": " + reason;
      return false;
    }
    start = end + 1;
  }
  return true;
}

std::string FormatRegistryScenario(const std::vector<RegistryScenarioKey>& keys) {
  std::string out;
  for (const RegistryScenarioKey& key : keys) {
    const char* root = "";
    for (const RootName& candidate : kRootNames) {
      if (candidate.root == key.root) root = candidate.full;
    }
    std::string path;
    WideToUtf8(key.path, &path);
    out.append("[").append(root).append("\\").append(path).append("]\n");
    if (key.deny_write) out.append("!deny-write\n");
    for (const RegistryScenarioValue& value : key.values) {
      std::string name;
      if (value.name.empty()) {
        out.append("@");
      } else {
        WideToUtf8(value.name, &name);
        AppendQuoted(name, &out);
      }
      out.append("=");
      if (!AppendReadable(value, &out)) AppendHex(value, &out);
      out.append("\n");
    }
  }
  return out;
}

}  // namespace platform
