// Loading an emulated machine from scenario text and writing it back.
#include <fstream>
#include <sstream>

#include "emulated_services.h"
#include "platform/testing/registry_emulation.h"
#include "scenario_text.h"

namespace platform {

namespace {

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream stream(text);
  for (std::string item; std::getline(stream, item, ',');) {
    item = Trim(item);
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string joined;
  for (const std::string& item : items) joined += (joined.empty() ? "" : ", ") + item;
  return joined;
}

// The adapter's fields that hold their text as it stands, by key.
const std::pair<const char*, std::string EmulatedDevice::*> kAdapterTexts[] = {
    {"description", &EmulatedDevice::description},
    {"address", &EmulatedDevice::address},
    {"mask", &EmulatedDevice::mask},
    {"gateway", &EmulatedDevice::gateway},
    {"dhcp_address", &EmulatedDevice::dhcp_address},
    {"dhcp_mask", &EmulatedDevice::dhcp_mask},
    {"dhcp_gateway", &EmulatedDevice::dhcp_gateway}};

// One "key = value" of a [device] or [adapter] section.
bool SetDeviceField(EmulatedDevice* device, const std::string& key, const std::string& value) {
  bool flag = false;
  if (key == "instance_id") {
    device->instance_id = Utf8ToWide(value);
  } else if (key == "class") {
    device->class_name = Utf8ToWide(value);
  } else if (key == "enabled" && ParseYesNo(value, &flag)) {
    device->enabled = flag;
  } else if (!device->has_adapter) {
    return false;
  } else if (key == "guid") {
    // The adapter's key under Interfaces is named after it: one key name, one the saved text
    // can hold.
    if (value.find_first_of("\\]") != std::string::npos) return false;
    device->guid = value;
  } else if (key == "type") {
    return ParseNumber(value, &device->type);
  } else if (key == "lower_range") {
    device->lower_range = Utf8ToWide(value);
  } else if (key == "registry_instance_id" && ParseYesNo(value, &flag)) {
    device->registry_instance_id = flag;
  } else if (key == "wmi" && ParseYesNo(value, &flag)) {
    device->wmi = flag;
  } else if (key == "dhcp" && ParseYesNo(value, &flag)) {
    device->dhcp = flag;
  } else if (key == "dns") {
    device->dns = SplitList(value);
  } else {
    for (const auto& text : kAdapterTexts) {
      if (key != text.first) continue;
      device->*text.second = value;
      return true;
    }
    return false;
  }
  return true;
}

bool HasControlCharacter(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return true;
  }
  return false;
}

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

}  // namespace

bool EmulatedMachine::LoadScenario(const std::string& text, std::string* error) {
  state_ = std::make_unique<MachineState>();
  ResetRegistryForTesting();
  enum class Section { kNone, kNetwork, kDevice, kRegistry };
  Section section = Section::kNone;
  std::vector<EmulatedDevice> devices;
  std::vector<std::string> dns;
  std::string host_name = state_->host_name;
  std::string registry_text;
  std::istringstream lines(text);
  size_t number = 0;
  auto fail = [&](const std::string& reason) {
    if (error != nullptr) *error = "line " + std::to_string(number) + ": " + reason;
    state_ = std::make_unique<MachineState>();
    ResetRegistryForTesting();
    return false;
  };
  for (std::string raw; std::getline(lines, raw);) {
    ++number;
    const std::string line = Trim(raw);
    if (!line.empty() && line[0] == '[') {
      if (line == "[network]") {
        section = Section::kNetwork;
        continue;
      }
      if (line == "[device]" || line == "[adapter]") {
        section = Section::kDevice;
        devices.emplace_back();
        devices.back().has_adapter = line == "[adapter]";
        continue;
      }
      section = Section::kRegistry;
    }
    if (section == Section::kRegistry) {
      registry_text += raw + "\n";
      continue;
    }
    if (line.empty() || line[0] == '#' || line[0] == ';') {
      // Keeps registry line numbers out of it: comments between sections are skipped.
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos || section == Section::kNone) {
      return fail("expected a section or key = value");
    }
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    // Values end up in registry key names and in the text written back, where a control
    // character would make the saved machine unreadable.
    if (HasControlCharacter(value)) return fail("control character in the value of " + key);
    if (section == Section::kNetwork) {
      if (key == "dns") {
        dns = SplitList(value);
      } else if (key == "host_name") {
        host_name = value;
      } else {
        return fail("unknown network key " + key);
      }
    } else if (!SetDeviceField(&devices.back(), key, value)) {
      return fail("bad device key or value: " + key);
    }
  }
  for (const EmulatedDevice& device : devices) AddDevice(device);
  state_->dns_servers = dns;
  state_->host_name = host_name;
  std::string registry_error;
  if (!registry_text.empty() && !LoadRegistryScenarioForTesting(registry_text, &registry_error)) {
    number = 0;
    return fail("registry: " + registry_error);
  }
  return true;
}

bool EmulatedMachine::LoadScenarioFile(const std::string& path, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error != nullptr) *error = path + ": cannot read the file";
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return LoadScenario(text.str(), error);
}

std::string EmulatedMachine::SaveScenario() const {
  std::ostringstream out;
  out << "[network]\nhost_name = " << state_->host_name
      << "\ndns = " << JoinList(state_->dns_servers) << "\n";
  for (const EmulatedDevice& device : state_->devices) {
    out << "\n" << (device.has_adapter ? "[adapter]" : "[device]") << "\n";
    out << "instance_id = " << WideToUtf8(device.instance_id) << "\n";
    out << "class = " << WideToUtf8(device.class_name) << "\n";
    out << "enabled = " << YesNo(device.enabled) << "\n";
    if (!device.has_adapter) continue;
    out << "guid = " << device.guid << "\ndescription = " << device.description
        << "\ntype = " << device.type << "\nlower_range = " << WideToUtf8(device.lower_range)
        << "\nregistry_instance_id = " << YesNo(device.registry_instance_id)
        << "\nwmi = " << YesNo(device.wmi) << "\ndhcp = " << YesNo(device.dhcp)
        << "\naddress = " << device.address << "\nmask = " << device.mask
        << "\ngateway = " << device.gateway << "\ndhcp_address = " << device.dhcp_address
        << "\ndhcp_mask = " << device.dhcp_mask << "\ndhcp_gateway = " << device.dhcp_gateway
        << "\ndns = " << JoinList(device.dns) << "\n";
  }
  out << "\n" << DumpRegistryForTesting();
  return out.str();
}

bool EmulatedMachine::SaveScenarioFile(const std::string& path) const {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << SaveScenario();
  return static_cast<bool>(file);
}

}  // namespace platform
