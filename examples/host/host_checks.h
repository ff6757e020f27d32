// The checks of the kit host: one function per component, each returning its failed checks.
#pragma once

#include <string>

namespace kit_host {

// Prints "ok <what>" or "FAILED <what>" and returns 0 or 1.
int Check(bool passed, const std::string& what);

int CheckChat(const std::string& work_folder);
int CheckFetch();
int CheckDesk();
int CheckAssist(const std::string& work_folder, const std::string& scenario);

}  // namespace kit_host
