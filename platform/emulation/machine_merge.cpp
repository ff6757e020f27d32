#include "platform/testing/machine_merge.h"

#include <map>
#include <sstream>
#include <utility>
#include <vector>

namespace platform {

namespace {

struct Item {
  std::string key;
  std::string line;
};

struct Section {
  std::string identity;
  std::string header;
  std::vector<Item> items;

  const Item* Find(const std::string& key) const {
    for (const Item& item : items) {
      if (item.key == key) return &item;
    }
    return nullptr;
  }
};

using Sections = std::vector<Section>;

// The key of a line: the name before " = " of machine items, the quoted name (or '@') of a
// registry value, the whole line otherwise.
std::string KeyOf(const std::string& line, bool registry) {
  if (!registry) {
    const size_t equals = line.find(" = ");
    return equals == std::string::npos ? line : line.substr(0, equals);
  }
  if (line.rfind("@=", 0) == 0) return "@";
  if (line.empty() || line[0] != '"') return line;
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '\\') {
      ++i;
    } else if (line[i] == '"') {
      return line.substr(0, i + 1);
    }
  }
  return line;
}

Sections Parse(const std::string& text) {
  Sections sections;
  std::map<std::string, int> seen;
  std::istringstream lines(text);
  bool registry = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    if (line[0] == '[') {
      registry = line != "[network]" && line != "[device]" && line != "[adapter]";
      sections.push_back(Section{line, line, {}});
      continue;
    }
    if (sections.empty()) continue;
    Section& section = sections.back();
    const bool device = section.header == "[device]" || section.header == "[adapter]";
    if (device && section.items.empty()) {
      // A device is known by its instance id, the first line of its block.
      section.identity = section.header + "\n" + line;
      section.identity += "\n" + std::to_string(seen[section.identity]++);
    }
    section.items.push_back(Item{KeyOf(line, registry), line});
  }
  return sections;
}

Section* FindSection(Sections* sections, const std::string& identity) {
  for (Section& section : *sections) {
    if (section.identity == identity) return &section;
  }
  return nullptr;
}

const Section* FindSection(const Sections& sections, const std::string& identity) {
  for (const Section& section : sections) {
    if (section.identity == identity) return &section;
  }
  return nullptr;
}

void SetItem(Section* section, const Item& item) {
  for (Item& existing : section->items) {
    if (existing.key == item.key) {
      existing.line = item.line;
      return;
    }
  }
  section->items.push_back(item);
}

void RemoveItem(Section* section, const std::string& key) {
  for (auto it = section->items.begin(); it != section->items.end(); ++it) {
    if (it->key == key) {
      section->items.erase(it);
      return;
    }
  }
}

std::string Format(const Sections& sections) {
  std::string out;
  bool registry_started = false;
  for (const Section& section : sections) {
    const bool machine = section.header == "[network]" || section.header == "[device]" ||
                         section.header == "[adapter]";
    // Machine sections are set apart by a blank line, as SaveScenario writes them.
    if (!out.empty() && (machine || !registry_started)) out += "\n";
    registry_started = registry_started || !machine;
    out += section.header + "\n";
    for (const Item& item : section.items) out += item.line + "\n";
  }
  return out;
}

}  // namespace

std::string MergeMachineScenario(const std::string& base_text, const std::string& mine_text,
                                 const std::string& theirs_text) {
  const Sections base = Parse(base_text);
  const Sections mine = Parse(mine_text);
  Sections result = Parse(theirs_text);

  for (const Section& was : base) {
    if (FindSection(mine, was.identity) != nullptr) continue;
    for (auto it = result.begin(); it != result.end(); ++it) {
      if (it->identity == was.identity) {
        result.erase(it);
        break;
      }
    }
  }
  for (const Section& now : mine) {
    const Section* was = FindSection(base, now.identity);
    Section* target = FindSection(&result, now.identity);
    if (was == nullptr) {
      if (target == nullptr) {
        result.push_back(now);
      } else {
        for (const Item& item : now.items) SetItem(target, item);
      }
      continue;
    }
    if (target == nullptr) continue;  // removed by another process
    for (const Item& item : now.items) {
      const Item* old = was->Find(item.key);
      if (old == nullptr || old->line != item.line) SetItem(target, item);
    }
    for (const Item& item : was->items) {
      if (now.Find(item.key) == nullptr) RemoveItem(target, item.key);
    }
  }
  return Format(result);
}

}  // namespace platform
