// The script host in-process: what a script sees when something fails, how an
// uncaught throw ends it, event handlers, objects released while it runs, and
// its end (sessions closed, by a stop too). The control runs against the
// recording stand-in for the camera link library.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJSEngine>
#include <QObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "axcontrol/qzscript/command_line.h"
#include "axcontrol/qzscript/script_host.h"
#include "axcontrol/qzscript/stop_watcher.h"
#include "axcontrol/tests/fake_qzlinke.h"
#include "platform/automation/automation.h"

namespace qzscript {

// What a test script may ask the host about while it runs.
class Probe : public QObject {
  Q_OBJECT
 public:
  explicit Probe(ScriptHost* host) : host_(host) {}
  // The script calls ready() when it is about to wait.
  std::function<void()> onReady;
  Q_INVOKABLE void ready() {
    if (onReady) {
      onReady();
    }
  }
  Q_INVOKABLE int liveObjects() const { return static_cast<int>(host_->LiveObjects()); }
  Q_INVOKABLE double residentKb() const {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmRSS:", 0) == 0) {
        return std::stod(line.substr(6));
      }
    }
    return -1;
  }

 private:
  ScriptHost* host_;
};

namespace {

using namespace qzauto;

// One QCoreApplication for the whole program, as qzscript has.
class QtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "qzscript_host_test";
    static char* argv[] = {name, nullptr};
    app_ = new QCoreApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

 private:
  QCoreApplication* app_ = nullptr;
};
::testing::Environment* const qtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

constexpr const char* kProgId = "QzlinkAXCtrlE.QzlinkCtrl";
// A path as a user may give it: messages must name it so, not its base name.
constexpr const char* kScriptPath = "jobs/nightly/zoom.js";

// "var NAME = WScript.CreateObject(kProgId[, 'PREFIX']);" and a new line.
std::string CreateControl(const std::string& name, const std::string& prefix = "") {
  return "var " + name + " = WScript.CreateObject('" + kProgId + "'" +
         (prefix.empty() ? "" : ", '" + prefix + "'") + ");\n";
}

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class ScriptHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_ = ::testing::TempDir() + "qzscript-host-" + std::to_string(getpid()) + ".reg";
    unlink(registry_.c_str());
    setenv("QZLINK_REGISTRY", registry_.c_str(), 1);
    void* module = dlopen(QZ_AXMODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto registerServer = reinterpret_cast<DllRegisterServerFn>(dlsym(module, "DllRegisterServer"));
    ASSERT_EQ(registerServer(), S_OK);
    FakeQzlinke()->Reset();
  }
  void TearDown() override {
    unlink(registry_.c_str());
    unlink((registry_ + ".lock").c_str());
  }

  // Runs a script; prepare may set the host and the probe up first (on the
  // test's thread), finish runs after the script, while the host still exists.
  static Outcome Run(const std::string& source,
                     const std::function<void(ScriptHost&, Probe&)>& prepare = {},
                     const std::function<void()>& finish = {}) {
    Outcome outcome;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    {
      ScriptHost host(kScriptPath, {});
      Probe probe(&host);
      QJSEngine::setObjectOwnership(&probe, QJSEngine::CppOwnership);
      host.Engine().globalObject().setProperty("probe", host.Engine().newQObject(&probe));
      if (prepare) {
        prepare(host, probe);
      }
      outcome.status = host.Run(QString::fromStdString(source));
      if (finish) {
        finish();
      }
    }
    outcome.out = ::testing::internal::GetCapturedStdout();
    outcome.err = ::testing::internal::GetCapturedStderr();
    return outcome;
  }

  std::string registry_;
};

// A script that opens the stand-in library's session; every camera call then
// posts an answer message, raised as AckRxEvent once the script sleeps.
std::string EventScript(const std::string& handler, const std::string& after = "") {
  return CreateControl("cam", "cam_") + handler + "\n" +
         "cam.CommOpen(1, 9600, 8, 0, 0);\ncam.SetZooming(1, 2);\nWScript.Sleep(20);\n" + after +
         "WScript.Echo('after');\n";
}

