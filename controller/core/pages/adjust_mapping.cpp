#include "core/pages/adjust_mapping.h"

namespace qtr90x {

namespace {
constexpr int kZoomFactors[kElectronicZoomItems] = {1, 2, 4, 8, 12, 16};
}

int ElectronicZoomForItem(int item) {
  return item >= 0 && item < kElectronicZoomItems ? kZoomFactors[item] : 1;
}

std::optional<int> ElectronicZoomItem(int value) {
  if (value == 0) {
    return 0;
  }
  for (int item = 0; item < kElectronicZoomItems; ++item) {
    if (kZoomFactors[item] == value) {
      return item;
    }
  }
  return std::nullopt;
}

SensorImage ChooseSensorImage(bool notifyChecked, bool cameraPower, int sensorInput,
                              IndicatorDraw why) {
  if (!notifyChecked || (why == IndicatorDraw::kRepaint && !cameraPower)) {
    return SensorImage::kNotifyOff;
  }
  return sensorInput != 0 ? SensorImage::kDetected : SensorImage::kNotDetected;
}

}  // namespace qtr90x
