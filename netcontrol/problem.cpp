#include "netcontrol/problem.h"

#include <QJsonDocument>

namespace qznet {

QJsonObject Problem::ToJson() const {
  QJsonObject json{{"type", "about:blank"},
                   {"title", StatusText(status)},
                   {"status", status},
                   {"code", code},
                   {"detail", detail}};
  if (camera) {
    json["camera"] = QJsonObject{{"line", camera->line}, {"camera", camera->camera}};
  }
  return json;
}

HttpResponse Problem::ToResponse() const {
  HttpResponse response;
  response.status = status;
  response.contentType = "application/problem+json";
  response.body = QJsonDocument(ToJson()).toJson(QJsonDocument::Compact);
  if (status == 401) {
    response.headers.append(QPair<QByteArray, QByteArray>{"WWW-Authenticate", "Bearer"});
  }
  return response;
}

Problem ProblemFor(const CommandResult& result, CameraId camera) {
  auto make = [&](int status, const char* code, const char* fallback) {
    return Problem{status, QString::fromLatin1(code),
                   result.detail.isEmpty() ? QString::fromLatin1(fallback) : result.detail, camera};
  };
  switch (result.error) {
    case CameraError::None:
      return make(200, "ok", "done");
    case CameraError::Busy:
      return make(409, "camera_busy", "the camera is busy");
    case CameraError::NotExecutable:
      return make(409, "not_executable", "the camera cannot do this now");
    case CameraError::Parameter:
      return make(422, "parameter", "the camera refused a parameter");
    case CameraError::NoAnswer:
      return make(504, "no_answer", "the camera did not answer");
    case CameraError::LineDown:
      return make(503, "line_down", "the line is not open");
    case CameraError::NotFound:
      return make(404, "no_camera", "no such camera");
    case CameraError::Failed:
      break;
  }
  return make(500, "failed", "the command failed");
}

}  // namespace qznet
