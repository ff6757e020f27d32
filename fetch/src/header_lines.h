// The host's extra header lines, checked before anything is sent.
#pragma once

#include <map>
#include <string>

namespace Http {

// False when a name or value holds CR, LF or NUL: such a field would end the line early (and
// could smuggle further header lines or a second request onto the wire) or be cut short.
bool HeaderFieldsAreSafe(const std::map<std::string, std::string>& headers);

}  // namespace Http
