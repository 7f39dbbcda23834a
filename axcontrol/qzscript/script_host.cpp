#include "axcontrol/qzscript/script_host.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QRegularExpression>
#include <QUrl>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <vector>

#include "axcontrol/qzscript/event_sink.h"
#include "axcontrol/qzscript/stop_watcher.h"
#include "platform/msgwindow.h"

namespace qzscript {

using namespace qzauto;

namespace {

// The names the engine gives the host's own code in stack traces; frames there
// are never the script's.
const QString kPreludeSource = QStringLiteral("qzscript-prelude");
const QString kEventSource = QStringLiteral("qzscript-event");

// The global function that runs the handler queued last (see the prelude).
const QString kDispatchName = QStringLiteral("__qzscript_dispatch__");
// The function appended to the script: its code sits in the script's own
// scope, so it finds handlers declared with const and let as well, which are
// not properties of the global object.
const QString kLookupName = QStringLiteral("__qzscript_lookup__");
const QString kLookupAppendix = QStringLiteral(
    "function __qzscript_lookup__() {"
    " try { return eval(arguments[0]); } catch (e) { return undefined; } }\n");

// WScript and the proxies that turn property reads, writes and calls on an
// automation object into Invoke. Failures become Errors with number,
// description and message.
const char kPrelude[] = R"JS(
(function (host) {
  "use strict";
  function raise(r) {
    var e = new Error(r.message);
    e.number = r.number;
    e.description = r.description;
    throw e;
  }
  function check(r) {
    if (!r.ok) raise(r);
    return r.value;
  }
  // A member the object lacks. Its error cannot be thrown when the member is
  // read: the engine replaces an exception thrown while it looks up the
  // function of a call with "... is not a function", losing the number. The
  // member reads as a function that throws the error when it is called or
  // used as a value.
  function missing(r) {
    var f = function () { raise(r); };
    f.toString = f.valueOf = f;
    f[Symbol.toPrimitive] = f;
    return f;
  }
  function wrap(obj) {
    var DISPATCH_METHOD = 1, DISPATCH_PROPERTYGET = 2, DISPATCH_PROPERTYPUT = 4;
    return new Proxy({}, {
      get: function (target, name) {
        if (typeof name !== "string") return undefined;
        if (name === "toString" || name === "valueOf") return function () { return "[object]"; };
        var m = obj.member(name);
        if (!m.ok) return missing(m);
        var dispid = m.value.dispid;
        if (m.value.property) return check(obj.invoke(name, dispid, DISPATCH_PROPERTYGET, []));
        return function () {
          return check(obj.invoke(name, dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                  Array.prototype.slice.call(arguments)));
        };
      },
      set: function (target, name, value) {
        name = String(name);
        var m = check(obj.member(name));
        check(obj.invoke(name, m.dispid, DISPATCH_PROPERTYPUT, [value]));
        return true;
      }
    });
  }
  var args = host.arguments();
  var argumentsFn = function (i) { return args[i]; };
  Object.defineProperty(argumentsFn, "length", { value: args.length });
  argumentsFn.Item = argumentsFn;
  argumentsFn.Count = function () { return args.length; };
  var pending = [];
  return {
    WScript: {
      CreateObject: function (progId, prefix) {
        return wrap(check(host.createObject(String(progId),
                                            prefix === undefined ? "" : String(prefix))));
      },
      Echo: function () {
        host.echo(Array.prototype.map.call(arguments, function (a) { return String(a); }).join(" "));
      },
      Sleep: function (ms) { check(host.sleep(arguments.length, ms)); },
      Quit: function (code) { check(host.quit(code)); },
      Arguments: argumentsFn
    },
    queueEvent: function (handler, handlerArgs) { pending.push([handler, handlerArgs]); },
    dispatchEvent: function () {
      var e = pending.pop();
      e[0].apply(undefined, e[1]);
    }
  };
})
)JS";

QJSValue Success(QJSEngine& engine, const QJSValue& value = QJSValue()) {
  QJSValue r = engine.newObject();
  r.setProperty("ok", true);
  if (!value.isUndefined()) {
    r.setProperty("value", value);
  }
  return r;
}

QJSValue Failure(QJSEngine& engine, const ScriptError& error) {
  QJSValue r = engine.newObject();
  r.setProperty("ok", false);
  r.setProperty("number", error.number);
  r.setProperty("description", QString::fromStdString(error.description));
  r.setProperty("message", QString::fromStdString(error.message));
  return r;
}

// A value as an error message shows it: strings quoted, long ones cut.
std::string ValueText(const QJSValue& value) {
  QString text = value.toString();
  if (text.size() > 40) {
    text = text.left(37) + "...";
  }
  return (value.isString() ? "'" + text + "'" : text).toStdString();
}

bool IsIdentifier(const QString& name) {
  static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_$][A-Za-z0-9_$]*$"));
  return identifier.match(name).hasMatch();
}

