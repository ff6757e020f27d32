#include "swarm_script.h"

#include <cstdlib>
#include <sstream>

namespace swarm {

Step& Step::Set(const std::string& key, const std::string& value) {
  std::string clean = value;
  for (char& c : clean) {
    if (c == ' ' || c == '=' || c == '\n' || c == '\r' || c == '\t') c = '_';
  }
  for (auto& [k, v] : args) {
    if (k == key) {
      v = clean;
      return *this;
    }
  }
  args.emplace_back(key, clean);
  return *this;
}

bool Step::Has(const std::string& key) const {
  for (const auto& kv : args) {
    if (kv.first == key) return true;
  }
  return false;
}

std::string Step::Get(const std::string& key, const std::string& fallback) const {
  for (const auto& [k, v] : args) {
    if (k == key) return v;
  }
  return fallback;
}

int64_t Step::Int(const std::string& key, int64_t fallback) const {
  if (!Has(key)) return fallback;
  return std::strtoll(Get(key).c_str(), nullptr, 10);
}

std::string Step::Text() const {
  std::string text = op;
  for (const auto& [k, v] : args) text += " " + k + "=" + v;
  return text;
}

bool Step::Parse(const std::string& line, Step* out) {
  std::istringstream words(line);
  std::string word;
  Step step;
  while (words >> word) {
    if (step.op.empty()) {
      if (word[0] == '#') return false;
      if (word.back() == ':') continue;  // "<index>:" as ScriptText prints it
      step.op = word;
      continue;
    }
    const auto eq = word.find('=');
    if (eq == std::string::npos) {
      step.args.emplace_back(word, "");
    } else {
      step.args.emplace_back(word.substr(0, eq), word.substr(eq + 1));
    }
  }
  if (step.op.empty()) return false;
  *out = std::move(step);
  return true;
}

std::string ScriptText(const Script& script, size_t end) {
  std::string text;
  for (size_t i = 0; i < end && i < script.size(); ++i) {
    text += std::to_string(i) + ": " + script[i].Text() + "\n";
  }
  return text;
}

Script ParseScript(const std::string& text) {
  Script script;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    Step step;
    if (Step::Parse(line, &step)) script.push_back(std::move(step));
  }
  return script;
}

}  // namespace swarm
