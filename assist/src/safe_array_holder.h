// A counted holder of a SAFEARRAY: copies share the array, and the last copy to go destroys it
// (SafeArrayDestroy). An empty holder holds no array.
#pragma once

#include <memory>

#include "platform/wmi.h"

namespace assist {

class SafeArrayHolder {
 public:
  SafeArrayHolder() = default;
  // Takes over `array`, which `wmi` made and will destroy; `wmi` must outlive every copy.
  SafeArrayHolder(platform::Wmi* wmi, platform::SafeArray array);

  platform::SafeArray get() const { return array_.get(); }
  explicit operator bool() const { return array_ != nullptr; }
  long use_count() const { return array_.use_count(); }

 private:
  std::shared_ptr<platform::SafeArrayHandle> array_;
};

}  // namespace assist
