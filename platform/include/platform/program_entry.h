// A program's OS services, chosen once at its entry: on Windows the system's own
// (ProgramSystem()); elsewhere the emulated machine of a scenario file, which RunProgram puts in
// place in CurrentSystem() and writes back.
#pragma once

#include <functional>
#include <string>

#include "platform/system.h"

namespace platform {

#if defined(_WIN32)
// CurrentSystem() with the Win32 services of the adapter repair, the process and the COM module.
// DefaultSystem() leaves these out, so that a library, which never asks for them, does not
// import SetupDi, the IP helper or WMI.
System ProgramSystem();
#else
// Runs `program` on the emulated machine of the scenario file that KUVO_MACHINE_SCENARIO names
// (an empty machine without one), with the process state of its [process] section, the run
// folder of KUVO_ASSIST_RUN_DIR (else the scenario's folder) and `resources` as the module's.
// `program` finds them in CurrentSystem() and gets the command line (the arguments joined and
// quoted as Windows does, UTF-8). Processes of one run folder overlap; only each load and each
// write-back of the machine is serialised, and only this process's changes go back, onto what the
// others wrote meanwhile. The exit code also goes to "exit-codes.log" in the run folder as
// "<pid>\t<code>". Answers the program's exit code, or 2 when the scenario cannot be loaded (said
// on stderr).
int RunProgram(int argc, char** argv, const ModuleResources& resources,
               const std::function<int(const std::string&)>& program);
#endif

}  // namespace platform
