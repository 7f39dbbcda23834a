// Answers read straight from their bytes, and each call's decoder.
#include "core/link/answer_decoding.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/link/answer_decoders.h"

namespace qtr90x {
namespace {

using F = LibraryFunction;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  return std::vector<std::uint8_t>(values.begin(), values.end());
}

TEST(AnswerDecoding, Values) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> answer;
    std::optional<std::uint32_t> value;
  };
  const Case cases[] = {
      {"two digits", Bytes({0xFE, 0x30, 0x30, 0x30, 0x30, 0x31, 0x32, 0xEF}), 0x12},
      {"lower-case digits", Bytes({0xFE, 0x30, 0x30, 0x30, 0x30, 0x41, 0x62, 0xEF}), 0xAB},
      {"no data", Bytes({0xFE, 0x30, 0x30, 0x30, 0x30, 0xEF}), std::nullopt},
      {"short answer", Bytes({0xFE, 0x30, 0x30, 0x30}), std::nullopt},
      {"not a hex digit", Bytes({0xFE, 0x30, 0x30, 0x30, 0x30, 0x5A, 0xEF}), std::nullopt},
      {"five-digit status word",
       Bytes({0xFE, 0x30, 0x30, 0x30, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0xEF}), 0x12345},
      {"more than eight digits",
       Bytes({0xFE, 0x30, 0x30, 0x30, 0x30, 0x31, 0x31, 0x31, 0x31, 0x31, 0x31, 0x31, 0x31, 0x31,
              0xEF}),
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(AnswerFrame(c.answer).Value(), c.value);
  }
}

TEST(AnswerDecoding, TextKeepsKnownCharactersOnly) {
  const auto name = Bytes({0xFE, 0x30, 0x31, 0x30, 0x30, 0x51, 0x54, 0x2D, 0x52, 0x37, 0xEF});
  EXPECT_EQ(AnswerFrame(name).DataText(), "QT-R7");
  const auto odd = Bytes({0xFE, 0x30, 0x31, 0x30, 0x30, 0x51, 0x2A, 0xEF});
  EXPECT_EQ(AnswerFrame(odd).DataText(), std::string("Q\xFF"));
  EXPECT_EQ(AnswerFrame(name).Address(), 1);
  EXPECT_EQ(AnswerFrame(Bytes({0xFE, 0x30})).Address(), -1);
}

