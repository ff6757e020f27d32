// The emulated message box asks ScopedMessageBoxAnswers itself; nothing to install.
namespace platform::internal {

void* InstallMessageBoxAnswerHook() {
  return nullptr;
}
void RemoveMessageBoxAnswerHook(void*) {}

}  // namespace platform::internal
