// One simulated camera: its state and how it executes each command.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "camsim/axis.h"
#include "camsim/camera_clock.h"
#include "camsim/model_traits.h"
#include "camsim/sim_types.h"
#include "camsim/wire_format.h"

namespace camsim {

// How long the camera's slow actions take.
struct CameraTimings {
  Duration powerDelay = Milliseconds(2000);     // camera power on or off
  Duration pedestalDelay = Milliseconds(3000);  // pedestal initialisation
  Duration moveDelay = Milliseconds(1000);      // preset and home moves, one-push AF
  // Absolute pan/tilt, zoom and focus moves arrive at once instead of
  // travelling at the motor speed.
  bool instantMotion = false;
};

// A frame the camera wants to send and the time it is ready.
struct Emission {
  TimePoint ready;
  Bytes frame;
};

// The answer to one command: completion code and data characters.
struct Reply {
  Code code = kDone;
  std::string data;
};

inline constexpr int kPresetCount = 9;
inline constexpr int kTitleColumns = 24;
inline constexpr int kTitleRows = 4;

// Lens and picture settings; a camera reset restores these defaults.
struct PictureSettings {
  bool focusManual = false;
  bool exposureManual = false;
  bool aeLock = false;
  int aeValue = 0x80;   // 16..255
  int backlight = 0;    // 0 off, 1 on
  int iris = 8;         // 2..16
  int agcGain = 0;      // 0..255
  int shutter = 6;      // 0..25, slow shutter 128..131
  int shutterMode = 0;  // 0 normal, 1 fixed, 2 flickerless
  int wbMode = 0;       // 0 auto, 1 locked, 2 indoor, 3 outdoor
  int wbGain = 0x80;
  int fading = 0;          // 0..3
  int exposureOption = 0;  // a one-digit register, kept and read back
  int electronicZoom = 1;  // 1..16
  int noiseReduction = 0;  // 0..2
};

// Everything "set default" restores, besides the picture settings.
struct SystemSettings {
  SystemSettings();
  int panSpeed = 400;   // 8..800
  int tiltSpeed = 300;  // 8..622
  int zoomSpeed = 3;    // 0..7
  bool onScreen = false;
  bool secondDisplay = false;
  int dateDisplay = 7;  // 7 off, 8 yy.mm.dd, 9 dd.MM.yy
  int timeDisplay = 4;  // 4 off, 5 hh:mm:ss, 6 HH:mm:ss tt
  int led = 0;          // 0 normal, 1 green, 2 off, 3 red, 4 orange
  int irCutFilter = 1;  // 1 filter in (day), 0 out (night)
  int irLight = 0;      // 0..6
  bool externalLight = false;
  bool alarmOutput = false;
  // Bits 0-3: report input 1-4 going active; bits 4-7: going inactive.
  int detectProp = 0;
  std::array<std::array<uint8_t, kTitleColumns>, kTitleRows> title{};
};

class CameraModel {
 public:
  CameraModel(int address, const ModelTraits& model, const CameraTimings& timings, bool powerOn,
              bool pedestalReady, TimePoint now);

  // Executes one command addressed to this camera at time now and gives the
  // answer. Notifications that follow the answer at once go to out; later ones
  // come from Settle. Call Settle(now) first so finished actions are applied.
  Reply Handle(uint8_t command, std::string_view args, TimePoint now, std::vector<Emission>& out);

  // Completes the slow actions due by now and emits their notifications.
  void Settle(TimePoint now, std::vector<Emission>& out);
  // When the next slow action completes, if any is running.
  std::optional<TimePoint> NextEventTime() const;

  // Inputs from the camera's surroundings (the simulator's control input).
  // Each gives false when the camera has no such input.
  bool PressPower(bool on, TimePoint now, std::vector<Emission>& out);
  bool SetSensorInput(int value, TimePoint now, std::vector<Emission>& out);
  // Remote on/off and global notify frames; *sent tells whether the camera's
  // notification switches let the frame out.
  void SignalRemote(bool on, TimePoint now, std::vector<Emission>& out, bool* sent);
  void SignalGlobal(TimePoint now, std::vector<Emission>& out, bool* sent);

  uint32_t ExtendedStatus() const;
  uint32_t FourDigitStatus() const;
  uint32_t TwoDigitStatus() const;
  // One line "camera <n> <model> key=value ..." for the state control command.
  std::string Describe(TimePoint now) const;

  int Address() const { return address_; }
  const ModelTraits& Model() const { return model_; }

  enum class Op;
  struct Row;

 private:
  enum class Action { kPower, kPedestal, kMove, kFocus };
  struct Pending {
    Action action;
    TimePoint due;
    bool powerOn;      // for kPower
    std::string echo;  // command byte and characters, repeated in the notification
  };

  struct Call;

  Code Gate(const Row& row) const;
  Reply ExecutePedestal(const Call& call);
  Reply ExecuteLens(const Call& call);
  Reply ExecutePicture(const Call& call);
  Reply ExecuteSystem(const Call& call);
  Reply ExecuteLine(const Call& call);
  Reply MoveToAngles(std::string_view params, bool relative, TimePoint now);
  // Direction 0 stops the axis, 1 drives it to its maximum, 2 to its minimum.
  void Drive(Axis& axis, int direction, int rate, TimePoint now);
  void Redrive(Axis& axis, int rate, TimePoint now);
  void MoveAxis(Axis& axis, int target, int rate, TimePoint now);
  int ZoomRate(int speed) const;
  int FocusRate() const;
  void Start(Action action, Duration delay, std::string echo, TimePoint now, bool powerOn = false);
  bool IsPending(Action action) const;
  void Notify(TimePoint ready, std::string_view echo, std::vector<Emission>& out) const;
  void ResetPicture();

  int address_;
  const ModelTraits& model_;
  CameraTimings timings_;
  TimePoint start_;

  bool power_;
  bool localMode_ = false;
  bool pedestalReady_;
  bool notify_ = false;
  bool globalNotify_ = false;
  bool irRemote_ = true;
  bool remotePass_ = false;
  int sensorInput_ = 0;  // bits 0-3: inputs 1-4 active

  Axis pan_;
  Axis tilt_;
  Axis zoom_;
  Axis focus_;
  PictureSettings picture_;
  SystemSettings system_;
  CameraClock clock_;

  struct Preset {
    int pan, tilt, zoom, focus;
  };
  std::array<Preset, kPresetCount> presets_{};
  uint32_t presetMask_ = 0;  // bit i: preset i+1 stored

  std::vector<Pending> pending_;  // at most one per action
};

}  // namespace camsim
