// Failures as RFC 9457 problem documents, and the camera's verdicts as HTTP
// statuses.
#pragma once

#include "netcontrol/camera_hub.h"
#include "netcontrol/http_types.h"

#include <QJsonObject>
#include <QString>

namespace qznet {

struct Problem {
  int status = 500;
  QString code;    // a stable word for programs: "camera_busy", "bad_token", ...
  QString detail;  // for people
  std::optional<CameraId> camera;

  QJsonObject ToJson() const;
  HttpResponse ToResponse() const;
};

// busy and not executable 409, parameter 422, no answer 504, line down 503,
// unknown camera 404, anything else 500.
Problem ProblemFor(const CommandResult& result, CameraId camera);

}  // namespace qznet
