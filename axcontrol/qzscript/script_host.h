// The script host: runs a JavaScript file with a WScript object whose
// CreateObject creates automation objects by ProgID, whose Sleep keeps
// dispatching the thread's messages (so events arrive while a script
// sleeps), and whose Quit sets the exit status.
#pragma once

#include <QJSEngine>
#include <QObject>
#include <QString>
#include <QStringList>

#include "platform/automation/automation.h"

namespace qzscript {

class ScriptHost : public QObject {
  Q_OBJECT
 public:
  ScriptHost(QString scriptPath, QStringList arguments);
  ~ScriptHost() override;

  // Runs the script; returns the process's exit status.
  int Run(const QString& source);

  // Called by an event sink when a handler threw: the script ends with
  // status 1 after the error is printed.
  void HandlerFailed(const QJSValue& error);
  QJSEngine& Engine() { return engine_; }

  // The functions behind WScript (see the prelude in script_host.cpp).
  Q_INVOKABLE QJSValue createObject(const QString& progId, const QString& prefix);
  Q_INVOKABLE void echo(const QString& text);
  Q_INVOKABLE void sleep(double milliseconds);
  Q_INVOKABLE void quit(int exitCode);
  Q_INVOKABLE QStringList arguments() const { return arguments_; }

 private:
  void ReportError(const QJSValue& error);

  QJSEngine engine_;
  QString scriptPath_;
  QStringList arguments_;
  bool quitting_ = false;
  int exitCode_ = 0;
};

// One automation object as the script sees it (wrapped in a JavaScript
// proxy by the prelude). Calls go through GetIDsOfNames and Invoke.
class AutomationObject : public QObject {
  Q_OBJECT
 public:
  AutomationObject(QJSEngine* engine, qzauto::ComPtr<qzauto::IDispatch> dispatch);
  ~AutomationObject() override;

  void SetEventSink(qzauto::ComPtr<qzauto::IConnectionPoint> point, uint32_t cookie);

  // {found, dispid, property}: how the proxy treats a name.
  Q_INVOKABLE QJSValue member(const QString& name);
  // {ok, value} or {ok: false, number, description}. Arguments are numbers
  // (converted to 32-bit integers as dispatch converts them), booleans,
  // undefined, or objects {value: n} passed by reference (value updated).
  Q_INVOKABLE QJSValue invoke(int dispid, int flags, const QJSValue& args);

 private:
  QJSEngine* engine_;
  qzauto::ComPtr<qzauto::IDispatch> dispatch_;
  qzauto::ComPtr<qzauto::IConnectionPoint> eventPoint_;
  uint32_t eventCookie_ = 0;
  QHash<QString, QPair<qzauto::DISPID, bool>> names_;
};

// An error result object {ok: false, number, description}.
QJSValue ErrorResult(QJSEngine* engine, qzauto::HRESULT number, const QString& description);
// The text a host shows for a dispatch failure without exception info.
QString DescribeHresult(qzauto::HRESULT hr);

}  // namespace qzscript
