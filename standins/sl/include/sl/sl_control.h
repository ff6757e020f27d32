// Control API of the remote-control SDK stand-in, for tests and the demo: results of calls,
// events to raise, the texts and sizes it reports, and a log of the calls with their arguments.
// Not part of the vendor's interface.
//
// Threads: every function may be called from any thread, handlers included. Events run on the
// stand-in's event thread, one at a time in the order raised; WaitIdle() blocks until every
// raised event has been handled (not from a handler).
#pragma once

#include <string>
#include <vector>

#include "sl/slsdk.h"

namespace sl_control {

struct Call {
  std::string name;               // "SLConnectRemoteSession"
  std::vector<std::string> args;  // as text: numbers in decimal, texts as given, handles by number
};

// Forgets every remote, client, session, script, queued event and logged call, and lets logins
// complete by themselves again; waits for a running handler first.
SL_DECL void Reset();

// Makes every later call of `name` fail (false, a 0 handle or SLSESSION_INVALID), or succeed
// again. "SLSetRemoteSessionOpt:<option>" names the calls for one option.
SL_DECL void FailCall(const std::string& name, bool fail = true);

// The address a client reports once logged in ("203.0.113.7:4118" unless set), the name of the
// next client sessions ("session-<id>" unless set; empty restores that), the desktop size of
// remote sessions (1280 x 720 unless set).
SL_DECL void SetClientAddress(const std::string& address);
SL_DECL void SetSessionName(const std::string& name);
SL_DECL void SetDesktopSize(int width, int height);

// Logins complete by themselves, as with the service: a client that SLClientLoginWithOpenID
// accepted gets the connected and then the logged-in event (on the event thread) once it has
// named its session with SLGetClientSessionName, the last step of the controlled side's set-up;
// a logout in between drops them. HoldLogins(true) keeps later logins back: the test raises the
// events itself with RaiseClientEvent.
SL_DECL void HoldLogins(bool hold = true);

// Events, raised on the event thread with the numbers given (any numbers). A remote event goes to
// the callback of the newest remote; a client event to the newest client's (the logged-in event
// logs the client in, the disconnected and login-failed events log it out). A session event goes
// to the option-2 callback of `session` and reports `reported_session` (the same unless given).
SL_DECL void RaiseRemoteEvent(SLSESSION session, int event);
SL_DECL void RaiseRemoteSessionEvent(SLSESSION session, int event);
SL_DECL void RaiseClientEvent(int event);
SL_DECL void RaiseClientSessionEvent(SLSESSION session, int event,
                                     SLSESSION reported_session = SLSESSION_INVALID);
SL_DECL void WaitIdle();

// Blocks until a call (destroy or logout) is waiting for the handler that runs at that moment.
SL_DECL void WaitUntilCallWaitsForHandler();

// The calls made, in order.
SL_DECL std::vector<Call> Calls();
SL_DECL std::vector<Call> CallsNamed(const std::string& name);
SL_DECL void ClearCalls();

// The newest remote and client sessions created (SLSESSION_INVALID when none).
SL_DECL SLSESSION LastRemoteSession();
SL_DECL SLSESSION LastClientSession();
// Whether a session exists, and the window option 1 gave a remote session (0 when none).
SL_DECL bool RemoteSessionExists(SLSESSION session);
SL_DECL bool ClientSessionExists(SLSESSION session);
SL_DECL uintptr_t RemoteSessionWindow(SLSESSION session);
SL_DECL bool ClientLoggedIn();
// The remote and client handles created since the last Reset(), in order.
SL_DECL std::vector<uintptr_t> RemoteHandles();
SL_DECL std::vector<uintptr_t> ClientHandles();

}  // namespace sl_control
