// The camera model: what each query answers after each setter, the refusals,
// the status words and the notifications, read as the application reads them.
#include "camsim/camera_model.h"

#include <gtest/gtest.h>

#include "camsim/tests/test_support.h"

namespace camsim {
namespace {

using test::At;
using test::CodeOf;
using test::DataChars;
using test::HexValue;
using test::Text;

constexpr const char* kAllModels[] = {"QT-R7", "QT-R90x", "QT-R90xN"};

CameraTimings TestTimings() {
  CameraTimings timings;
  timings.instantMotion = true;  // absolute moves arrive at once
  return timings;
}

// One camera at address 1 with a clock the test steps.
struct Bench {
  explicit Bench(std::string_view model, bool power = true, bool pedestal = true,
                 CameraTimings timings = TestTimings())
      : camera(1, *FindModel(model), timings, power, pedestal, At(0)) {}

  Bytes Send(uint8_t command, std::string_view args = "") {
    camera.Settle(now, notes);
    Reply reply = camera.Handle(command, args, now, notes);
    return BuildAnswer('1', reply.code, reply.data);
  }
  std::string Code(uint8_t command, std::string_view args = "") {
    return CodeOf(Send(command, args));
  }
  void Wait(int ms) {
    now += Milliseconds(ms);
    camera.Settle(now, notes);
  }
  std::vector<std::string> TakeNotes() {
    std::vector<std::string> texts;
    for (const Emission& e : notes) {
      texts.push_back(Text(e.frame));
    }
    notes.clear();
    return texts;
  }

