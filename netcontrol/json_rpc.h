// JSON-RPC 2.0 over the WebSocket, and the checks of request bodies against
// the small JSON Schemas of the route table.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>
#include <variant>

namespace qznet {

inline constexpr int kRpcParseError = -32700;
inline constexpr int kRpcInvalidRequest = -32600;
inline constexpr int kRpcMethodNotFound = -32601;
inline constexpr int kRpcInvalidParams = -32602;

struct RpcRequest {
  QJsonValue id;              // Null for a notification
  bool notification = false;  // no "id": no answer is sent
  QString method;
  QJsonObject params;
};

struct RpcFailure {
  QJsonValue id;
  int code = kRpcInvalidRequest;
  QString message;
};

// One text message. A trailing CR LF (or other white space), as some
// senders append to every message, is ignored. Batches are not taken.
std::variant<RpcRequest, RpcFailure> ParseRpc(const QByteArray& message);

QByteArray RpcResult(const QJsonValue& id, const QJsonValue& result);
QByteArray RpcError(const QJsonValue& id, int code, const QString& message,
                    const QJsonValue& data = QJsonValue());
QByteArray RpcNotification(const QString& method, const QJsonObject& params);

// A request body: empty means {}; anything else must be one JSON object.
std::variant<QJsonObject, QString> ParseBody(const QByteArray& body);
// Checks an object against the subset of JSON Schema the route table uses:
// type object with properties (number, integer, boolean, string with
// minimum, maximum, maxLength), required, and no other members. Returns what
// is wrong, or nullopt.
std::optional<QString> ValidateBody(const QJsonObject& schema, const QJsonObject& body);

}  // namespace qznet
