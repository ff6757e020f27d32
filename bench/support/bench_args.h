// The command line of a benchmark: whole numbers in fixed places, each with its range, and
// perhaps a word from a fixed set at the end. --help (or -h) prints the usage and exits 0; any
// other argument that is not a whole number in range (or one of the words), or one too many,
// prints the usage to stderr and exits 2, so that no run measures something other than asked.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kuvo_bench {

struct NumberArg {
  const char* name;
  unsigned long value;  // the default on the way in
  unsigned long min;
  unsigned long max;
};

class BenchArgs {
 public:
  // `usage` is printed as it stands, after "usage: ".
  BenchArgs(int argc, char** argv, const char* usage) : usage_(usage) {
    for (int i = 1; i < argc; ++i) args_.emplace_back(argv[i]);
    for (const std::string& a : args_) {
      if (a == "--help" || a == "-h") {
        std::printf("usage: %s", usage_);
        std::exit(0);
      }
    }
  }

  // Reads the numbers in order, then at most one of `words` (empty: none allowed) into `*word`.
  void Parse(std::vector<NumberArg*> numbers, const std::vector<std::string>& words = {},
             std::string* word = nullptr) {
    size_t i = 0;
    for (NumberArg* n : numbers) {
      if (i == args_.size() || IsWord(args_[i], words)) break;
      n->value = Number(args_[i], *n);
      ++i;
    }
    if (i < args_.size() && IsWord(args_[i], words)) {
      if (word) *word = args_[i];
      ++i;
    }
    if (i < args_.size()) Refuse("cannot use argument \"" + args_[i] + "\"");
  }

  [[noreturn]] void Refuse(const std::string& why) const {
    std::fprintf(stderr, "%s\nusage: %s", why.c_str(), usage_);
    std::exit(2);
  }

 private:
  static bool IsWord(const std::string& a, const std::vector<std::string>& words) {
    for (const auto& w : words) {
      if (a == w) return true;
    }
    return false;
  }
  unsigned long Number(const std::string& text, const NumberArg& n) const {
    if (text.empty() || text.size() > 12 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
      Refuse(std::string(n.name) + " must be a whole number, not \"" + text + "\"");
    }
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    if (value < n.min || value > n.max) {
      Refuse(std::string(n.name) + " must be between " + std::to_string(n.min) + " and " +
             std::to_string(n.max));
    }
    return value;
  }

  const char* usage_;
  std::vector<std::string> args_;
};

}  // namespace kuvo_bench
