// Value mappings of the Adjust page.
#pragma once

#include <optional>

#include "core/link/speed_limits.h"

namespace qtr90x {

// Electronic zoom list: "Off", "x 2", "x 4", "x 8", "x 12", "x 16".
inline constexpr int kElectronicZoomItems = 6;

// The magnification an item sends; "Off" sends 1.
int ElectronicZoomForItem(int item);

// The item of a reported magnification; 0 and 1 both mean "Off". Nullopt for
// a value the list does not hold: the selection is then left as it is.
std::optional<int> ElectronicZoomItem(int value);

enum class SensorImage { kDetected, kNotDetected, kNotifyOff };

// Why the sensor indicator is drawn: the "Notify Detection" box or the
// sensor input changed, or the page repaints itself (it is shown, enabled
// or disabled, as when the camera power changes).
enum class IndicatorDraw { kChange, kRepaint };

// The sensor indicator's image: detected / not detected while notification
// is on, the notification-off image otherwise. Notification is on while the
// box is checked; on a repaint only while the camera power is on as well.
SensorImage ChooseSensorImage(bool notifyChecked, bool cameraPower, int sensorInput,
                              IndicatorDraw why);

}  // namespace qtr90x
