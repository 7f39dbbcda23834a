// What the two export files share: the library's one session and the helpers
// that turn an export's arguments into a command identifier and parameters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "camlink/camera_session.h"

namespace qzlink {

// The library's one session, created when the library is loaded.
CameraSession& Session();

// Not an identifier of the template table: building it fails, so a selector
// outside its list sends nothing and leaves ERR_NONE.
inline constexpr int32_t kNoTemplate = 0;

// The identifier that selector value mode chooses: ids[mode], or none.
inline int32_t Select(int32_t mode, std::initializer_list<int32_t> ids) {
  if (mode < 0 || static_cast<size_t>(mode) >= ids.size()) {
    return kNoTemplate;
  }
  return ids.begin()[mode];
}

// Stores the value arguments as p1, p2, p3 in argument order (kept for later
// builds even when nothing is sent), then sends the template.
template <typename... Values>
int32_t Send(int32_t commandId, int32_t unit, Values... values) {
  static_assert(sizeof...(values) <= 3);
  CameraSession& session = Session();
  [[maybe_unused]] int index = 0;
  (session.SetParameter(index++, values), ...);
  return session.SendTemplate(commandId, unit);
}

}  // namespace qzlink
