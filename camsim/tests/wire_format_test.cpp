// Framing of the received byte stream and the frame and number formats.
#include "camsim/wire_format.h"

#include <gtest/gtest.h>

#include "camsim/tests/test_support.h"

namespace camsim {
namespace {

std::vector<std::string> Frames(const Bytes& stream, FrameReader& reader) {
  std::vector<std::string> frames;
  for (uint8_t byte : stream) {
    if (reader.Push(byte)) {
      auto frame = reader.Frame();
      frames.push_back(HexText(frame));
    }
  }
  return frames;
}

TEST(FrameReaderTest, CutsTheStreamAtEachTerminator) {
  struct Case {
    Bytes stream;
    std::vector<std::string> frames;
  };
  const Case cases[] = {
      {{0xFF, 0x30, 0x31, 0x00, 0x87, 0xEF}, {"FF 30 31 00 87 EF"}},
      {{0xFF, 0x30, 0x31, 0x00, 0x87, 0xEF, 0xFF, 0x30, 0x32, 0x00, 0x87, 0xEF},
       {"FF 30 31 00 87 EF", "FF 30 32 00 87 EF"}},
      {{0x00, 0xFF, 0x30, 0x31, 0x00, 0x87, 0xEF}, {"00 FF 30 31 00 87 EF"}},
      {{0xEF, 0xEF}, {"EF", "EF"}},
      {{0xFF, 0x30}, {}},
  };
  for (const Case& c : cases) {
    FrameReader reader;
    EXPECT_EQ(Frames(c.stream, reader), c.frames);
  }
}

TEST(FrameReaderTest, DropsOversizedRunsAndRecovers) {
  for (size_t length : {kMaxFrameBytes - 1, kMaxFrameBytes, kMaxFrameBytes + 1, size_t{1} << 20}) {
    FrameReader reader;
    Bytes stream(length, 0x41);
    stream.push_back(0xEF);
    std::vector<std::string> frames = Frames(stream, reader);
    EXPECT_LE(reader.Pending(), kMaxFrameBytes);
    bool fits = length + 1 <= kMaxFrameBytes;
    EXPECT_EQ(frames.size(), fits ? 1u : 0u) << length;
    EXPECT_EQ(reader.DroppedFrames(), fits ? 0u : 1u) << length;
    EXPECT_EQ(Frames({0xFF, 0x30, 0x31, 0x00, 0x87, 0xEF}, reader),
              std::vector<std::string>{"FF 30 31 00 87 EF"});
  }
}

TEST(WireFormatTest, ParsesOnlyWellFormedCommandFrames) {
  auto parsed = ParseCommandFrame(test::Command(7, 0xB7, "12"));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->address, 7);
  EXPECT_EQ(parsed->command, 0xB7);
  EXPECT_EQ(parsed->args, "12");
  EXPECT_EQ(ParseCommandFrame(test::Command(0, 0x87))->args, "");

  const Bytes bad[] = {
      {0xFF, 0x30, 0x31, 0x00, 0xEF},       {0xFE, 0x30, 0x31, 0x00, 0x87, 0xEF},
      {0xFF, 0x30, 0x3A, 0x00, 0x87, 0xEF}, {0xFF, 0x30, 0x31, 0x20, 0x87, 0xEF},
      {0xFF, 0x30, 0x31, 0x00, 0x87, 0x30}, {},
  };
  for (const Bytes& frame : bad) {
    EXPECT_FALSE(ParseCommandFrame(frame)) << HexText(frame);
  }
}

}  // namespace
}  // namespace camsim
