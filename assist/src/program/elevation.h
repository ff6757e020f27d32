// Whether the program runs elevated, and its elevated relaunch.
#pragma once

#include <string>

#include "platform/process_services.h"

namespace assist {

// The relaunch's once-only marker: a named event that lives as long as the instance that
// started the relaunch.
constexpr wchar_t kRelaunchEventName[] = L"{1EDD4F3B-4516-418E-904B-651616C37827}";
// The relaunch record, a file of the product's data folder: the decimal id of the last instance
// that relaunched the program.
constexpr wchar_t kRelaunchRecordName[] = L"KuvoAssist.relaunch";

// False before Windows Vista, when the token cannot be opened, or when TokenElevation does not
// answer exactly 4 bytes.
bool IsRunAsAdmin(platform::ProcessServices& process);

// Starts the program again with the "runas" verb, `arguments` and `show`, once per marker: false
// without launching when the marker already exists (or cannot be made), and when the user
// declined (1223) or the file was not found (2). Any other failure counts as a launch that may
// have been made. Pauses 100 ms after a launch.
//
// A relaunch chain holds at most one relaunch: the marker dies with the instance that made it,
// often before the relaunched instance looks, and that instance may find itself unelevated
// again (the token cannot be opened, a system earlier than Vista, a "runas" that starts it
// unelevated). So before launching, an instance writes its own process id into the record at
// `record_path`; an instance whose parent process is the one the record names is the relaunched
// one and launches nothing. The system keeps a process's parent id after the parent has ended,
// and "runas" gives the started program the asking process as its parent, so no argument has to
// change. No record written, no launch.
bool RunAsAdmin(platform::ProcessServices& process, const std::wstring& arguments, int show,
                const std::wstring& record_path);

}  // namespace assist
