// Host guide, KuvoChat: register, initialise, log in, take messages once ready, and tear down.
#include <atomic>
#include <string>

#include "KuvoChat.h"
#include "guide_chat_teardown.h"

namespace guide {

class ChatHost final : public IConnCallBack, public IMsgCallBack {
 public:
  // Runs on Kuvocore's task-runner thread. Never throws: catch everything here.
  void OnConnEvent(int32_t code, std::string text) override {
    if (code == 0 && text == "tim login success") logged_in_ = true;
  }
  // The list and its records belong to the library and live for this call only.
  void OnNewMsgs(const TimMsgList* msgs) override { received_ += msgs->size(); }
  void OnSendResult(bool, uint64_t, const tagTimMsgInfo*) override {}
  void OnMsgListResult(uint64_t, const TimMsgList*, bool) override {}

  std::atomic<bool> logged_in_{false};
  std::atomic<size_t> received_{0};
};

// Kuvocore (the in-house base library) is started by the host before this.
bool RunChat(ChatHost* host, const std::wstring& data_folder) {
  Im_RegConnCallBack(host);
  Im_RegMsgCallBack(host);
  if (!Im_Init(1400012345, 0, data_folder.c_str()) ||
      !Im_Login(900100200300ull, "36862", "user-signature")) {
    Im_UnInit();
    return false;
  }
  // ... once event 0 "tim login success" has arrived and the host can show messages:
  Im_NotifyReleaseData();
  // ... and at the end, callbacks removed before `host` may be destroyed:
  Im_RemoveMsgCallBack(host);
  Im_RemoveConnCallBack(host);
  Im_UnInit();
  return true;
}

// A host object made with new, torn down from the host's UI thread while events still arrive.
void TearDownFromUiThread(ChatHost* host, Base::ITaskRunner* kuvocore_runner) {
  RemoveAndDestroy(host, kuvocore_runner);
  // Before unloading KuvoChat: Im_UnInit, then stop Kuvocore's runner (or wait until it has run
  // every queued task): queued tasks hold code of the library.
}

}  // namespace guide