void PostAnswers() {
  FakeQzlinkeState* fake = FakeQzlinke();
  fake->postMessage = 0x800A;
  fake->postWParam = 1;
  fake->postLParam = 4;
  fake->frames[4] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};
}

// Handlers are found however they are declared, and called with the event's
// arguments. A throw ends the script with status 1 and "PATH:LINE: message",
// from the script or from a handler (at once); a value that is only the
// script's completion value, or a handler's return value, is no error.
TEST_F(ScriptHostTest, HandlersRunAndOnlyUncaughtThrowsFail) {
  struct Case {
    const char* what;
    const char* source;  // with inHandler, the AckRxEvent handler of EventScript
    bool inHandler;
    int status;
    const char* out;
    std::string err;  // exact
  };
  const std::string at = std::string(kScriptPath) + ":";
  const Case cases[] = {
      {"a thrown string", "WScript.Echo('a');\nthrow 'x';", false, 1, "a\n",
       at + "2: uncaught exception: x\n"},
      {"a thrown number", "throw 42", false, 1, "", at + "1: uncaught exception: 42\n"},
      {"a thrown object", "throw {code: 7}", false, 1, "",
       at + "1: uncaught exception: {\"code\":7}\n"},
      {"a throw from a nested function",
       "function inner() {\n  throw 'deep';\n}\nfunction outer() { inner(); }\nouter();", false, 1,
       "", at + "2: uncaught exception: deep\n"},
      {"an Error", "\n\nnull.x;", false, 1, "",
       at + "3: TypeError: Cannot read property 'x' of null\n"},
      {"an Error with a number", "var e = new Error('mine');\ne.number = 5;\nthrow e;", false, 1,
       "", at + "1: error 5 (0x00000005): mine\n"},
      {"a syntax error", "var x = ;", false, 1, "", at + "1: SyntaxError: Unexpected token `;'\n"},
      {"a caught error kept as the last value",
       "var kept;\ntry { null.x; } catch (err) { kept = err; }\nkept", false, 0, "", ""},
      {"an Error as the last value", "new Error('not thrown')", false, 0, "", ""},
      {"a caught automation error", "try { WScript.CreateObject('No.Such'); } catch (e) { e; }",
       false, 0, "", ""},
      {"an uncaught automation error", "\nWScript.CreateObject('No.Such');", false, 1, "",
       at + "2: error 429 (0x800a01ad): Cannot create the object: 'No.Such', class not "
            "registered (register its module with qzregsvr)\n"},
      {"a function handler", "function cam_AckRxEvent(w, n) { WScript.Echo('ack', w, n); }", true,
       0, "ack 1 6\nafter\n", ""},
      {"a function expression handler",
       "var cam_AckRxEvent = function (w, n) { WScript.Echo('ack', w, n); };", true, 0,
       "ack 1 6\nafter\n", ""},
      {"a const arrow function handler",
       "const cam_AckRxEvent = (w, n) => WScript.Echo('ack', w, n);", true, 0, "ack 1 6\nafter\n",
       ""},
      {"a let arrow function handler",
       "let cam_AckRxEvent = (w, n) => { WScript.Echo('ack', w, n); };", true, 0,
       "ack 1 6\nafter\n", ""},
      {"a handler throwing a string", "function cam_AckRxEvent() {\n  throw 'boom';\n}", true, 1,
       "", at + "3: uncaught exception: boom\n"},
      {"an arrow function handler throwing an Error", "const cam_AckRxEvent = () => { null.x; };",
       true, 1, "", at + "2: TypeError: Cannot read property 'x' of null\n"},
      {"an automation error inside a handler",
       "function cam_AckRxEvent() {\n\n  cam.SetZooming();\n}", true, 1, "",
       at + "4: error 450 (0x800a01c2): Wrong number of arguments or invalid property "
            "assignment: 'SetZooming' takes 2 arguments, got 0\n"},
      {"an Error returned by a handler", "function cam_AckRxEvent() { return new Error('fine'); }",
       true, 0, "after\n", ""},
      {"an error caught inside a handler",
       "function cam_AckRxEvent() { try { throw 1; } catch (e) {} }", true, 0, "after\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeQzlinke()->Reset();
    PostAnswers();
    const Outcome outcome = Run(c.inHandler ? EventScript(c.source) : std::string(c.source));
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.out, c.out);
    EXPECT_EQ(outcome.err, c.err);
  }
}

