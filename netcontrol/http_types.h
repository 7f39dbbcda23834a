// A request and a response as the service's own code sees them, without the
// HTTP server library: the adapter fills and writes these, everything else
// (routing, access, JSON, limits) works on them alone.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QUrlQuery>

#include <functional>
#include <optional>

namespace qznet {

enum class HttpMethod { Get, Post, Patch, Put, Delete, Head, Options, Other };

struct HttpRequest {
  HttpMethod method = HttpMethod::Get;
  QString path;  // decoded, without the query
  QUrlQuery query;
  QMap<QByteArray, QByteArray> headers;  // names in lower case
  QByteArray body;
  QString peer;  // the remote address, for logs and limits

  QByteArray Header(const QByteArray& lowerName) const { return headers.value(lowerName); }
};

struct HttpResponse {
  int status = 200;
  QByteArray contentType = "application/json";
  QByteArray body;
  QList<QPair<QByteArray, QByteArray>> headers;  // beyond type and length
  bool closeConnection = false;
};

using Respond = std::function<void(HttpResponse)>;

const char* MethodName(HttpMethod method);
const char* StatusText(int status);
// The bytes on the wire: status line, headers, body.
QByteArray SerializeResponse(const HttpResponse& response);

// The request line and headers at the start of bytes, up to the empty line.
// nullopt when they are not all there yet (complete false) or malformed
// (complete true). Used to see a WebSocket upgrade before anything else does.
std::optional<HttpRequest> ParseRequestHead(const QByteArray& bytes, bool* complete);
// A GET that asks for a WebSocket.
bool IsWebSocketUpgrade(const HttpRequest& request);

}  // namespace qznet
