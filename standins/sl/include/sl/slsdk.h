// The remote-control SDK's C interface (slsdk), with the vendor's names.
//
// This library is a stand-in: it keeps remotes (controlling side), clients (controlled side) and
// their sessions in memory and raises their events on a thread of its own when a test or the demo
// asks (sl/sl_control.h). Calls that destroy a session or log out wait for an event handler that
// is running at that moment on another thread, as the vendor's SDK does with the threads it owns.
//
// Handles are pointer-sized, 0 = invalid; sessions are numbers, SLSESSION_INVALID = none. Texts
// are UTF-8. The functions, and the handlers the SDK calls, use the stdcall convention on 32-bit
// Windows (SLAPI).
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define SLAPI __stdcall
#if defined(SL_BUILDING_LIBRARY)
#define SL_DECL __declspec(dllexport)
#else
#define SL_DECL __declspec(dllimport)
#endif
#else
#define SLAPI
#define SL_DECL __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uintptr_t SLREMOTE;
typedef uintptr_t SLCLIENT;
typedef unsigned int SLSESSION;
#define SLSESSION_INVALID ((SLSESSION)-1)

// Session options.
enum {
  SLSESSION_OPT_WINDOW = 1,    // value: the window itself
  SLSESSION_OPT_CALLBACK = 2,  // value: pointer to SLSESSION_CALLBACK_PROP, size of it
  SLSESSION_OPT_DEVICE_SOURCE = 3,
  SLSESSION_OPT_CONNECTED = 4,
  SLSESSION_OPT_DESKTOP_CTRL_LISTENER = 5,
  SLSESSION_OPT_IP_PORT = 6,
  SLSESSION_OPT_SAVE_PATH = 7,
};

// Events of a remote (controlling side).
enum { SLREMOTE_EVENT_CONNECTED = 0, SLREMOTE_EVENT_DISCONNECTED = 1, SLREMOTE_EVENT_LIMITED = 2 };
// Events of a client (controlled side).
enum {
  SLCLIENT_EVENT_CONNECTED = 0,
  SLCLIENT_EVENT_DISCONNECTED = 1,
  SLCLIENT_EVENT_LOGINED = 2,
  SLCLIENT_EVENT_LOGIN_FAILED = 3,
  SLCLIENT_EVENT_CHANNELS_FULL = 4,
  SLCLIENT_EVENT_CHANNEL_CHECK_FAILED = 5,
};
// Events of a session.
enum {
  SLSESSION_EVENT_CONNECTED = 1,
  SLSESSION_EVENT_DISCONNECTED = 2,
  SLSESSION_EVENT_DISPLAY_CHANGED = 3,
  SLSESSION_EVENT_NEW_FILE_TRANSFER = 4,
};

typedef void(SLAPI* SLREMOTE_CALLBACK)(SLREMOTE remote, SLSESSION session, int event, void* custom);
typedef void(SLAPI* SLCLIENT_CALLBACK)(SLCLIENT client, int event, void* custom);
typedef void(SLAPI* SLSESSION_CALLBACK)(SLSESSION session, int event, const char* data,
                                        unsigned int size, void* custom);

typedef struct {
  SLSESSION_CALLBACK callback;
  void* custom;
} SLSESSION_CALLBACK_PROP;

SL_DECL bool SLAPI SLInitialize(void);

// Controlling side.
SL_DECL SLREMOTE SLAPI SLCreateRemote(void);
SL_DECL bool SLAPI SLSetRemoteCallback(SLREMOTE remote, SLREMOTE_CALLBACK callback, void* custom);
SL_DECL void SLAPI SLOpenRemoteLog(SLREMOTE remote, const char* folder, const char* file_name);
SL_DECL SLSESSION SLAPI SLCreateRemoteEmptySession(SLREMOTE remote, int type);
SL_DECL bool SLAPI SLSetRemoteSessionOpt(SLREMOTE remote, SLSESSION session, int option,
                                         const void* value, unsigned int size);
SL_DECL bool SLAPI SLHideRemoteDesktopToolbarItem(SLREMOTE remote, SLSESSION session, int item);
SL_DECL bool SLAPI SLConnectRemoteSession(SLREMOTE remote, SLSESSION session, const char* address,
                                          const char* session_name);
SL_DECL bool SLAPI SLDestroyRemoteSession(SLREMOTE remote, SLSESSION session);
SL_DECL bool SLAPI SLGetDesktopSessionOriginSize(SLREMOTE remote, SLSESSION session, int* width,
                                                 int* height);
SL_DECL bool SLAPI SLSetDesktopSessionPos(SLREMOTE remote, SLSESSION session, int x, int y,
                                          int width, int height);

// Controlled side.
SL_DECL SLCLIENT SLAPI SLCreateClient(void);
SL_DECL bool SLAPI SLSetClientCallback(SLCLIENT client, SLCLIENT_CALLBACK callback, void* custom);
SL_DECL void SLAPI SLOpenClientLog(SLCLIENT client, const char* folder, const char* file_name);
SL_DECL bool SLAPI SLClientLoginWithOpenID(SLCLIENT client, const char* openid, const char* key,
                                           const char* domain, bool use_ssl);
SL_DECL SLSESSION SLAPI SLCreateClientSession(SLCLIENT client, int type);
SL_DECL bool SLAPI SLSetClientSessionOpt(SLCLIENT client, SLSESSION session, int option,
                                         const void* value, unsigned int size);
// The texts stay valid until the next call for the same client (or its session) and are empty
// when there is none; the address exists only after the logged-in event.
SL_DECL const char* SLAPI SLGetClientSessionName(SLCLIENT client, SLSESSION session);
SL_DECL const char* SLAPI SLGetClientAddress(SLCLIENT client);
SL_DECL bool SLAPI SLClientStartChat(SLCLIENT client, SLSESSION session, bool show);
SL_DECL bool SLAPI SLClientIsOnLoginned(SLCLIENT client);
SL_DECL bool SLAPI SLClientLogout(SLCLIENT client);
SL_DECL bool SLAPI SLDestroyClientSession(SLCLIENT client, SLSESSION session);

#ifdef __cplusplus
}  // extern "C"
#endif
