// The messages between qzlinkd and its line workers: one JSON object a line
// on the worker's standard input and output. The worker owns one camera line
// (the camera link library holds one session per process); the daemon sees
// it as a LineBackend.
#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

#include "netcontrol/camera_hub.h"

namespace qzlinkd {

QJsonObject LineToJson(const qznet::LineInfo& line);
qznet::LineInfo LineFromJson(const QJsonObject& json);
QJsonObject CameraToJson(const qznet::CameraInfo& camera);
qznet::CameraInfo CameraFromJson(const QJsonObject& json);
QJsonObject CommandToJson(const qznet::CameraCommand& command);
// Nullopt for a kind it does not know.
std::optional<qznet::CameraCommand> CommandFromJson(const QJsonObject& json);
QJsonObject ResultToJson(const qznet::CommandResult& result);
qznet::CommandResult ResultFromJson(const QJsonObject& json);

// One message as one line (compact JSON and a newline).
QByteArray ToLine(const QJsonObject& message);
// Nullopt unless the line is one JSON object.
std::optional<QJsonObject> FromLine(const QByteArray& line);

}  // namespace qzlinkd
