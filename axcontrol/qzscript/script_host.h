// The script host: runs a JavaScript file with a WScript object whose
// CreateObject creates automation objects by ProgID, whose Sleep keeps
// dispatching the thread's messages (so events arrive while a script
// sleeps), and whose Quit sets the exit status.
//
// A value thrown and not caught, at top level or in an event handler, is
// reported as "PATH:LINE: message" on standard error and ends the script with
// status 1; the host tells a throw from a completion value by the engine's
// stack trace, never by the value. However the script ends, the host then
// closes the sessions its objects hold and releases them (see Run).
#pragma once

#include <QJSEngine>
#include <QJSValue>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <set>

#include "axcontrol/qzscript/script_errors.h"
#include "platform/automation/automation.h"

namespace qzscript {

class AutomationObject;

class ScriptHost : public QObject {
  Q_OBJECT
 public:
  // scriptPath as the user gave it: error locations name it so.
  ScriptHost(QString scriptPath, QStringList arguments);
  ~ScriptHost() override;

  // Runs the script, then ends every object it created: calls CommClose and
  // Terminate on each object that has them (a host's part before it lets a
  // control go, so the port is free), and releases it. Returns the process's
  // exit status: 0 at the script's end, WScript.Quit's code (0 to 255, else
  // 255), 1 for an uncaught error, 124 or 128 + signal after RequestStop.
  int Run(const QString& source);

  // Ends the script from any thread: kStopTimedOut (stop_watcher.h) or a
  // signal number. The running JavaScript is interrupted, a Sleep returns,
  // no handler runs any more; Run then ends the objects. The first reason
  // counts. The thread that calls it must be done before the host is
  // destroyed (main destroys its watcher first).
  void RequestStop(int reason);
  int StopReason() const { return stopReason_.load(); }

  // Called by an event sink: calls the script's function of that name (a
  // function declaration or a const, let or var holding a function) with the
  // arguments.
  void DispatchEvent(const QString& handlerName, const QJSValueList& args);

  // The objects created and not yet destroyed.
  void Adopt(AutomationObject* object) { live_.insert(object); }
  void Forget(AutomationObject* object) { live_.erase(object); }
  size_t LiveObjects() const { return live_.size(); }

  QJSEngine& Engine() { return engine_; }

  // The functions behind WScript (see the prelude in script_host.cpp); they
  // return {ok, value} or {ok: false, number, description, message}.
  Q_INVOKABLE QJSValue createObject(const QString& progId, const QString& prefix);
  Q_INVOKABLE void echo(const QString& text);
  Q_INVOKABLE QJSValue sleep(int argumentCount, const QJSValue& milliseconds);
  Q_INVOKABLE QJSValue quit(const QJSValue& exitCode);
  Q_INVOKABLE QStringList arguments() const { return arguments_; }

 private:
  bool Stopping() const { return stopReason_.load() != 0 || quitting_; }
  void Quit(int exitCode);
  // Prints "PATH:LINE: message" for a value thrown with this stack trace.
  void ReportUncaught(const QJSValue& thrown, const QStringList& trace);
  // The line in the script of the innermost frame that is in the script.
  int LineInScript(const QStringList& trace) const;
  // Deletes the wrappers the engine's garbage collector let go (it frees them
  // with deleteLater, which only an event loop would run otherwise), so that
  // the objects behind them are released while the script runs.
  void ReleaseCollected();
  void EndObjects();

  QJSEngine engine_;
  QString scriptPath_;
  QString scriptUrl_;  // how the engine names the script in stack traces
  QStringList arguments_;
  QJSValue queueEvent_;
  bool quitting_ = false;
  int exitCode_ = 0;
  int eventDepth_ = 0;
  bool acceptEvents_ = true;
  std::atomic<int> stopReason_{0};
  int stopFd_ = -1;  // readable once a stop is requested
  std::set<AutomationObject*> live_;
};

// One automation object as the script sees it (wrapped in a JavaScript proxy
// by the prelude). Calls go through GetIDsOfNames and Invoke.
class AutomationObject : public QObject {
  Q_OBJECT
 public:
  AutomationObject(ScriptHost* host, qzauto::ComPtr<qzauto::IDispatch> dispatch);
  ~AutomationObject() override;

  void SetEventSink(qzauto::ComPtr<qzauto::IConnectionPoint> point, uint32_t cookie);
  // Calls the method of that name if the object has one taking no arguments.
  void CallIfPresent(const char* method);
  // Disconnects the events and releases the object.
  void Release();
  // The host is going: the wrapper lives on only until the engine deletes it.
  void Orphan() { host_ = nullptr; }

  // {ok, value: {dispid, property}}: how the proxy treats a name.
  Q_INVOKABLE QJSValue member(const QString& name);
  // {ok, value}. Arguments are numbers (converted to 32-bit integers as
  // dispatch converts them), numeric strings, booleans, undefined or null,
  // or objects {value: n} passed by reference (value updated).
  Q_INVOKABLE QJSValue invoke(const QString& name, int dispid, int flags, const QJSValue& args);

 private:
  ScriptHost* host_;
  qzauto::ComPtr<qzauto::IDispatch> dispatch_;
  qzauto::ComPtr<qzauto::IConnectionPoint> eventPoint_;
  uint32_t eventCookie_ = 0;
  QHash<QString, QPair<qzauto::DISPID, bool>> names_;
};

// A script value as a 32-bit integer, converted as dispatch converts
// numbers: S_OK, DISP_E_TYPEMISMATCH (not a number, a blank or non-numeric
// string, an object) or DISP_E_OVERFLOW.
qzauto::HRESULT ScriptValueToI4(const QJSValue& value, int32_t* result);

}  // namespace qzscript