// A script at a path that Qt would take for one of its resources (":name")
// is read and named as the file it is.
QString FileNameForEngine(const QString& path) {
  return path.startsWith(':') ? QStringLiteral("./") + path : path;
}

}  // namespace

HRESULT ScriptValueToI4(const QJSValue& value, int32_t* result) {
  if (value.isBool()) {
    *result = value.toBool() ? -1 : 0;
    return S_OK;
  }
  if (value.isNumber()) {
    return DoubleToI4(value.toNumber(), result);
  }
  if (value.isString() && !value.toString().trimmed().isEmpty()) {
    return DoubleToI4(value.toNumber(), result);  // not numeric: NaN, a type mismatch
  }
  return DISP_E_TYPEMISMATCH;
}

ScriptHost::ScriptHost(QString scriptPath, QStringList arguments)
    : scriptPath_(std::move(scriptPath)),
      scriptUrl_(QUrl::fromLocalFile(FileNameForEngine(scriptPath_)).toString()),
      arguments_(std::move(arguments)),
      stopFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ScriptHost::~ScriptHost() {
  // The engine deletes the wrappers it still holds after this body.
  for (AutomationObject* object : live_) {
    object->Release();
    object->Orphan();
  }
  live_.clear();
  engine_.collectGarbage();
  if (stopFd_ >= 0) {
    close(stopFd_);
  }
}

int ScriptHost::Run(const QString& source) {
  QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
  const QJSValue factory = engine_.evaluate(QString::fromUtf8(kPrelude), kPreludeSource);
  const QJSValue parts = factory.call({engine_.newQObject(this)});
  engine_.globalObject().setProperty("WScript", parts.property("WScript"));
  engine_.globalObject().setProperty(kDispatchName, parts.property("dispatchEvent"));
  queueEvent_ = parts.property("queueEvent");

  QString program = source;
  if (!program.endsWith('\n')) {
    program += '\n';
  }
  program += kLookupAppendix;
  // A non-empty trace means the script threw; its completion value is not
  // looked at.
  QStringList trace;
  const QJSValue outcome = engine_.evaluate(program, FileNameForEngine(scriptPath_), 1, &trace);
  int status = 0;
  if (quitting_) {
    status = exitCode_;
  } else if (!trace.isEmpty() && stopReason_.load() == 0) {
    ReportUncaught(outcome, trace);
    status = 1;
  }
  EndObjects();
  // A stop decides the status, also one that came while the objects ended.
  if (const int reason = stopReason_.load(); reason != 0) {
    status = reason == kStopTimedOut ? 124 : 128 + reason;
  }
  return status;
}