// Every failing call throws an Error with the runtime code in the number's
// low word, the code's standard text as description, and a message naming
// the member.
TEST_F(ScriptHostTest, FailuresCarryNumberDescriptionAndTheMember) {
  struct Case {
    const char* call;
    int code;
    std::string message;
  };
  const std::string wrongArgs = "Wrong number of arguments or invalid property assignment: ";
  const Case cases[] = {
      {"c.SetZoming(1, 0)", 438, "Object doesn't support this property or method: 'SetZoming'"},
      {"WScript.Echo(c.Nothing)", 438, "Object doesn't support this property or method: 'Nothing'"},
      {"c.Nothing = 1", 438, "Object doesn't support this property or method: 'Nothing'"},
      {"c.SetZooming(1)", 450, wrongArgs + "'SetZooming' takes 2 arguments, got 1"},
      {"c.GetZoomPosition(1, 2)", 450, wrongArgs + "'GetZoomPosition' takes 1 argument, got 2"},
      {"c.CommOpen = 1", 450, wrongArgs + "'CommOpen' cannot be assigned to"},
      {"c.SetZooming(1, 'tele')", 13, "Type mismatch: argument 2 of 'SetZooming' is 'tele'"},
      {"c.SetZooming(1, {})", 13, "Type mismatch: argument 2 of 'SetZooming' is [object Object]"},
      {"c.GetLastError({value: 'x'})", 13, "Type mismatch: argument 1 of 'GetLastError' is 'x'"},
      {"c.SetZooming(1, 3e10)", 6,
       "Overflow: argument 2 of 'SetZooming' is 30000000000, out of the 32-bit range"},
      {"WScript.CreateObject('No.Such')", 429,
       "Cannot create the object: 'No.Such', class not registered (register its module with "
       "qzregsvr)"},
      {"c.ERRORCODE = 1", 382, "Set not supported at runtime: 'ERRORCODE'"},
      {"c.SetDomeData(1, 0)", 453,
       "Can't find DLL entry point QzSetDomeData in QZLINKE.DLL: 'SetDomeData'"},
      {"WScript.Sleep(Infinity)", 6, "Overflow: 'Sleep' waits at most 2147483647 ms, got Infinity"},
      {"WScript.Sleep(1e20)", 6,
       "Overflow: 'Sleep' waits at most 2147483647 ms, got 100000000000000000000"},
      {"WScript.Sleep(-1)", 5,
       "Invalid procedure call or argument: 'Sleep' takes 0 or more milliseconds, got -1"},
      {"WScript.Sleep(NaN)", 13, "Type mismatch: 'Sleep' takes a number of milliseconds, got NaN"},
      {"WScript.Sleep()", 450, wrongArgs + "'Sleep' takes 1 argument, got 0"},
      {"WScript.Quit('soon')", 13, "Type mismatch: 'Quit' takes an exit status, got 'soon'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    const Outcome outcome = Run(CreateControl("c") + "try { " + c.call +
                                "; WScript.Echo('no error'); }\n"
                                "catch (e) { WScript.Echo(e instanceof Error, e.number & 0xFFFF, "
                                "(e.number >>> 16).toString(16), e.description.length > 0); "
                                "WScript.Echo(e.message); }");
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "true " + std::to_string(c.code) + " 800a true\n" + c.message + "\n");
  }
}

