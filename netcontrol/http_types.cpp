#include "netcontrol/http_types.h"

#include <QUrl>

namespace qznet {

const char* MethodName(HttpMethod method) {
  switch (method) {
    case HttpMethod::Get:
      return "GET";
    case HttpMethod::Post:
      return "POST";
    case HttpMethod::Patch:
      return "PATCH";
    case HttpMethod::Put:
      return "PUT";
    case HttpMethod::Delete:
      return "DELETE";
    case HttpMethod::Head:
      return "HEAD";
    case HttpMethod::Options:
      return "OPTIONS";
    case HttpMethod::Other:
      break;
  }
  return "OTHER";
}

const char* StatusText(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 202:
      return "Accepted";
    case 204:
      return "No Content";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 409:
      return "Conflict";
    case 413:
      return "Content Too Large";
    case 415:
      return "Unsupported Media Type";
    case 422:
      return "Unprocessable Content";
    case 429:
      return "Too Many Requests";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    default:
      break;
  }
  return "Status";
}

QByteArray SerializeResponse(const HttpResponse& response) {
  QByteArray out;
  out.reserve(256 + response.body.size());
  out += "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + StatusText(response.status) +
         "\r\n";
  if (!response.contentType.isEmpty()) {
    out += "Content-Type: " + response.contentType + "\r\n";
  }
  out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
  // Nothing here is for caches, and no page of another origin may frame ours.
  out += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
  for (const auto& [name, value] : response.headers) {
    out += name + ": " + value + "\r\n";
  }
  if (response.closeConnection) {
    out += "Connection: close\r\n";
  }
  out += "\r\n";
  out += response.body;
  return out;
}

std::optional<HttpRequest> ParseRequestHead(const QByteArray& bytes, bool* complete) {
  const qsizetype end = bytes.indexOf("\r\n\r\n");
  *complete = end >= 0;
  if (end < 0) {
    return std::nullopt;
  }
  const QList<QByteArray> lines = bytes.left(end).split('\n');
  const QList<QByteArray> start = lines.first().trimmed().split(' ');
  if (start.size() != 3 || !start[2].startsWith("HTTP/1.") || !start[1].startsWith('/')) {
    return std::nullopt;
  }
  HttpRequest request;
  static const std::pair<const char*, HttpMethod> kMethods[] = {
      {"GET", HttpMethod::Get},        {"POST", HttpMethod::Post},     {"PATCH", HttpMethod::Patch},
      {"PUT", HttpMethod::Put},        {"DELETE", HttpMethod::Delete}, {"HEAD", HttpMethod::Head},
      {"OPTIONS", HttpMethod::Options}};
  request.method = HttpMethod::Other;
  for (const auto& [name, method] : kMethods) {
    if (start[0] == name) {
      request.method = method;
    }
  }
  const QByteArray target = start[1];
  const qsizetype question = target.indexOf('?');
  request.path = QUrl::fromPercentEncoding(target.left(question < 0 ? target.size() : question));
  if (question >= 0) {
    request.query = QUrlQuery(QString::fromUtf8(target.mid(question + 1)));
  }
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || line.left(colon).contains(' ')) {
      return std::nullopt;
    }
    const QByteArray name = line.left(colon).toLower();
    if (request.headers.contains(name)) {
      return std::nullopt;  // a repeated header is not merged into one that passes a check
    }
    request.headers.insert(name, line.mid(colon + 1).trimmed());
  }
  return request;
}

bool IsWebSocketUpgrade(const HttpRequest& request) {
  if (request.method != HttpMethod::Get) {
    return false;
  }
  const QList<QByteArray> connection = request.Header("connection").toLower().split(',');
  bool upgrade = false;
  for (const QByteArray& token : connection) {
    upgrade = upgrade || token.trimmed() == "upgrade";
  }
  return upgrade && request.Header("upgrade").toLower() == "websocket";
}

}  // namespace qznet
