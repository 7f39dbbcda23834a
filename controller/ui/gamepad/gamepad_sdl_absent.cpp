// The build without SDL2: there is no gamepad edge, and so no gamepad control.
#include "ui/gamepad/gamepad_source.h"

namespace qtr90x {

std::unique_ptr<GamepadSource> StartSdlGamepadSource(QObject*, QString* why) {
  if (why != nullptr)
    *why = QStringLiteral("built without SDL2");
  return nullptr;
}

bool SdlGamepadSupport() {
  return false;
}

}  // namespace qtr90x