// Numbers, numeric strings and booleans reach the control as 32-bit integers.
TEST_F(ScriptHostTest, ArgumentsConvertAsDispatchConverts) {
  const Outcome outcome = Run(CreateControl("c") +
                              "c.SetZooming(1, 2.5); c.SetZooming(' 3 ', true); c.SetZooming(null, "
                              "'0x10'); c.SetMotorSpeed(1, 0, 3.5);");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  const auto& calls = FakeQzlinke()->calls;
  for (const char* call : {"QzSetZooming(1,2)", "QzSetZooming(3,-1)", "QzSetZooming(0,16)",
                           "QzSetMotorSpeed(1,0,4)"}) {
    EXPECT_NE(std::find(calls.begin(), calls.end(), call), calls.end()) << call;
  }
}

// Objects the script drops are released while it runs: their wrappers are
// deleted, so their events are disconnected and the objects end.
TEST_F(ScriptHostTest, DroppedObjectsAreReleasedWhileTheScriptRuns) {
  const Outcome outcome = Run(
      std::string("for (var i = 0; i < 50; i++) WScript.CreateObject('") + kProgId +
          "', 'cam_');\n"
          "WScript.Echo(probe.liveObjects() > 0);\n"
          "gc(); WScript.Sleep(0);\n"
          "WScript.Echo(probe.liveObjects());\n" +
          CreateControl("kept") + "gc(); WScript.Sleep(0);\nWScript.Echo(probe.liveObjects());\n",
      [](ScriptHost& host, Probe&) {
        host.Engine().installExtensions(QJSEngine::GarbageCollectionExtension);
      });
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "true\n0\n1\n");
}

// Objects created and dropped by the thousand: memory stays where it was. The
// suite runs 10,000 cycles (each leaked 2.6 KB before); QZ_CYCLES=100000 runs
// the full measure.
TEST_F(ScriptHostTest, CreateReleaseCyclesKeepMemoryFlat) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' allocators keep freed memory";
#endif
  const char* given = std::getenv("QZ_CYCLES");
  const int cycles = given != nullptr ? std::atoi(given) : 10000;
  const Outcome outcome = Run(std::string("function cycles(n) { for (var i = 0; i < n; i++) "
                                          "WScript.CreateObject('") +
                              kProgId +
                              "', 'cam_'); }\n"
                              "cycles(2000);\n"
                              "var before = probe.residentKb();\n"
                              "cycles(" +
                              std::to_string(cycles) +
                              ");\n"
                              "WScript.Echo(probe.residentKb() - before, probe.liveObjects());\n");
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  double growthKb = 0;
  int live = 0;
  ASSERT_EQ(std::sscanf(outcome.out.c_str(), "%lf %d", &growthKb, &live), 2) << outcome.out;
  std::printf("%d create/release cycles: resident memory grew by %.0f KB, %d objects alive\n",
              cycles, growthKb, live);
  RecordProperty("growth_kb", std::to_string(growthKb));
  EXPECT_LT(growthKb, 5 * 1024);
  EXPECT_LT(live, cycles / 10) << "the collected objects are released as the script runs";
}

// However the script ends, its exit status is the one it asked for (clipped
// to 0..255, never a failure read as 0), the session it left open is closed
// and the control terminated.
TEST_F(ScriptHostTest, EveryEndGivesItsStatusAndClosesTheSession) {
  const std::pair<const char*, int> cases[] = {
      {"", 0},
      {"WScript.Quit();", 0},
      {"WScript.Quit(3);", 3},
      {"WScript.Quit(255);", 255},
      {"WScript.Quit(256);", 255},
      {"WScript.Quit(-1);", 255},
      {"WScript.Quit(0); throw 1;", 0},
      {"throw 'x';", 1},
  };
  for (const auto& [end, status] : cases) {
    SCOPED_TRACE(end);
    FakeQzlinke()->Reset();
    const Outcome outcome = Run(CreateControl("cam") + "cam.CommOpen(1, 9600, 8, 0, 0);\n" + end);
    EXPECT_EQ(outcome.status, status);
    EXPECT_EQ(FakeQzlinke()->CountOf("QzClose"), 1);
    EXPECT_FALSE(FakeQzlinke()->open);
  }
}

