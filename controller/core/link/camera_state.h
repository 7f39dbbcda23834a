// The camera's reported settings, as the main dialog keeps them and the
// pages show them. Cleared when a connection or a camera change starts.
#pragma once

#include <string>

namespace qtr90x {

struct CameraState {
  bool pedestalInitialised = false;
  bool focusAuto = false;
  int electronicZoom = 0;  // 1, 2, 4, 8, 12 or 16
  bool irCutFilter = false;
  int irLight = 0;  // 0 to 6
  int panSpeed = 0;
  int tiltSpeed = 0;
  int zoomSpeed = 0;
  bool externalLight = false;
  bool alarmOutput = false;
  bool cameraPower = false;
  bool localMode = false;
  int noiseReduction = 0;  // 0 to 2
  int ledState = 0;
  bool onScreen = false;
  bool secondDisplay = false;
  int dateDisplay = 0;  // 7 to 9
  int timeDisplay = 0;  // 4 to 6
  bool exposureAuto = false;
  int aeValue = 0;
  int backlight = 0;
  bool flickerless = false;
  int iris = 0;
  int agcGain = 0;
  int shutterSpeed = 0;
  bool wbLock = false;
  std::string unitName;  // at most 19 characters
  int sensorInput = 0;   // nonzero while a sensor input is active
};

}  // namespace qtr90x