  CameraModel camera;
  TimePoint now = At(0);
  std::vector<Emission> notes;
};

struct Step {
  uint8_t command;
  std::string_view args;
};

enum class Read { kHex, kElectronicZoom, kText };

struct RoundTrip {
  const char* name;
  std::vector<Step> setters;
  Step query;
  Read read;
  uint32_t value;         // for kHex and kElectronicZoom
  std::string_view text;  // for kText
  bool r90xOnly;
};

// Each query's answer, read by the application's rules, gives what the
// setters stored.
TEST(CameraModelTest, QueriesReturnWhatSettersStored) {
  const std::vector<RoundTrip> trips = {
      {"pan speed", {{0x50, "064"}}, {0x52, "0"}, Read::kHex, 100, "", false},
      {"tilt speed max", {{0x51, "26E"}}, {0x52, "1"}, Read::kHex, 622, "", false},
      {"zoom speed", {{0xB4, "17"}}, {0xB4, "2"}, Read::kHex, 7, "", false},
      {"zoom position 4", {{0xB3, "1234"}}, {0xB4, "0"}, Read::kHex, 0x1234, "", false},
      {"zoom position 2", {{0xA3, "3C"}}, {0xA4, ""}, Read::kHex, 0x3C, "", false},
      {"zoom position 2 max", {{0xA3, "FF"}}, {0xA4, ""}, Read::kHex, 0xFF, "", false},
      {"focus position", {{0xA1, "1"}, {0xB0, "5000"}}, {0xB1, "0"}, Read::kHex, 0x5000, "", false},
      {"iris", {{0xA5, "3"}, {0xA5, "90C"}}, {0xA5, ":"}, Read::kHex, 12, "", false},
      {"AGC gain", {{0xA5, "3"}, {0xA5, "7FF"}}, {0xA5, "8"}, Read::kHex, 0xFF, "", false},
      {"shutter", {{0xA5, "3"}, {0xA5, "519"}}, {0xA5, "6"}, Read::kHex, 25, "", false},
      {"slow shutter", {{0xA5, "3"}, {0xA5, "583"}}, {0xA5, "6"}, Read::kHex, 131, "", false},
      {"AE value", {{0xA5, ";40"}}, {0xA5, "<"}, Read::kHex, 0x40, "", false},
      {"backlight", {{0xA5, "1"}}, {0xA5, "?"}, Read::kHex, 1, "", true},
      {"electronic zoom 12", {{0xB7, "12"}}, {0xB8, ""}, Read::kElectronicZoom, 12, "", true},
      {"electronic zoom 16", {{0xB7, "16"}}, {0xB8, ""}, Read::kElectronicZoom, 16, "", true},
      {"IR cut filter out", {{0xB5, "0"}}, {0xB6, ""}, Read::kHex, 0, "", true},
      {"IR light", {{0x76, "6"}}, {0x77, ""}, Read::kHex, 6, "", true},
      {"noise reduction", {{0xB9, "2"}}, {0xBA, ""}, Read::kHex, 2, "", true},
      {"external light", {{0x78, "1"}}, {0x79, ""}, Read::kHex, 1, "", true},
      {"alarm output", {{0x72, "1"}}, {0x73, ""}, Read::kHex, 1, "", true},
      {"detect property", {{0x74, "11"}}, {0x75, "0"}, Read::kHex, 0x11, "", true},
      {"presets 3 and 9", {{0x89, "3"}, {0x89, "9"}}, {0x8B, "0"}, Read::kHex, 0x104, "", false},
      {"title character", {{0x91, "105241"}}, {0x91, "2052"}, Read::kHex, 0x41, "", false},
      {"white balance", {{0xA7, "2"}, {0xA7, "433"}}, {0xA7, "5"}, Read::kHex, 0x233, "", false},
      {"angles", {{0x62, "FF9C0032"}}, {0x63, ""}, Read::kText, 0, "FF9C0032", false},
      {"relative angles",
       {{0x62, "00640000"}, {0x64, "1FFF60064"}},
       {0x65, "0"},
       Read::kText,
       0,
       "005A0064",
       false},
      {"date", {{0x91, "3031231"}}, {0x91, "4"}, Read::kText, 0, "031231", false},
      {"time", {{0x91, "5235958"}}, {0x91, "6"}, Read::kText, 0, "235958", false},
  };
  for (const char* model : kAllModels) {
    for (const RoundTrip& trip : trips) {
      if (trip.r90xOnly && !FindModel(model)->r90xFeatures) {
        continue;
      }
      SCOPED_TRACE(std::string(model) + ": " + trip.name);
      Bench bench(model);
      for (const Step& setter : trip.setters) {
        ASSERT_EQ(bench.Code(setter.command, setter.args), "00");
      }
      Bytes answer = bench.Send(trip.query.command, trip.query.args);
      ASSERT_EQ(CodeOf(answer), "00");
      switch (trip.read) {
        case Read::kHex:
          EXPECT_EQ(HexValue(answer), trip.value) << Text(answer);
          break;
        case Read::kElectronicZoom:
          EXPECT_EQ(test::ElectronicZoomValue(answer), static_cast<int>(trip.value));
          break;
        case Read::kText:
          EXPECT_EQ(DataChars(answer), trip.text);
          break;
      }
    }
  }
}

TEST(CameraModelTest, UnitNameIsTheModelText) {
  for (const char* model : kAllModels) {
    Bench bench(model);
    EXPECT_EQ(DataChars(bench.Send(0x87)), model);
  }
}

// The decoded status words follow what the setters changed.
TEST(CameraModelTest, ExtendedStatusBits) {
  using test::DecodeExtendedStatus;
  using test::StatusFlags;
  struct Case {
    const char* name;
    bool power, pedestal;
    std::vector<Step> setters;
    StatusFlags expected;  // focusAuto, local, pedestal, power, wbLock, exposureAuto, flickerless
  };
  const std::vector<Case> cases = {
      {"defaults", true, true, {}, {true, false, true, true, false, true, false}},
      {"power off, pedestal not initialised",
       false,
       false,
       {},
       {true, false, false, false, false, true, false}},
      {"manual focus", true, true, {{0xA1, "1"}}, {false, false, true, true, false, true, false}},
      {"local mode", true, true, {{0x90, "1"}}, {true, true, true, true, false, true, false}},
      {"white balance lock",
       true,
       true,
       {{0xA7, "1"}},
       {true, false, true, true, true, true, false}},
      {"manual exposure",
       true,
       true,
       {{0xA5, "3"}},
       {true, false, true, true, false, false, false}},
      {"flickerless", true, true, {{0xA8, "2"}}, {true, false, true, true, false, true, true}},
      {"fixed shutter is not flickerless",
       true,
       true,
       {{0xA8, "1"}},
       {true, false, true, true, false, true, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench("QT-R90x", c.power, c.pedestal);
    for (const Step& setter : c.setters) {
      ASSERT_EQ(bench.Code(setter.command, setter.args), "00");
    }
    Bytes answer = bench.Send(0x86, "0");
    EXPECT_EQ(DataChars(answer).size(), 5u);
    EXPECT_EQ(DecodeExtendedStatus(HexValue(answer)), c.expected);
  }
}

TEST(CameraModelTest, FourDigitStatusFollowsOnScreenSettings) {
  struct Case {
    std::vector<std::string_view> items;  // QzSetOnScreen selectors
    test::DisplayFlags expected;
  };
  const std::vector<Case> cases = {
      {{}, {false, false, 7, 4}},
      {{"01", "03"}, {true, true, 7, 4}},
      {{"01", "03", "00", "02"}, {false, false, 7, 4}},
      {{"08", "05"}, {false, false, 8, 5}},
      {{"09", "06"}, {false, false, 9, 6}},
      {{"09", "07", "06", "04"}, {false, false, 7, 4}},
  };
  for (const Case& c : cases) {
    Bench bench("QT-R90x");
    for (std::string_view item : c.items) {
      ASSERT_EQ(bench.Code(0x91, item), "00");
    }
    Bytes answer = bench.Send(0x86, "1");
    EXPECT_EQ(DataChars(answer).size(), 4u);
    EXPECT_EQ(test::DecodeFourDigitStatus(HexValue(answer)), c.expected) << Text(answer);
  }
}

TEST(CameraModelTest, TwoDigitStatusGivesTheLedStateThePageShows) {
  // LED command value -> the state the application decodes (green has none).
  const std::pair<std::string_view, int> cases[] = {
      {"0", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"1", -1}};
  for (auto [led, state] : cases) {
    Bench bench("QT-R90x");
    ASSERT_EQ(bench.Code(0x8E, led), "00");
    Bytes answer = bench.Send(0x86, "2");
    EXPECT_EQ(DataChars(answer).size(), 2u);
    EXPECT_EQ(test::DecodeLedState(HexValue(answer), -1), state) << "LED " << led;
  }
}

struct Refusal {
  const char* name;
  const char* model;
  bool power;
  bool pedestal;
  std::vector<Step> setup;
  Step command;
  const char* code;
};

TEST(CameraModelTest, CompletionCodes) {
  const std::vector<Refusal> cases = {
      {"pan speed below range", "QT-R90x", true, true, {}, {0x50, "007"}, "50"},
      {"pan speed above range", "QT-R90x", true, true, {}, {0x50, "321"}, "50"},
      {"tilt speed above range", "QT-R90x", true, true, {}, {0x51, "26F"}, "50"},
      {"tilt speed at range start", "QT-R90x", true, true, {}, {0x51, "008"}, "00"},
      {"zoom position beyond max", "QT-R90x", true, true, {}, {0xB3, "4001"}, "50"},
      {"parameter too short", "QT-R90x", true, true, {}, {0xA3, "1"}, "50"},
      {"parameter not hex", "QT-R90x", true, true, {}, {0x50, "0G0"}, "50"},
      {"electronic zoom 17", "QT-R90x", true, true, {}, {0xB7, "17"}, "50"},
      {"electronic zoom negative", "QT-R90x", true, true, {}, {0xB7, "-1"}, "50"},
      {"IR light 7", "QT-R90x", true, true, {}, {0x76, "7"}, "50"},
      {"iris below range", "QT-R90x", true, true, {{0xA5, "3"}}, {0xA5, "901"}, "50"},
      {"shutter between ranges", "QT-R90x", true, true, {{0xA5, "3"}}, {0xA5, "51A"}, "50"},
      {"angle beyond pan limit", "QT-R90x", true, true, {}, {0x62, "07000000"}, "50"},
      {"date 31 February", "QT-R90x", true, true, {}, {0x91, "3030231"}, "50"},
      {"date with minus sign", "QT-R90x", true, true, {}, {0x91, "3-11231"}, "50"},
      {"preset 0", "QT-R90x", true, true, {}, {0x89, "0"}, "50"},
      {"unknown selector", "QT-R90x", true, true, {}, {0xA1, "7"}, "50"},
      {"unknown sub-command", "QT-R90x", true, true, {}, {0xB4, "9"}, "50"},
      {"status with extra characters", "QT-R90x", true, true, {}, {0x86, "3"}, "50"},

      {"QT-R7 IR light", "QT-R7", true, true, {}, {0x76, "1"}, "90"},
      {"QT-R7 IR cut filter", "QT-R7", true, true, {}, {0xB5, "1"}, "90"},
      {"QT-R7 noise reduction", "QT-R7", true, true, {}, {0xB9, "1"}, "90"},
      {"QT-R7 sensor input", "QT-R7", true, true, {}, {0x75, ""}, "90"},
      {"QT-R7 electronic zoom", "QT-R7", true, true, {}, {0xB7, "02"}, "90"},
      {"QT-R7 external light", "QT-R7", true, true, {}, {0x78, "1"}, "90"},
      {"QT-R7 4-digit status", "QT-R7", true, true, {}, {0x86, "1"}, "90"},
      {"QT-R7 backlight query", "QT-R7", true, true, {}, {0xA5, "?"}, "90"},
      {"QT-R7 has LED and OSD", "QT-R7", true, true, {}, {0x91, "06"}, "00"},

      {"zoom while power off", "QT-R90x", false, true, {}, {0xA2, "2"}, "90"},
      {"zoom query while power off", "QT-R90x", false, true, {}, {0xB4, "2"}, "90"},
      {"status while power off", "QT-R90x", false, true, {}, {0x86, "0"}, "00"},
      {"pedestal while power off", "QT-R90x", false, true, {}, {0x60, "01"}, "00"},

      {"move while local", "QT-R90x", true, true, {{0x90, "1"}}, {0x60, "01"}, "90"},
      {"query while local", "QT-R90x", true, true, {{0x90, "1"}}, {0x52, "0"}, "00"},
      {"host mode while local", "QT-R90x", true, true, {{0x90, "1"}}, {0x90, "0"}, "00"},

      {"move while initialising", "QT-R90x", true, false, {{0x58, "0"}}, {0x60, "01"}, "10"},
      {"preset while initialising", "QT-R90x", true, false, {{0x58, "0"}}, {0x89, "1"}, "10"},
      {"zoom while initialising", "QT-R90x", true, false, {{0x58, "0"}}, {0xA2, "2"}, "00"},
      {"move during preset move",
       "QT-R90x",
       true,
       true,
       {{0x89, "1"}, {0x8A, "1"}},
       {0x60, "10"},
       "10"},
      {"power while switching", "QT-R90x", false, true, {{0xA0, "1"}}, {0xA0, "0"}, "10"},
      {"speed while switching", "QT-R90x", true, true, {{0xA0, "0"}}, {0x50, "010"}, "10"},
      {"status while switching", "QT-R90x", true, true, {{0xA0, "0"}}, {0x86, "0"}, "00"},
      {"focus while autofocusing", "QT-R90x", true, true, {{0xB1, "1"}}, {0xA1, "2"}, "10"},

      {"move, pedestal uninitialised", "QT-R90x", true, false, {}, {0x60, "01"}, "90"},
      {"angles, pedestal uninitialised", "QT-R90x", true, false, {}, {0x62, "00000000"}, "90"},

      {"iris in auto exposure", "QT-R90x", true, true, {}, {0xA5, "908"}, "90"},
      {"AE value in manual exposure", "QT-R90x", true, true, {{0xA5, "3"}}, {0xA5, ";80"}, "90"},
      {"focus position in auto focus", "QT-R90x", true, true, {}, {0xB0, "5000"}, "90"},
      {"older pedestal command", "QT-R90x", true, true, {}, {0x54, "100"}, "90"},

      {"preset not stored", "QT-R90x", true, true, {}, {0x8A, "2"}, "30"},
      {"unknown command byte", "QT-R90x", true, true, {}, {0xC0, ""}, "30"},
      {"unknown low command byte", "QT-R7", true, true, {}, {0x41, "1"}, "30"},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench(c.model, c.power, c.pedestal);
    for (const Step& setup : c.setup) {
      ASSERT_EQ(bench.Code(setup.command, setup.args), "00");
    }
    EXPECT_EQ(bench.Code(c.command.command, c.command.args), c.code);
  }
}

TEST(CameraModelTest, RefusedCommandChangesNothing) {
  Bench bench("QT-R90x");
  ASSERT_EQ(bench.Code(0x50, "064"), "00");
  ASSERT_EQ(bench.Code(0x50, "321"), "50");
  EXPECT_EQ(HexValue(bench.Send(0x52, "0")), 100u);
}

TEST(CameraModelTest, PowerOnCompletesAfterTheDelayAndNotifiesOnlyWithNotifyOn) {
  for (bool notify : {false, true}) {
    Bench bench("QT-R90x", /*power=*/false);
    ASSERT_EQ(bench.Code(0x94, notify ? "1" : "0"), "00");
    EXPECT_EQ(bench.Code(0xA0, "1"), "00");
    bench.Wait(1999);
    EXPECT_TRUE(bench.TakeNotes().empty());
    EXPECT_FALSE(test::DecodeExtendedStatus(HexValue(bench.Send(0x86, "0"))).power);
    bench.Wait(1);
    EXPECT_EQ(bench.TakeNotes().size(), notify ? 1u : 0u);
    EXPECT_TRUE(test::DecodeExtendedStatus(HexValue(bench.Send(0x86, "0"))).power);
  }
}

TEST(CameraModelTest, SlowActionsNotifyWithTheCommandBytes) {
  struct Case {
    const char* name;
    bool pedestal;
    std::vector<Step> setup;
    Step command;
    int delayMs;
    const char* notification;
  };
  const std::vector<Case> cases = {
      {"pedestal initialisation", false, {}, {0x58, "0"}, 3000, "FA 30 31 00 58 30 EF"},
      {"one-push AF", true, {}, {0xB1, "1"}, 1000, "FA 30 31 00 B1 31 EF"},
      {"preset move", true, {{0x89, "4"}}, {0x8A, "4"}, 1000, "FA 30 31 00 8A 34 EF"},
      {"home", true, {}, {0x57, ""}, 1000, "FA 30 31 00 57 EF"},
      {"power off", true, {}, {0xA0, "0"}, 2000, "FA 30 31 00 A0 30 EF"},
      {"power on when on", true, {}, {0xA0, "1"}, 0, "FA 30 31 00 A0 31 EF"},
      {"backlight on", true, {}, {0xA5, "1"}, 0, "FA 30 31 00 A5 31 EF"},
      {"backlight off", true, {}, {0xA5, "0"}, 0, "FA 30 31 00 A5 30 EF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench("QT-R90x", true, c.pedestal);
    ASSERT_EQ(bench.Code(0x94, "1"), "00");
    for (const Step& setup : c.setup) {
      ASSERT_EQ(bench.Code(setup.command, setup.args), "00");
    }
    ASSERT_EQ(bench.Code(c.command.command, c.command.args), "00");
    if (c.delayMs > 0) {
      EXPECT_TRUE(bench.TakeNotes().empty());
      bench.Wait(c.delayMs);
    }
    ASSERT_EQ(bench.notes.size(), 1u);
    EXPECT_EQ(bench.notes[0].ready, At(c.delayMs));
    EXPECT_EQ(Text(bench.notes[0].frame), c.notification);
  }
}

TEST(CameraModelTest, SlowActionsLeaveTheirState) {
  Bench bench("QT-R90x", true, /*pedestal=*/false);
  ASSERT_EQ(bench.Code(0x58, "0"), "00");
  ASSERT_EQ(bench.Code(0xB1, "1"), "00");
  bench.Wait(3000);
  auto status = test::DecodeExtendedStatus(HexValue(bench.Send(0x86, "0")));
  EXPECT_TRUE(status.pedestal);
  EXPECT_FALSE(status.focusAuto);  // one-push AF leaves manual focus
  EXPECT_EQ(bench.Code(0xB0, "2000"), "00");
  EXPECT_EQ(bench.Code(0x62, "01000100"), "00");
  EXPECT_EQ(DataChars(bench.Send(0x63)), "01000100");
}

TEST(CameraModelTest, PresetRecallMovesBackToTheStoredPosition) {
  Bench bench("QT-R90x");
  ASSERT_EQ(bench.Code(0x62, "00C8FFCE"), "00");  // pan 200, tilt -50
  ASSERT_EQ(bench.Code(0x89, "2"), "00");
  ASSERT_EQ(bench.Code(0x62, "00000000"), "00");
  ASSERT_EQ(bench.Code(0x8A, "2"), "00");
  EXPECT_EQ(DataChars(bench.Send(0x65, "1")), "00C8FFCE");  // the target
  bench.Wait(500);
  EXPECT_EQ(DataChars(bench.Send(0x63)), "0064FFE7");  // half way
  bench.Wait(500);
  EXPECT_EQ(DataChars(bench.Send(0x63)), "00C8FFCE");
}

TEST(CameraModelTest, DrivesMoveAtTheirSpeedUntilStopped) {
  Bench bench("QT-R90x");                    // zoom range 0..0x4000
  ASSERT_EQ(bench.Code(0x50, "064"), "00");  // pan: 100 tenths of a degree per second
  ASSERT_EQ(bench.Code(0xB4, "13"), "00");   // zoom speed 3: half the range per second
  ASSERT_EQ(bench.Code(0x60, "10"), "00");   // pan right
  ASSERT_EQ(bench.Code(0xA2, "2"), "00");    // tele
  bench.Wait(1000);
  ASSERT_EQ(bench.Code(0xA2, "1"), "00");  // wide
  bench.Wait(500);
  ASSERT_EQ(bench.Code(0x60, "00"), "00");
  ASSERT_EQ(bench.Code(0xA2, "0"), "00");
  bench.Wait(1000);
  EXPECT_EQ(DataChars(bench.Send(0x63)), "00960000");  // 150, still
  EXPECT_EQ(HexValue(bench.Send(0xB4, "0")), 0x1000u);
  ASSERT_EQ(bench.Code(0xA2, "4"), "00");  // tele at full speed: the whole range in 1 s
  bench.Wait(2000);
  EXPECT_EQ(HexValue(bench.Send(0xB4, "0")), 0x4000u);
}

TEST(CameraModelTest, ASpeedChangeTakesEffectOnARunningDrive) {
  Bench bench("QT-R90x");
  ASSERT_EQ(bench.Code(0x50, "064"), "00");  // 100 tenths of a degree per second
  ASSERT_EQ(bench.Code(0x60, "10"), "00");   // pan right
  bench.Wait(500);
  ASSERT_EQ(bench.Code(0x50, "0C8"), "00");  // 200, under way
  bench.Wait(500);
  ASSERT_EQ(bench.Code(0x60, "00"), "00");
  EXPECT_EQ(DataChars(bench.Send(0x63)), "00960000");  // 50 + 100
}

TEST(CameraModelTest, SensorChangeNotifiesAsTheDetectionPropertySays) {
  struct Case {
    const char* property;
    int from, to;
    bool detected;
  };
  const Case cases[] = {
      {"11", 0, 1, true},  {"11", 1, 0, true},  {"01", 1, 0, false}, {"01", 0, 1, true},
      {"10", 0, 1, false}, {"11", 0, 2, false}, {"00", 0, 1, false}, {"22", 0, 3, true},
  };
  for (const Case& c : cases) {
    Bench bench("QT-R90x");
    ASSERT_EQ(bench.Code(0x74, c.property), "00");
    ASSERT_TRUE(bench.camera.SetSensorInput(c.from, bench.now, bench.notes));
    bench.notes.clear();
    ASSERT_TRUE(bench.camera.SetSensorInput(c.to, bench.now, bench.notes));
    auto notes = bench.TakeNotes();
    SCOPED_TRACE(std::string(c.property) + " " + std::to_string(c.from) + "->" +
                 std::to_string(c.to));
    if (c.detected) {
      ASSERT_EQ(notes.size(), 1u);
      EXPECT_EQ(notes[0], "FB 30 31 " + Text(Bytes{'0', static_cast<uint8_t>('0' + c.to)}) + " EF");
    } else {
      EXPECT_TRUE(notes.empty());
    }
    EXPECT_EQ(HexValue(bench.Send(0x75)), static_cast<uint32_t>(c.to));
  }
  Bench r7("QT-R7");
  EXPECT_FALSE(r7.camera.SetSensorInput(1, r7.now, r7.notes));
}

TEST(CameraModelTest, ClockRunsFromWhenItWasSet) {
  Bench bench("QT-R90x");
  ASSERT_EQ(bench.Code(0x91, "3041231"), "00");
  ASSERT_EQ(bench.Code(0x91, "5235959"), "00");
  bench.Wait(2000);
  EXPECT_EQ(DataChars(bench.Send(0x91, "4")), "050101");
  EXPECT_EQ(DataChars(bench.Send(0x91, "6")), "000001");
}

}  // namespace
}  // namespace camsim
