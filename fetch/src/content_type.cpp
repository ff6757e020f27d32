#include "content_type.h"

namespace Http {

const char* ContentTypeLine(int32_t code) {
  // Servers of the product expect these lines byte for byte, including the missing blank in
  // the first one.
  static const char* const kLines[] = {
      "Content-Type:application/json;charset=UTF-8",
      "Content-Type: text/xml;charset=utf-8",
      "Content-Type: application/x-www-form-urlencoded;charset=utf-8",
      "Content-Type: application/octet-stream",
      "Content-Type: application/protobuf",
  };
  if (code < 1 || code > 5) return nullptr;
  return kLines[code - 1];
}

}  // namespace Http
