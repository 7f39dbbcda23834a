#include "netcontrol/json_rpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace qznet {

std::variant<RpcRequest, RpcFailure> ParseRpc(const QByteArray& message) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(message.trimmed(), &error);
  if (error.error != QJsonParseError::NoError) {
    return RpcFailure{QJsonValue(), kRpcParseError,
                      QStringLiteral("not JSON: ") + error.errorString()};
  }
  if (!document.isObject()) {
    return RpcFailure{QJsonValue(), kRpcInvalidRequest, "a request is one JSON object"};
  }
  const QJsonObject object = document.object();
  RpcRequest request;
  request.notification = !object.contains("id");
  request.id = object.value("id");
  if (!request.id.isNull() && !request.id.isString() && !request.id.isDouble() &&
      !request.notification) {
    return RpcFailure{QJsonValue(), kRpcInvalidRequest, "id must be a string or a number"};
  }
  if (object.value("jsonrpc") != QJsonValue("2.0")) {
    return RpcFailure{request.id, kRpcInvalidRequest, "jsonrpc must be \"2.0\""};
  }
  if (!object.value("method").isString()) {
    return RpcFailure{request.id, kRpcInvalidRequest, "method must be a string"};
  }
  request.method = object.value("method").toString();
  const QJsonValue params = object.value("params");
  if (!params.isUndefined() && !params.isObject()) {
    return RpcFailure{request.id, kRpcInvalidParams, "params must be an object"};
  }
  request.params = params.toObject();
  return request;
}

QByteArray RpcResult(const QJsonValue& id, const QJsonValue& result) {
  return QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}})
      .toJson(QJsonDocument::Compact);
}

QByteArray RpcError(const QJsonValue& id, int code, const QString& message,
                    const QJsonValue& data) {
  QJsonObject error{{"code", code}, {"message", message}};
  if (!data.isUndefined() && !data.isNull()) {
    error["data"] = data;
  }
  return QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"id", id}, {"error", error}})
      .toJson(QJsonDocument::Compact);
}

QByteArray RpcNotification(const QString& method, const QJsonObject& params) {
  return QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}})
      .toJson(QJsonDocument::Compact);
}

std::variant<QJsonObject, QString> ParseBody(const QByteArray& body) {
  const QByteArray text = body.trimmed();
  if (text.isEmpty()) {
    return QJsonObject();
  }
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(text, &error);
  if (error.error != QJsonParseError::NoError) {
    return QStringLiteral("the body is not JSON: %1 at offset %2")
        .arg(error.errorString())
        .arg(error.offset);
  }
  if (!document.isObject()) {
    return QStringLiteral("the body must be a JSON object");
  }
  return document.object();
}

std::optional<QString> ValidateBody(const QJsonObject& schema, const QJsonObject& body) {
  const QJsonObject properties = schema.value("properties").toObject();
  for (const QJsonValue& name : schema.value("required").toArray()) {
    if (!body.contains(name.toString())) {
      return QStringLiteral("\"%1\" is required").arg(name.toString());
    }
  }
  for (auto it = body.begin(); it != body.end(); ++it) {
    if (!properties.contains(it.key())) {
      QStringList known = properties.keys();
      return QStringLiteral("unknown member \"%1\" (known: %2)")
          .arg(it.key().left(40), known.isEmpty() ? QStringLiteral("none") : known.join(", "));
    }
    const QJsonObject rule = properties.value(it.key()).toObject();
    const QString type = rule.value("type").toString();
    const QJsonValue value = it.value();
    if (type == "number" || type == "integer") {
      if (!value.isDouble()) {
        return QStringLiteral("\"%1\" must be a number").arg(it.key());
      }
      const double number = value.toDouble();
      if (!std::isfinite(number) || (type == "integer" && number != std::floor(number))) {
        return QStringLiteral("\"%1\" must be %2")
            .arg(it.key(), type == "integer" ? "an integer" : "finite");
      }
      if ((rule.contains("minimum") && number < rule.value("minimum").toDouble()) ||
          (rule.contains("maximum") && number > rule.value("maximum").toDouble())) {
        return QStringLiteral("\"%1\" must be from %2 to %3")
            .arg(it.key())
            .arg(rule.value("minimum").toDouble())
            .arg(rule.value("maximum").toDouble());
      }
    } else if (type == "boolean") {
      if (!value.isBool()) {
        return QStringLiteral("\"%1\" must be true or false").arg(it.key());
      }
    } else if (type == "string") {
      if (!value.isString()) {
        return QStringLiteral("\"%1\" must be a string").arg(it.key());
      }
      if (rule.contains("maxLength") && value.toString().size() > rule.value("maxLength").toInt()) {
        return QStringLiteral("\"%1\" is longer than %2 characters")
            .arg(it.key())
            .arg(rule.value("maxLength").toInt());
      }
    }
  }
  return std::nullopt;
}

}  // namespace qznet
