// The process's environment variables, as UTF-8 text.
//
// A change is seen by every later read in this process, through these calls and through the C
// runtime's getenv (on Windows both the system's and the C runtime's copy change). The
// environment is one per process and these calls take no lock: change it only while no other
// thread reads or changes it (tests do so before they start threads).
#pragma once

#include <string>

namespace platform {

// The value of `name` in `value`; false (and `value` emptied) when the variable is not set.
bool GetEnv(const char* name, std::string* value);
// The value of `name`, empty when it is not set.
std::string GetEnvOrEmpty(const char* name);
// Sets `name` to `value` (an empty value is kept as empty where the system allows it; Windows
// removes the variable instead). False when the system refuses.
bool SetEnv(const char* name, const std::string& value);
// Removes `name`; true when it is not set afterwards.
bool UnsetEnv(const char* name);

}  // namespace platform