void ScriptHost::RequestStop(int reason) {
  int none = 0;
  if (!stopReason_.compare_exchange_strong(none, reason)) {
    return;
  }
  engine_.setInterrupted(true);  // safe from any thread
  const uint64_t one = 1;
  while (write(stopFd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void ScriptHost::DispatchEvent(const QString& handlerName, const QJSValueList& args) {
  if (!acceptEvents_ || Stopping() || !IsIdentifier(handlerName)) {
    return;
  }
  const QJSValue lookup = engine_.globalObject().property(kLookupName);
  if (!lookup.isCallable()) {
    return;
  }
  const QJSValue handler = lookup.call({QJSValue(handlerName)});
  if (!handler.isCallable()) {
    return;  // the script does not handle this event
  }
  QJSValue array = engine_.newArray(static_cast<uint>(args.size()));
  for (qsizetype i = 0; i < args.size(); ++i) {
    array.setProperty(static_cast<quint32>(i), args[i]);
  }
  queueEvent_.call({handler, array});
  // Run through evaluate, which (unlike a call) tells a throw from a return
  // by the stack trace it fills.
  QStringList trace;
  ++eventDepth_;
  const QJSValue outcome = engine_.evaluate(kDispatchName + "()", kEventSource, 1, &trace);
  --eventDepth_;
  if (!trace.isEmpty() && !Stopping()) {
    ReportUncaught(outcome, trace);
    Quit(1);
  }
}

void ScriptHost::Quit(int exitCode) {
  if (quitting_) {
    return;
  }
  quitting_ = true;
  exitCode_ = exitCode;
  engine_.setInterrupted(true);
}

int ScriptHost::LineInScript(const QStringList& trace) const {
  // Frames read "function:line:column:source", innermost first.
  const QString suffix = ':' + scriptUrl_;
  for (const QString& frame : trace) {
    if (!frame.endsWith(suffix)) {
      continue;
    }
    bool ok = false;
    const int line = frame.left(frame.size() - suffix.size()).section(':', -2, -2).toInt(&ok);
    if (ok && line > 0) {
      return line;
    }
  }
  return 0;
}

void ScriptHost::ReportUncaught(const QJSValue& thrown, const QStringList& trace) {
  QString where = scriptPath_;
  if (const int line = LineInScript(trace); line > 0) {
    where += ':' + QString::number(line);
  }
  QString text;
  const QJSValue number = thrown.isObject() ? thrown.property("number") : QJSValue();
  if (number.isNumber()) {
    const auto code = static_cast<uint32_t>(number.toInt());
    QString message = thrown.property("message").toString();
    if (message.isEmpty()) {
      message = thrown.property("description").toString();
    }
    text =
        QString("error %1 (0x%2): %3").arg(code & 0xFFFF).arg(code, 8, 16, QChar('0')).arg(message);
  } else if (thrown.isError()) {
    text = thrown.toString();
  } else {
    QString value = thrown.toString();
    if (thrown.isObject() && !thrown.isCallable()) {
      const QJSValue json =
          engine_.globalObject().property("JSON").property("stringify").call({thrown});
      if (json.isString()) {
        value = json.toString();
      }
    }
    text = "uncaught exception: " + value;
  }
  std::fprintf(stderr, "%s: %s\n", qPrintable(where), qPrintable(text));
  std::fflush(stderr);
}

void ScriptHost::ReleaseCollected() {
  // Not while an event is raised: the object raising it may be among them.
  if (eventDepth_ == 0) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

void ScriptHost::EndObjects() {
  acceptEvents_ = false;
  ReleaseCollected();
  const std::vector<AutomationObject*> objects(live_.begin(), live_.end());
  // A host closes the session and terminates a control before it lets it go.
  for (AutomationObject* object : objects) {
    object->CallIfPresent("CommClose");
  }
  for (AutomationObject* object : objects) {
    object->CallIfPresent("Terminate");
  }
  for (AutomationObject* object : objects) {
    object->Release();
  }
}

QJSValue ScriptHost::createObject(const QString& progId, const QString& prefix) {
  ReleaseCollected();
  ComPtr<IDispatch> dispatch;
  const HRESULT hr = CreateObject(progId.toStdString(), IID_IDispatch, dispatch.OutVoid());
  if (Failed(hr)) {
    return Failure(engine_, CreateError(hr, progId.toStdString()));
  }
  // The container's part: a client site in run mode, then a new instance.
  if (auto ole = dispatch.As<IOleObject>(IID_IOleObject)) {
    ole->SetClientSite(AmbientSite::Create(true).Get());
  }
  if (auto persist = dispatch.As<IPersistPropertyBag>(IID_IPersistPropertyBag)) {
    persist->InitNew();
  }
  auto* object = new AutomationObject(this, dispatch);
  if (!prefix.isEmpty()) {
    auto classInfo = dispatch.As<IProvideClassInfo>(IID_IProvideClassInfo);
    auto container = dispatch.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    const CoclassDesc* coclass = classInfo ? classInfo->GetClassInfo() : nullptr;
    if (coclass != nullptr && coclass->defaultSource != nullptr && container) {
      ComPtr<IConnectionPoint> point;
      if (Succeeded(container->FindConnectionPoint(coclass->defaultSource->iid, point.Out()))) {
        auto sink = EventSink::Create(this, prefix, coclass->defaultSource);
        uint32_t cookie = 0;
        if (Succeeded(point->Advise(sink.Get(), &cookie))) {
          object->SetEventSink(point, cookie);
        }
      }
    }
  }
  return Success(engine_, engine_.newQObject(object));
}

void ScriptHost::echo(const QString& text) {
  const QByteArray line = text.toLocal8Bit() + '\n';
  errno = 0;
  if (std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout) !=
          static_cast<size_t>(line.size()) ||
      std::fflush(stdout) != 0) {
    // The reader is gone (SIGPIPE is blocked, so the write reports it): end
    // as that signal would, after closing the sessions.
    if (errno == EPIPE) {
      RequestStop(SIGPIPE);
    }
  }
}

QJSValue ScriptHost::sleep(int argumentCount, const QJSValue& milliseconds) {
  if (argumentCount != 1) {
    return Failure(engine_, HostError(kWrongArgumentCount, "'Sleep' takes 1 argument, got " +
                                                               std::to_string(argumentCount)));
  }
  int32_t total = 0;
  const HRESULT hr = ScriptValueToI4(milliseconds, &total);
  const std::string given = ValueText(milliseconds);
  if (hr == DISP_E_OVERFLOW) {
    return Failure(engine_,
                   HostError(kOverflow, "'Sleep' waits at most 2147483647 ms, got " + given));
  }
  if (Failed(hr)) {
    return Failure(
        engine_, HostError(kTypeMismatch, "'Sleep' takes a number of milliseconds, got " + given));
  }
  if (total < 0) {
    return Failure(engine_,
                   HostError(kInvalidCall, "'Sleep' takes 0 or more milliseconds, got " + given));
  }
  // Keeps running the thread's messages, so that events arrive meanwhile.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(total);
  const int wakeFd = QzMessageWakeFd();
  for (;;) {
    QzDispatchMessages();
    ReleaseCollected();
    if (Stopping()) {
      break;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      break;
    }
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    ::poll(fds, 2, static_cast<int>(std::min<int64_t>(left.count(), INT_MAX)));
  }
  return Success(engine_);
}

QJSValue ScriptHost::quit(const QJSValue& exitCode) {
  int32_t code = 0;
  if (!exitCode.isUndefined()) {
    const HRESULT hr = ScriptValueToI4(exitCode, &code);
    if (Failed(hr)) {
      return Failure(engine_, HostError(hr == DISP_E_OVERFLOW ? kOverflow : kTypeMismatch,
                                        "'Quit' takes an exit status, got " + ValueText(exitCode)));
    }
  }
  // The system keeps only the low 8 bits: 256 would read as success.
  Quit(code >= 0 && code <= 255 ? code : 255);
  return Success(engine_);
}

AutomationObject::AutomationObject(ScriptHost* host, ComPtr<IDispatch> dispatch)
    : host_(host), dispatch_(std::move(dispatch)) {
  host_->Adopt(this);
}

AutomationObject::~AutomationObject() {
  Release();
  if (host_ != nullptr) {
    host_->Forget(this);
  }
}

void AutomationObject::SetEventSink(ComPtr<IConnectionPoint> point, uint32_t cookie) {
  eventPoint_ = std::move(point);
  eventCookie_ = cookie;
}

void AutomationObject::Release() {
  if (eventPoint_) {
    eventPoint_->Unadvise(eventCookie_);
    eventPoint_.Reset();
  }
  dispatch_.Reset();
}

void AutomationObject::CallIfPresent(const char* method) {
  const InterfaceDesc* type = dispatch_ ? dispatch_->GetTypeInfo() : nullptr;
  if (type == nullptr) {
    return;
  }
  const DISPID dispid = type->IdOfName(method);
  const FuncDesc* func = type->Find(dispid, DISPATCH_METHOD);
  if (dispid == DISPID_UNKNOWN || func == nullptr || !func->params.empty()) {
    return;
  }
  DISPPARAMS none;
  VARIANT result;
  EXCEPINFO excepInfo;
  dispatch_->Invoke(dispid, DISPATCH_METHOD, &none, &result, &excepInfo, nullptr);
}

QJSValue AutomationObject::member(const QString& name) {
  QJSEngine& engine = host_->Engine();
  CallSite site;
  site.member = name.toStdString();
  auto it = names_.find(name);
  if (it == names_.end()) {
    if (!dispatch_) {
      return Failure(engine, CallError(DISP_E_MEMBERNOTFOUND, site));
    }
    const char* names[] = {site.member.c_str()};
    DISPID dispid = DISPID_UNKNOWN;
    const HRESULT hr = dispatch_->GetIDsOfNames(names, 1, &dispid);
    if (Failed(hr)) {
      return Failure(engine, CallError(hr, site));
    }
    // A member that can be read without being a method is a property.
    const InterfaceDesc* type = dispatch_->GetTypeInfo();
    const bool property = type != nullptr && type->Find(dispid, DISPATCH_PROPERTYGET) != nullptr;
    it = names_.insert(name, {dispid, property});
  }
  QJSValue m = engine.newObject();
  m.setProperty("dispid", it->first);
  m.setProperty("property", it->second);
  return Success(engine, m);
}

QJSValue AutomationObject::invoke(const QString& name, int dispid, int flags,
                                  const QJSValue& args) {
  QJSEngine& engine = host_->Engine();
  const int count = args.property("length").toInt();
  CallSite site;
  site.member = name.toStdString();
  site.propertyPut = flags == DISPATCH_PROPERTYPUT;
  site.givenArguments = count;
  const InterfaceDesc* type = dispatch_ ? dispatch_->GetTypeInfo() : nullptr;
  if (const FuncDesc* func = type ? type->Find(dispid, static_cast<uint16_t>(flags)) : nullptr) {
    site.expectedArguments = static_cast<int>(func->params.size());
  }
  if (!dispatch_) {
    return Failure(engine, CallError(DISP_E_MEMBERNOTFOUND, site));
  }
  if (count < 0 || count > kMaxDispatchArgs) {
    return Failure(engine, CallError(DISP_E_BADPARAMCOUNT, site));
  }
  VARIANT argv[kMaxDispatchArgs];
  int32_t refValues[kMaxDispatchArgs] = {};
  for (int i = 0; i < count; ++i) {
    const QJSValue arg = args.property(static_cast<quint32>(i));
    VARIANT& v = argv[count - 1 - i];  // last argument first
    HRESULT hr = S_OK;
    if (arg.isUndefined() || arg.isNull()) {
      v = VARIANT();
    } else if (arg.isBool()) {
      v = MakeBool(arg.toBool());
    } else if (arg.isNumber()) {
      // Numbers go as doubles: the object's dispatch converts them to its
      // parameter types (rounding, range) and reports what does not fit.
      v = MakeR8(arg.toNumber());
    } else if (arg.isObject() && !arg.isCallable() && arg.hasProperty("value")) {
      hr = ScriptValueToI4(arg.property("value"), &refValues[i]);
      v = MakeI4Ref(&refValues[i]);
    } else if (arg.isString() && !arg.toString().trimmed().isEmpty()) {
      v = MakeR8(arg.toNumber());  // a numeric string; any other is NaN
    } else {
      hr = DISP_E_TYPEMISMATCH;
    }
    if (Failed(hr)) {
      site.argument = i + 1;
      const bool holder = arg.isObject() && arg.hasProperty("value");
      site.argumentText = ValueText(holder ? arg.property("value") : arg);
      return Failure(engine, CallError(hr, site));
    }
  }
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{argv, nullptr, static_cast<uint32_t>(count), 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  VARIANT result;
  EXCEPINFO excepInfo;
  uint32_t argErr = UINT32_MAX;
  // The call may run event handlers that drop the last reference to this
  // object's wrapper; the object stays until the call returns.
  const ComPtr<IDispatch> dispatch = dispatch_;
  const HRESULT hr =
      dispatch->Invoke(dispid, static_cast<uint16_t>(flags), &params, &result, &excepInfo, &argErr);
  if (hr == DISP_E_EXCEPTION) {
    return Failure(engine, RaisedError(excepInfo.scode, excepInfo.description, site));
  }
  if (Failed(hr)) {
    if (argErr < static_cast<uint32_t>(count)) {
      site.argument = count - static_cast<int>(argErr);
      site.argumentText = ValueText(args.property(static_cast<quint32>(site.argument - 1)));
    }
    return Failure(engine, CallError(hr, site));
  }
  for (int i = 0; i < count; ++i) {
    if (argv[count - 1 - i].vt == (VT_BYREF | VT_I4)) {
      QJSValue holder = args.property(static_cast<quint32>(i));
      holder.setProperty("value", refValues[i]);
    }
  }
  int32_t value = 0;
  if (result.vt == VT_BOOL) {
    return Success(engine, QJSValue(result.boolVal != 0));
  }
  if (result.vt != VT_EMPTY && Succeeded(VariantToI4(result, &value))) {
    return Success(engine, QJSValue(value));
  }
  return Success(engine);
}

}  // namespace qzscript
