// A call into the camera link library as a value: the export and its integer
// arguments after the camera address. The sequence engine decides which call
// to make; the Qt side carries it out through qzlink.h with one switch.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qtr90x {

// Every export the engine calls. Each takes the camera address first, then
// `argCount` more integers.
enum class LibraryFunction : std::uint8_t {
  kQzSetCascade,                  // (cam, mode)
  kQzSetCmdMode,                  // (cam, mode)
  kQzSetNotify,                   // (cam, mode)
  kQzGetExtendedOperateStatus,    // (cam)
  kQzSetCameraPower,              // (cam, mode)
  kQzGetUnitName,                 // (cam)
  kQzGetExtendPreset,             // (cam)
  kQzPedestalInitialize,          // (cam, mode)
  kQzSetDate,                     // (cam, year - 2000, month 1..12, day)
  kQzSetTime,                     // (cam, hour, minute, second)
  kQzGetIrLight,                  // (cam)
  kQzGetIrCutFilter,              // (cam)
  kQzSetSensorInputDetectProp,    // (cam, mode)
  kQzGetSensorInputTerminalStat,  // (cam)
  kQzGetMotorSpeed,               // (cam, mode)
  kQzGetZoomSpeed,                // (cam)
  kQzGetExternalLight,            // (cam)
  kQzGetAlarmOutput,              // (cam)
  kQzGetElectronicZoom,           // (cam)
  kQzGetNoiseReduction,           // (cam)
  kQzGet4ByteStatus,              // (cam)
  kQzGet2ByteStatus,              // (cam)
  kQzSetLed,                      // (cam, mode)
  kQzSetOnScreen,                 // (cam, mode)
  kQzGetBacklight,                // (cam)
  kQzSetBackLight,                // (cam, mode)
  kQzGetAEVal,                    // (cam)
  kQzGetIris,                     // (cam)
  kQzGetAGCGain,                  // (cam)
  kQzGetShutterSpeed,             // (cam)
  kQzSetMotorSpeed,               // (cam, mode, speed)
  kQzSetZoomSpeed,                // (cam, speed)
  kQzSetIrCutFilter,              // (cam, mode)
  kQzSetIrLight,                  // (cam, mode)
};

struct LibraryCall {
  LibraryFunction function = LibraryFunction::kQzGetExtendedOperateStatus;
  int camera = 0;
  int argCount = 0;           // arguments after the camera address
  std::array<int, 3> args{};  // unused ones are 0

  bool operator==(const LibraryCall&) const = default;
};

LibraryCall MakeCall(LibraryFunction function, int camera);
LibraryCall MakeCall(LibraryFunction function, int camera, int a);
LibraryCall MakeCall(LibraryFunction function, int camera, int a, int b);
LibraryCall MakeCall(LibraryFunction function, int camera, int a, int b, int c);

// The export's exact name, "QzSetCascade".
std::string_view LibraryFunctionName(LibraryFunction function);

// "QzSetCascade(0, 1)": for debug lines and test diagnostics.
std::string DescribeCall(const LibraryCall& call);

// Makes the calls. The Qt side implements it on qzlink.h; tests use a fake.
class LibraryCaller {
 public:
  virtual ~LibraryCaller() = default;
  // Returns the library's result: non-zero when the frame was written,
  // 0 on failure (no session, write failure).
  virtual int Call(const LibraryCall& call) = 0;
};

}  // namespace qtr90x
