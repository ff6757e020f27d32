#include "message_recorder.h"

#include <condition_variable>

#include "base/runnable_function.h"
#include "base/task_runner.h"
#include "kuvocore.h"

namespace kuvo_test {

namespace {

bool ReadVarint(const std::string& data, size_t* pos, uint64_t* value) {
  *value = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (*pos >= data.size()) return false;
    const auto byte = static_cast<uint8_t>(data[(*pos)++]);
    *value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

struct RunState {
  const std::function<void()>* work;
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
};

void RunAndSignal(RunState* state) {
  (*state->work)();
  std::lock_guard<std::mutex> lock(state->mutex);
  state->done = true;
  state->cv.notify_all();
}

}  // namespace

bool ParseWire(const std::string& data, std::map<int, WireField>* fields) {
  fields->clear();
  size_t pos = 0;
  while (pos < data.size()) {
    uint64_t key = 0;
    if (!ReadVarint(data, &pos, &key)) return false;
    const int number = static_cast<int>(key >> 3);
    WireField field;
    field.wire_type = static_cast<int>(key & 7);
    if (field.wire_type == 0) {
      if (!ReadVarint(data, &pos, &field.varint)) return false;
    } else if (field.wire_type == 2) {
      uint64_t length = 0;
      if (!ReadVarint(data, &pos, &length) || length > data.size() - pos) return false;
      field.bytes = data.substr(pos, static_cast<size_t>(length));
      pos += static_cast<size_t>(length);
    } else {
      return false;
    }
    if (!fields->emplace(number, field).second) return false;
  }
  return true;
}

void RunOnRunner(const std::function<void()>& work) {
  void* object = nullptr;
  GetKuvocoreObject(kKuvocoreTaskRunner, &object);
  auto* runner = static_cast<Base::ITaskRunner*>(object);
  RunState state;
  state.work = &work;
  runner->PostTask(Base::NewRunnableFunction(&RunAndSignal, &state));
  std::unique_lock<std::mutex> lock(state.mutex);
  state.cv.wait(lock, [&] { return state.done; });
}

std::string Base64ForTest(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) |
                       (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                       static_cast<uint8_t>(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out.push_back(kAlphabet[(v >> s) & 0x3F]);
  }
  if (bytes.size() - i == 1) {
    const uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
    out += {kAlphabet[(v >> 18) & 0x3F], kAlphabet[(v >> 12) & 0x3F], '=', '='};
  } else if (bytes.size() - i == 2) {
    const uint32_t v =
        (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
    out +=
        {kAlphabet[(v >> 18) & 0x3F], kAlphabet[(v >> 12) & 0x3F], kAlphabet[(v >> 6) & 0x3F], '='};
  }
  return out;
}

}  // namespace kuvo_test
