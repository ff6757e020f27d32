// Merging what one process did to an emulated machine into the machine as other processes have
// left it meanwhile (not available on Windows).
//
// Processes of one run folder overlap as they do on Windows. Each one loads the saved machine
// when it starts and works on its own copy; when it ends it writes back only its own changes:
// under the run folder's "machine.lock" it reads the saved machine again and applies the
// difference between what it loaded (`base`) and what it has now (`mine`) onto it (`theirs`).
// A process therefore sees the changes of processes that ended before it started, and changes
// to different values never undo one another; of two changes to one value, the later write-back
// wins, as the later write does on Windows.
//
// The three texts are EmulatedMachine::SaveScenario() texts. Items are the lines of a section
// ("key = value" of [network], [device] and [adapter], values and "!deny-write" of registry
// keys); a device is known by its header, its instance id and its place among devices of that
// id, a registry key by its path. An item or section this process added or removed is added or
// removed; an item changed in a section that another process removed stays removed; new
// sections and items go after the existing ones.
#pragma once

#include <string>

namespace platform {

std::string MergeMachineScenario(const std::string& base, const std::string& mine,
                                 const std::string& theirs);

}  // namespace platform
