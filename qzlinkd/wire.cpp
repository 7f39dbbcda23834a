#include "qzlinkd/wire.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace qzlinkd {

namespace {

using qznet::CameraCommand;
using qznet::CameraError;

const char* const kCommandKinds[] = {"move",  "stop", "home", "recall", "store",
                                     "power", "mode", "raw",  "read"};
const char* const kErrors[] = {"none",      "busy",      "not_executable", "parameter",
                               "no_answer", "line_down", "not_found",      "failed"};

template <typename T>
void PutOptional(QJsonObject& json, const char* key, const std::optional<T>& value) {
  if (value)
    json.insert(QLatin1String(key), *value);
}

std::optional<int> IntOf(const QJsonObject& json, const char* key) {
  const QJsonValue value = json.value(QLatin1String(key));
  return value.isDouble() ? std::optional<int>(value.toInt()) : std::nullopt;
}

std::optional<bool> BoolOf(const QJsonObject& json, const char* key) {
  const QJsonValue value = json.value(QLatin1String(key));
  return value.isBool() ? std::optional<bool>(value.toBool()) : std::nullopt;
}

template <typename Enum, std::size_t N>
Enum EnumOf(const QString& text, const char* const (&names)[N], Enum fallback) {
  for (std::size_t i = 0; i < N; ++i) {
    if (text == QLatin1String(names[i]))
      return static_cast<Enum>(i);
  }
  return fallback;
}

}  // namespace

QJsonObject LineToJson(const qznet::LineInfo& line) {
  return QJsonObject{{"line", line.line},
                     {"state", int(line.state)},
                     {"device", line.device},
                     {"error", line.error}};
}

qznet::LineInfo LineFromJson(const QJsonObject& json) {
  qznet::LineInfo line;
  line.line = json.value("line").toInt();
  const int state = json.value("state").toInt();
  line.state = state >= 0 && state <= 2 ? qznet::LineState(state) : qznet::LineState::Error;
  line.device = json.value("device").toString();
  line.error = json.value("error").toString();
  return line;
}

QJsonObject CameraToJson(const qznet::CameraInfo& camera) {
  QJsonObject json{{"line", camera.id.line},
                   {"camera", camera.id.camera},
                   {"link", int(camera.link)},
                   {"model", camera.model},
                   {"presets", int(camera.presetsStored)},
                   {"names", QJsonArray::fromStringList(camera.presetNames)},
                   {"moving", camera.moving}};
  PutOptional(json, "power", camera.power);
  PutOptional(json, "local", camera.local);
  PutOptional(json, "pan_speed", camera.panSpeed);
  PutOptional(json, "tilt_speed", camera.tiltSpeed);
  PutOptional(json, "zoom_speed", camera.zoomSpeed);
  PutOptional(json, "zoom", camera.zoomPosition);
  PutOptional(json, "focus", camera.focusPosition);
  PutOptional(json, "focus_auto", camera.focusAuto);
  return json;
}

qznet::CameraInfo CameraFromJson(const QJsonObject& json) {
  qznet::CameraInfo camera;
  camera.id = {json.value("line").toInt(), json.value("camera").toInt()};
  const int link = json.value("link").toInt();
  camera.link = link >= 0 && link <= 3 ? qznet::LinkState(link) : qznet::LinkState::Unknown;
  camera.model = json.value("model").toString();
  camera.presetsStored = static_cast<quint16>(json.value("presets").toInt());
  for (const QJsonValue& name : json.value("names").toArray())
    camera.presetNames.append(name.toString());
  camera.moving = json.value("moving").toBool();
  camera.power = BoolOf(json, "power");
  camera.local = BoolOf(json, "local");
  camera.panSpeed = IntOf(json, "pan_speed");
  camera.tiltSpeed = IntOf(json, "tilt_speed");
  camera.zoomSpeed = IntOf(json, "zoom_speed");
  camera.zoomPosition = IntOf(json, "zoom");
  camera.focusPosition = IntOf(json, "focus");
  camera.focusAuto = BoolOf(json, "focus_auto");
  return camera;
}

QJsonObject CommandToJson(const CameraCommand& command) {
  return QJsonObject{{"kind", QLatin1String(kCommandKinds[int(command.kind)])},
                     {"pan", command.velocity.pan},
                     {"tilt", command.velocity.tilt},
                     {"zoom", command.velocity.zoom},
                     {"focus", command.velocity.focus},
                     {"preset", command.preset},
                     {"on", command.on},
                     {"frame", QString::fromLatin1(command.frame.toHex())}};
}

std::optional<CameraCommand> CommandFromJson(const QJsonObject& json) {
  const QString kind = json.value("kind").toString();
  CameraCommand command;
  bool known = false;
  for (std::size_t i = 0; i < std::size(kCommandKinds); ++i) {
    if (kind == QLatin1String(kCommandKinds[i])) {
      command.kind = CameraCommand::Kind(i);
      known = true;
    }
  }
  if (!known)
    return std::nullopt;
  command.velocity = {json.value("pan").toDouble(), json.value("tilt").toDouble(),
                      json.value("zoom").toDouble(), json.value("focus").toDouble()};
  command.preset = json.value("preset").toInt();
  command.on = json.value("on").toBool();
  command.frame = QByteArray::fromHex(json.value("frame").toString().toLatin1());
  return command;
}

QJsonObject ResultToJson(const qznet::CommandResult& result) {
  return QJsonObject{{"error", QLatin1String(kErrors[int(result.error)])},
                     {"detail", result.detail},
                     {"answer", QString::fromLatin1(result.answer.toHex())}};
}

qznet::CommandResult ResultFromJson(const QJsonObject& json) {
  qznet::CommandResult result;
  result.error = EnumOf(json.value("error").toString(), kErrors, CameraError::Failed);
  result.detail = json.value("detail").toString();
  result.answer = QByteArray::fromHex(json.value("answer").toString().toLatin1());
  return result;
}

QByteArray ToLine(const QJsonObject& message) {
  return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> FromLine(const QByteArray& line) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(line.trimmed(), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject())
    return std::nullopt;
  return document.object();
}

}  // namespace qzlinkd
