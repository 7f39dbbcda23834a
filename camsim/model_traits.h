// The fixed facts of each simulated camera model: name, feature set and ranges.
#pragma once

#include <string_view>

namespace camsim {

struct ModelTraits {
  std::string_view unitName;  // the answer to the unit name query
  // The QT-R90x family has IR cut filter, IR light, noise reduction, electronic
  // zoom, sensor inputs, alarm and external light outputs, the 4- and 2-digit
  // status words and the backlight query; the QT-R7 has none of them.
  bool r90xFeatures;
  int cameraType;    // answer of the camera model query
  int pedestalType;  // answer of the pedestal model query
  std::string_view romVersion;
  std::string_view ccdSize;
  std::string_view cameraVersion;
  std::string_view cameraSubVersion;
  int zoomMax;         // 4-digit zoom position range 0..zoomMax
  int zoomRatioMax10;  // optical zoom ratio at zoomMax, in tenths
  int focusMin;
  int focusMax;
  // Pan/tilt angles in tenths of a degree.
  int panMin;
  int panMax;
  int tiltMin;
  int tiltMax;
};

// The model with exactly this name (QT-R7, QT-R90x, QT-R90xN), or null.
const ModelTraits* FindModel(std::string_view name);

}  // namespace camsim
