#include "axcontrol/qzscript/script_host.h"

#include <poll.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJSValueIterator>
#include <cstdio>

#include "axcontrol/qzscript/event_sink.h"
#include "platform/msgwindow.h"

namespace qzscript {

using namespace qzauto;

namespace {

// WScript and the proxies that turn property reads, writes and calls on an
// automation object into Invoke. Errors become exceptions with number and
// description.
const char kPrelude[] = R"JS(
(function (host) {
  function check(r) {
    if (r.ok) return r.value;
    var e = new Error(r.description);
    e.number = r.number;
    e.description = r.description;
    throw e;
  }
  function wrap(obj) {
    var DISPATCH_METHOD = 1, DISPATCH_PROPERTYGET = 2, DISPATCH_PROPERTYPUT = 4;
    return new Proxy({}, {
      get: function (target, name) {
        if (typeof name !== "string") return undefined;
        if (name === "toString" || name === "valueOf") return function () { return "[object]"; };
        var m = check(obj.member(name));
        if (m.property) return check(obj.invoke(m.dispid, DISPATCH_PROPERTYGET, []));
        return function () {
          return check(obj.invoke(m.dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                  Array.prototype.slice.call(arguments)));
        };
      },
      set: function (target, name, value) {
        var m = check(obj.member(String(name)));
        check(obj.invoke(m.dispid, DISPATCH_PROPERTYPUT, [value]));
        return true;
      }
    });
  }
  var args = host.arguments();
  var argumentsFn = function (i) { return args[i]; };
  Object.defineProperty(argumentsFn, "length", { value: args.length });
  argumentsFn.Item = argumentsFn;
  argumentsFn.Count = function () { return args.length; };
  return {
    CreateObject: function (progId, prefix) {
      return wrap(check(host.createObject(String(progId), prefix === undefined ? "" : String(prefix))));
    },
    Echo: function () {
      host.echo(Array.prototype.map.call(arguments, function (a) { return String(a); }).join(" "));
    },
    Sleep: function (ms) { host.sleep(Number(ms)); },
    Quit: function (code) { host.quit(code === undefined ? 0 : Number(code)); },
    Arguments: argumentsFn
  };
})
)JS";

}  // namespace

QString DescribeHresult(HRESULT hr) {
  switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
      return QStringLiteral("Object doesn't support this property or method");
    case DISP_E_TYPEMISMATCH:
      return QStringLiteral("Type mismatch");
    case DISP_E_OVERFLOW:
      return QStringLiteral("Overflow");
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTFOUND:
      return QStringLiteral("Wrong number of arguments or invalid property assignment");
    case CO_E_CLASSSTRING:
    case REGDB_E_CLASSNOTREG:
      return QStringLiteral("Could not create the object: class not registered");
    case CO_E_DLLNOTFOUND:
    case CO_E_ERRORINDLL:
      return QStringLiteral("Could not create the object: the module cannot be loaded");
    default:
      return QStringLiteral("Automation error");
  }
}

QJSValue ErrorResult(QJSEngine* engine, HRESULT number, const QString& description) {
  QJSValue r = engine->newObject();
  r.setProperty("ok", false);
  r.setProperty("number", number);
  r.setProperty("description", description);
  return r;
}

ScriptHost::ScriptHost(QString scriptPath, QStringList arguments)
    : scriptPath_(std::move(scriptPath)), arguments_(std::move(arguments)) {}

ScriptHost::~ScriptHost() {
  // Release the script's objects before the host goes.
  engine_.collectGarbage();
}

int ScriptHost::Run(const QString& source) {
  QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
  QJSValue self = engine_.newQObject(this);
  const QJSValue factory = engine_.evaluate(QString::fromUtf8(kPrelude), "prelude");
  const QJSValue wscript = factory.call({self});
  engine_.globalObject().setProperty("WScript", wscript);
  const QJSValue outcome = engine_.evaluate(source, scriptPath_);
  if (quitting_) {
    return exitCode_;
  }
  if (outcome.isError()) {
    ReportError(outcome);
    return 1;
  }
  return exitCode_;
}

void ScriptHost::ReportError(const QJSValue& error) {
  // The line in the script: the first stack frame outside the prelude.
  QString line = error.property("lineNumber").toString();
  for (const QString& frame : error.property("stack").toString().split('\n')) {
    if (!frame.contains("prelude:")) {
      line = frame.section(':', -1);
      break;
    }
  }
  const QString where = QFileInfo(scriptPath_).fileName() + ":" + line;
  const QJSValue number = error.property("number");
  QString text;
  if (number.isNumber()) {
    const auto code = static_cast<uint32_t>(number.toInt());
    text = QString("error %1 (0x%2): %3")
               .arg(ErrorCodeOf(static_cast<HRESULT>(code)))
               .arg(code, 8, 16, QChar('0'))
               .arg(error.property("description").toString());
  } else {
    text = error.toString();
  }
  std::fprintf(stderr, "qzscript: %s: %s\n", qPrintable(where), qPrintable(text));
}

void ScriptHost::HandlerFailed(const QJSValue& error) {
  if (quitting_) {
    return;
  }
  ReportError(error);
  quit(1);
}