// A stop (a signal, or the watcher's deadline) interrupts a sleeping or a
// busy script, runs no handler any more, and still closes the session.
TEST_F(ScriptHostTest, AStopEndsTheScriptAfterClosingTheSession) {
  struct Case {
    const char* what;
    const char* wait;
    int reason;    // given to RequestStop 20 ms after the script waits
    bool watcher;  // instead, a StopWatcher with a 50 ms deadline
    int status;
  };
  const Case cases[] = {
      {"SIGTERM while sleeping", "WScript.Sleep(600000);", 15, false, 143},
      {"SIGINT in a busy loop", "for (;;) {}", 2, false, 130},
      {"time-out in a loop of short sleeps", "for (;;) WScript.Sleep(1);", kStopTimedOut, false,
       124},
      {"the watcher's deadline in a busy loop", "for (;;) {}", 0, true, 124},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeQzlinke()->Reset();
    PostAnswers();
    std::thread stopper;
    std::unique_ptr<StopWatcher> watcher;
    const Outcome outcome = Run(
        EventScript("function cam_AckRxEvent() { WScript.Echo('handler'); }",
                    std::string("probe.ready();\n") + c.wait),
        [&](ScriptHost& host, Probe& probe) {
          probe.onReady = [&] {
            if (c.watcher) {
              watcher = std::make_unique<StopWatcher>(
                  std::chrono::milliseconds(50), [&host](int reason) { host.RequestStop(reason); });
              return;
            }
            // As the watcher thread would, once the script waits.
            stopper = std::thread([&host, reason = c.reason] {
              std::this_thread::sleep_for(std::chrono::milliseconds(20));
              host.RequestStop(reason);
            });
          };
        },
        [&] {
          if (stopper.joinable()) {
            stopper.join();
          }
          watcher.reset();
        });
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.out, "handler\n");
    EXPECT_EQ(FakeQzlinke()->CountOf("QzClose"), 1);
  }
}

TEST(QzscriptCommandLineTest, OptionsBeforeTheScriptArgumentsAfter) {
  struct Case {
    std::vector<std::string> args;
    CommandLine::Kind kind;
    std::string script;
    std::vector<std::string> arguments;
    int64_t timeoutMs;  // -1: none
  };
  const Case cases[] = {
      {{"a.js"}, CommandLine::kRun, "a.js", {}, -1},
      {{"a.js", "--help", "-x"}, CommandLine::kRun, "a.js", {"--help", "-x"}, -1},
      {{"--timeout", "90", "a.js", "1"}, CommandLine::kRun, "a.js", {"1"}, 90000},
      {{"--timeout=0.0015", "a.js"}, CommandLine::kRun, "a.js", {}, 2},
      {{"--", "--odd.js"}, CommandLine::kRun, "--odd.js", {}, -1},
      {{"-", "x"}, CommandLine::kRun, "-", {"x"}, -1},
      {{"--help", "a.js"}, CommandLine::kHelp, "", {}, -1},
      {{"-h"}, CommandLine::kHelp, "", {}, -1},
      {{"--version"}, CommandLine::kVersion, "", {}, -1},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.kind, c.kind) << c.args[0] << ": " << line.error;
    EXPECT_EQ(line.scriptPath, c.script);
    EXPECT_EQ(line.arguments, c.arguments);
    EXPECT_EQ(line.timeout ? line.timeout->count() : -1, c.timeoutMs) << c.args[0];
  }
  const std::vector<std::string> bad[] = {
      {},
      {"--timeout"},
      {"--timeout", "0", "a.js"},
      {"--timeout", "-1", "a.js"},
      {"--timeout", "1e3", "a.js"},
      {"--timeout", "inf", "a.js"},
      {"--timeout", "3000000", "a.js"},
      {"--timeout=", "a.js"},
      {"--version=1"},
      {"--verbose", "a.js"},
      {"--timeout", "5"},
  };
  for (const auto& args : bad) {
    const CommandLine line = ParseCommandLine(args);
    EXPECT_EQ(line.kind, CommandLine::kError) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(line.error.empty());
    EXPECT_EQ(line.error.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace qzscript

#include "qzscript_host_test.moc"
