#include "safe_array_holder.h"

namespace assist {

SafeArrayHolder::SafeArrayHolder(platform::Wmi* wmi, platform::SafeArray array) {
  if (array != nullptr) {
    array_.reset(array, [wmi](platform::SafeArray held) { wmi->SafeArrayDestroy(held); });
  }
}

}  // namespace assist