QJSValue ScriptHost::createObject(const QString& progId, const QString& prefix) {
  ComPtr<IDispatch> dispatch;
  HRESULT hr = CreateObject(progId.toStdString(), IID_IDispatch, dispatch.OutVoid());
  if (Failed(hr)) {
    return ErrorResult(&engine_, hr, DescribeHresult(hr) + ": " + progId);
  }
  // The container's part: a client site in run mode, then a new instance.
  if (auto ole = dispatch.As<IOleObject>(IID_IOleObject)) {
    ole->SetClientSite(AmbientSite::Create(true).Get());
  }
  if (auto persist = dispatch.As<IPersistPropertyBag>(IID_IPersistPropertyBag)) {
    persist->InitNew();
  }
  auto* object = new AutomationObject(&engine_, dispatch);
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
  QJSValue r = engine_.newObject();
  r.setProperty("ok", true);
  r.setProperty("value", engine_.newQObject(object));
  return r;
}

void ScriptHost::echo(const QString& text) {
  std::fprintf(stdout, "%s\n", qPrintable(text));
  std::fflush(stdout);
}

void ScriptHost::sleep(double milliseconds) {
  // Keeps running the thread's messages, so that events arrive meanwhile.
  QElapsedTimer timer;
  timer.start();
  const qint64 total = milliseconds > 0 ? static_cast<qint64>(milliseconds) : 0;
  const int wakeFd = QzMessageWakeFd();
  do {
    QzDispatchMessages();
    const qint64 left = total - timer.elapsed();
    if (quitting_ || left <= 0) {
      break;
    }
    pollfd p{wakeFd, POLLIN, 0};
    ::poll(&p, wakeFd >= 0 ? 1 : 0, static_cast<int>(left));
  } while (true);
}

void ScriptHost::quit(int exitCode) {
  quitting_ = true;
  exitCode_ = exitCode;
  engine_.setInterrupted(true);
}

AutomationObject::AutomationObject(QJSEngine* engine, ComPtr<IDispatch> dispatch)
    : engine_(engine), dispatch_(std::move(dispatch)) {}

AutomationObject::~AutomationObject() {
  if (eventPoint_) {
    eventPoint_->Unadvise(eventCookie_);
  }
}

void AutomationObject::SetEventSink(ComPtr<IConnectionPoint> point, uint32_t cookie) {
  eventPoint_ = std::move(point);
  eventCookie_ = cookie;
}

QJSValue AutomationObject::member(const QString& name) {
  auto it = names_.find(name);
  if (it == names_.end()) {
    const std::string text = name.toStdString();
    const char* names[] = {text.c_str()};
    DISPID dispid = DISPID_UNKNOWN;
    const HRESULT hr = dispatch_->GetIDsOfNames(names, 1, &dispid);
    if (Failed(hr)) {
      return ErrorResult(engine_, hr, DescribeHresult(hr) + ": " + name);
    }
    // A member that can be read without being a method is a property.
    const InterfaceDesc* type = dispatch_->GetTypeInfo();
    const bool property = type != nullptr && type->Find(dispid, DISPATCH_PROPERTYGET) != nullptr;
    it = names_.insert(name, {dispid, property});
  }
  QJSValue r = engine_->newObject();
  r.setProperty("ok", true);
  QJSValue m = engine_->newObject();
  m.setProperty("dispid", it->first);
  m.setProperty("property", it->second);
  r.setProperty("value", m);
  return r;
}

QJSValue AutomationObject::invoke(int dispid, int flags, const QJSValue& args) {
  const int count = args.property("length").toInt();
  if (count < 0 || count > kMaxDispatchArgs) {
    return ErrorResult(engine_, DISP_E_BADPARAMCOUNT, DescribeHresult(DISP_E_BADPARAMCOUNT));
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
    } else if (arg.isObject() && arg.hasProperty("value")) {
      hr = DoubleToI4(arg.property("value").toNumber(), &refValues[i]);
      v = MakeI4Ref(&refValues[i]);
    } else {
      // Numbers go as doubles: the object's dispatch converts them to its
      // parameter types (rounding, range) and reports what does not fit.
      v = MakeR8(arg.toNumber());
    }
    if (Failed(hr)) {
      return ErrorResult(engine_, hr, DescribeHresult(hr));
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
  const HRESULT hr = dispatch_->Invoke(dispid, static_cast<uint16_t>(flags), &params, &result,
                                       &excepInfo, nullptr);
  if (hr == DISP_E_EXCEPTION) {
    return ErrorResult(engine_, excepInfo.scode, QString::fromStdString(excepInfo.description));
  }
  if (Failed(hr)) {
    return ErrorResult(engine_, hr, DescribeHresult(hr));
  }
  for (int i = 0; i < count; ++i) {
    if (argv[count - 1 - i].vt == (VT_BYREF | VT_I4)) {
      QJSValue holder = args.property(static_cast<quint32>(i));
      holder.setProperty("value", refValues[i]);
    }
  }
  QJSValue r = engine_->newObject();
  r.setProperty("ok", true);
  int32_t value = 0;
  if (result.vt == VT_BOOL) {
    r.setProperty("value", result.boolVal != 0);
  } else if (result.vt != VT_EMPTY && Succeeded(VariantToI4(result, &value))) {
    r.setProperty("value", value);
  }
  return r;
}

}  // namespace qzscript
