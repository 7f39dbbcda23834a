// What the network control service needs from the program that owns the
// camera lines: the lines and cameras with what is known of them, commands
// that complete later with the camera's verdict, and signals when something
// changes. The operator application implements it on its camera link, the
// daemon on its set of lines; the tests on a fake.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <compare>
#include <functional>
#include <optional>

namespace qznet {

// A camera is addressed by its line (the COM number, 1 to 9) and its address
// on that line (1 to 9).
struct CameraId {
  int line = 0;
  int camera = 0;
  auto operator<=>(const CameraId&) const = default;
};

inline constexpr int kMaxLine = 9;
inline constexpr int kMaxCamera = 9;
inline constexpr int kPresetCount = 9;     // presets 1 to 9
inline constexpr int kPresetNameMax = 15;  // characters the preset name store keeps

enum class LineState { Closed, Open, Error };
enum class LinkState { Unknown, Online, NoAnswer, Offline };

struct LineInfo {
  int line = 0;
  LineState state = LineState::Closed;
  QString device;  // what the port mapping resolved, e.g. /dev/ttyS0
  QString error;   // the failure text when state is Error
};

struct CameraInfo {
  CameraId id;
  LinkState link = LinkState::Unknown;
  QString model;              // the unit name the camera reported
  std::optional<bool> power;  // camera power
  std::optional<bool> local;  // Local (true) or Host (false) mode
  quint16 presetsStored = 0;  // bit i: preset i+1 holds a position
  QStringList presetNames;    // presets 1 to 9, as the application stores them
  std::optional<int> panSpeed, tiltSpeed, zoomSpeed;
  std::optional<int> zoomPosition, focusPosition;
  std::optional<bool> focusAuto;
  bool moving = false;  // a move runs as far as the owner knows
};

// The camera's or the line's verdict on one command.
enum class CameraError {
  None,
  Busy,           // the camera answered busy
  NotExecutable,  // the camera cannot do it now (power off, pedestal not ready)
  Parameter,      // the camera refused a parameter, or the preset is not stored
  NoAnswer,       // no answer within the answer bound
  LineDown,       // the line is closed or failed
  NotFound,       // no such camera
  Failed,         // anything else; detail says what
};

struct CommandResult {
  CameraError error = CameraError::None;
  QString detail;     // a short text for people
  QByteArray answer;  // the answer frame, when there was one
};

// Speeds from -1 to 1: pan > 0 right, tilt > 0 up, zoom > 0 tele, focus > 0 far.
struct MoveVelocity {
  double pan = 0, tilt = 0, zoom = 0, focus = 0;
  bool IsZero() const { return pan == 0 && tilt == 0 && zoom == 0 && focus == 0; }
  bool operator==(const MoveVelocity&) const = default;
};

struct CameraCommand {
  enum class Kind { Move, Stop, Home, PresetRecall, PresetStore, Power, Mode, Raw, ReadState };
  Kind kind = Kind::Stop;
  MoveVelocity velocity;  // Move
  int preset = 0;         // PresetRecall, PresetStore: 1 to 9
  bool on = false;        // Power: on; Mode: true for Local
  QByteArray frame;       // Raw: a whole command frame
};

using CommandDone = std::function<void(const CommandResult&)>;

class CameraHub : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~CameraHub() override = default;

  virtual QList<LineInfo> Lines() const = 0;
  virtual QList<CameraInfo> Cameras() const = 0;
  virtual std::optional<CameraInfo> Camera(CameraId id) const = 0;
  // Queues the command on the camera's line. done runs exactly once, later,
  // on the hub's thread (never inside Execute).
  virtual void Execute(CameraId id, const CameraCommand& command, CommandDone done) = 0;
  // Stores a preset's name in the application's preset name store.
  virtual CommandResult SetPresetName(CameraId id, int preset, const QString& name) = 0;

 signals:
  void CameraChanged(qznet::CameraId id);
  void LineChanged(int line);
  // A notification from the camera: kind is "power", "preset", "pedestal",
  // "focus" or another short word; text says what happened.
  void Notified(qznet::CameraId id, const QString& kind, const QString& text);
};

}  // namespace qznet

Q_DECLARE_METATYPE(qznet::CameraId)
