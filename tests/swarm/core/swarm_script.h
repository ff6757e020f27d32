// A swarm's script: one step per line, "op key=value key=value". Generated from a seed before a
// round runs, so it depends on the seed alone and not on how the threads of a run interleave;
// printed on a failure and read back by --script to replay (or shorten) it by hand.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace swarm {

struct Step {
  std::string op;
  std::vector<std::pair<std::string, std::string>> args;

  Step() = default;
  explicit Step(std::string name) : op(std::move(name)) {}
  Step& Set(const std::string& key, const std::string& value);
  Step& Set(const std::string& key, int64_t value) { return Set(key, std::to_string(value)); }
  bool Has(const std::string& key) const;
  std::string Get(const std::string& key, const std::string& fallback = std::string()) const;
  int64_t Int(const std::string& key, int64_t fallback = 0) const;

  // Values hold no blanks, '=' or line breaks; Set keeps them so.
  std::string Text() const;
  // False for an empty or comment ('#') line.
  static bool Parse(const std::string& line, Step* out);
};

using Script = std::vector<Step>;

// Lines "<index>: <step>" for steps [0, end).
std::string ScriptText(const Script& script, size_t end);
// Reads steps from text (one per line; an optional "<index>:" prefix is skipped).
Script ParseScript(const std::string& text);

}  // namespace swarm