// Each row of the call list decodes its own answer, and nothing else.
TEST(AnswerDecoders, EachCallFillsItsOwnField) {
  const auto answer = [](std::initializer_list<int> data) {
    std::vector<std::uint8_t> bytes = {0xFE, 0x30, 0x31, 0x30, 0x30};
    for (int c : data)
      bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0xEF);
    return bytes;
  };
  const auto ok = answer({});
  struct Case {
    const char* name;
    LibraryCall call;
    std::vector<std::uint8_t> answer;
    std::function<bool(const CameraState&)> check;
  };
  const Case cases[] = {
      {"pan speed", MakeCall(F::kQzGetMotorSpeed, 1, 0), answer({'1', '2', 'C'}),
       [](const CameraState& s) { return s.panSpeed == 0x12C && s.tiltSpeed == 0; }},
      {"tilt speed", MakeCall(F::kQzGetMotorSpeed, 1, 1), answer({'0', '8', '0'}),
       [](const CameraState& s) { return s.tiltSpeed == 0x80 && s.panSpeed == 0; }},
      {"zoom speed", MakeCall(F::kQzGetZoomSpeed, 1), answer({'6'}),
       [](const CameraState& s) { return s.zoomSpeed == 6; }},
      {"electronic zoom reads decimal", MakeCall(F::kQzGetElectronicZoom, 1), answer({'1', '2'}),
       [](const CameraState& s) { return s.electronicZoom == 12; }},
      {"external light", MakeCall(F::kQzGetExternalLight, 1), answer({'1'}),
       [](const CameraState& s) { return s.externalLight && !s.alarmOutput; }},
      {"extended status", MakeCall(F::kQzGetExtendedOperateStatus, 1),
       answer({'0', '0', '0', '2', '0'}),
       [](const CameraState& s) { return !s.cameraPower && s.pedestalInitialised; }},
      {"status word of the wrong width", MakeCall(F::kQzGetExtendedOperateStatus, 1),
       answer({'2', '0'}), [](const CameraState& s) { return !s.pedestalInitialised; }},
      {"unit name", MakeCall(F::kQzGetUnitName, 1), answer({'Q', 'T', '-', 'R', '7'}),
       [](const CameraState& s) { return s.unitName == "QT-R7"; }},
      {"speed accepted", MakeCall(F::kQzSetMotorSpeed, 1, 0, 420), ok,
       [](const CameraState& s) { return s.panSpeed == 420; }},
      {"night mode accepted", MakeCall(F::kQzSetIrCutFilter, 1, 1), ok,
       [](const CameraState& s) { return s.irCutFilter; }},
      {"date format accepted", MakeCall(F::kQzSetOnScreen, 1, 8), ok,
       [](const CameraState& s) { return s.dateDisplay == 8 && !s.onScreen; }},
      {"refused setting records nothing", MakeCall(F::kQzSetMotorSpeed, 1, 0, 420),
       Bytes({0xFE, 0x30, 0x31, 0x39, 0x30, 0xEF}),
       [](const CameraState& s) { return s.panSpeed == 0; }},
      {"a move records nothing", MakeCall(F::kQzGotoHomePosition, 1), ok,
       [](const CameraState& s) { return s.unitName.empty() && s.panSpeed == 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CameraState state;
    const AnswerNews news = DecodeAnswer(c.call, AnswerFrame(c.answer), state);
    EXPECT_EQ(news.kind, AnswerNews::Kind::kNone);
    EXPECT_TRUE(c.check(state));
  }
}

TEST(AnswerDecoders, CameraCountAndRegisteredPresets) {
  CameraState state;
  const auto count = [&](std::vector<std::uint8_t> bytes) {
    return DecodeAnswer(MakeCall(F::kQzSetCascade, 0, 1), AnswerFrame(bytes), state).value;
  };
  EXPECT_EQ(count(Bytes({0xFE, 0x30, 0x33, 0x30, 0x30, 0xEF})), 3);
  EXPECT_EQ(count(Bytes({0xFE, 0x30, 0x33, 0x39, 0x30, 0xEF})), 0);  // refused
  // Presets 1 to 9 are bits 0..8: higher bits are no presets, not a reason
  // to drop the list.
  const auto presets = Bytes({0xFE, 0x30, 0x31, 0x30, 0x30, 'A', '0', '3', 0xEF});
  const AnswerNews news =
      DecodeAnswer(MakeCall(F::kQzGetExtendPreset, 1), AnswerFrame(presets), state);
  EXPECT_EQ(news.kind, AnswerNews::Kind::kRegisteredPresets);
  EXPECT_EQ(news.value, 0x003);
}

TEST(AnswerDecoding, ExtendedStatusBits) {
  const ExtendedStatus idle = DecodeExtendedStatus(0);
  EXPECT_TRUE(idle.focusAuto && idle.pedestalInitialised && idle.cameraPower && idle.exposureAuto);
  EXPECT_FALSE(idle.localMode || idle.wbLock || idle.flickerless);
  const ExtendedStatus s = DecodeExtendedStatus((1u << 1) | (1u << 4) | (1u << 5) | (1u << 6) |
                                                (1u << 18) | (1u << 12) | (1u << 13) | (1u << 3));
  EXPECT_FALSE(s.focusAuto || s.pedestalInitialised || s.cameraPower || s.exposureAuto);
  EXPECT_TRUE(s.localMode && s.wbLock && s.flickerless);
  EXPECT_FALSE(DecodeExtendedStatus(1u << 6).localMode);  // needs bit 18 too
}

TEST(AnswerDecoding, StatusWords) {
  struct Case {
    std::uint32_t word;
    bool onScreen, second;
    int date, time;
  };
  const Case cases[] = {
      {0x0000, false, false, 7, 4},
      {0x80 | 0x10 | 0x04, true, false, 8, 5},
      {0x40 | 0x30 | 0x0C, false, true, 8, 5},  // bit 4 wins over 5, bit 2 over 3
      {0x20 | 0x08, false, false, 9, 6},
      {0xFF00, false, false, 7, 4},  // high byte ignored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    const DisplayStatus d = DecodeDisplayStatus(c.word);
    EXPECT_EQ(d.onScreen, c.onScreen);
    EXPECT_EQ(d.secondDisplay, c.second);
    EXPECT_EQ(d.dateDisplay, c.date);
    EXPECT_EQ(d.timeDisplay, c.time);
  }
  EXPECT_EQ(DecodeLedState(0x03, 9), 2);  // upper bits clear wins
  EXPECT_EQ(DecodeLedState(0x11, 9), 1);
  EXPECT_EQ(DecodeLedState(0x12, 9), 3);
  EXPECT_EQ(DecodeLedState(0x13, 9), 4);
  EXPECT_EQ(DecodeLedState(0x10, 9), 9);  // no meaning: unchanged
  EXPECT_EQ(DecodeElectronicZoom(0x12), 12);
  EXPECT_EQ(DecodeElectronicZoom(0x00), 0);
}

}  // namespace
}  // namespace qtr90x
