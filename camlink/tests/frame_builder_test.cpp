#include "camlink/frame_builder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace qzlink {
namespace {

std::string Hex(const uint8_t* bytes, size_t length) {
  std::string text;
  char item[4];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(item, sizeof item, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += item;
  }
  return text;
}

struct BuildCase {
  const char* name;
  int commandId;
  int address;
  int32_t p1, p2, p3;
  int expectedLength;         // 0: the build fails
  const char* expectedFrame;  // the command buffer afterwards
};

const BuildCase kBuildCases[] = {
    {"power off, camera 3", 2, 3, 0, 0, 0, 7, "FF 30 33 00 A0 30 EF"},
    {"address 10 keeps '0'", 2, 10, 0, 0, 0, 7, "FF 30 30 00 A0 30 EF"},
    {"address -1 keeps '0'", 2, -1, 0, 0, 0, 7, "FF 30 30 00 A0 30 EF"},
    {"zoom position 60", 16, 1, 60, 0, 0, 8, "FF 30 31 00 A3 33 43 EF"},
    {"zoom position 255", 16, 9, 255, 0, 0, 8, "FF 30 39 00 A3 46 46 EF"},
    {"zoom position 256 does not fit", 16, 1, 256, 0, 0, 0, "FF 30 31 00 A3 2A 2A EF"},
    {"negative never fits hex", 16, 1, -1, 0, 0, 0, "FF 30 31 00 A3 2A 2A EF"},
    {"angles as 16-bit two's complement", 92, 0, -1, 0x7FFF, 0, 14,
     "FF 30 30 00 62 46 46 46 46 37 46 46 46 EF"},
    {"angles -100 and 50", 92, 0, -100, 50, 0, 14, "FF 30 30 00 62 46 46 39 43 30 30 33 32 EF"},
    {"hex16 keeps only the low 16 bits", 92, 0, 0x12345, 0, 0, 14,
     "FF 30 30 00 62 32 33 34 35 30 30 30 30 EF"},
    {"hex16 width 3 takes 0xFFF", 98, 2, 0xFFF, 0, 0, 12, "FF 30 32 00 61 46 46 46 30 30 30 EF"},
    {"hex16 width 3 refuses -1", 98, 2, -1, 0, 0, 0, "FF 30 32 00 61 2A 2A 2A 2A 2A 2A EF"},
    {"second slot fails, first kept", 98, 2, 5, 0x1000, 0, 0,
     "FF 30 32 00 61 30 30 35 2A 2A 2A EF"},
    {"date 03-12-31", 134, 1, 3, 12, 31, 13, "FF 30 31 00 91 33 30 33 31 32 33 31 EF"},
    {"dec accepts -1 to -9", 134, 1, -9, 0, 99, 13, "FF 30 31 00 91 33 2D 39 30 30 39 39 EF"},
    {"dec refuses -10", 187, 1, -10, 0, 0, 0, "FF 30 31 00 B7 2A 2A EF"},
    {"electronic zoom 100 does not fit", 187, 1, 100, 0, 0, 0, "FF 30 31 00 B7 2A 2A EF"},
    {"title: third slot fails", 132, 4, 0xFF, 0xF, 0x100, 0, "FF 30 34 00 91 31 46 46 46 2A 2A EF"},
    {"motor speed 3 hex digits", 59, 1, 100, 0, 0, 9, "FF 30 31 00 50 30 36 34 EF"},
    {"focus position 0xFFFF", 8, 5, 0xFFFF, 0, 0, 10, "FF 30 35 00 B0 46 46 46 46 EF"},
    {"preset memory 1 digit", 108, 1, 0x10, 0, 0, 0, "FF 30 31 00 89 2A EF"},
};

class BuildCommandFrameTest : public testing::TestWithParam<BuildCase> {};

TEST_P(BuildCommandFrameTest, BuildsTheFrame) {
  const BuildCase& c = GetParam();
  FrameBuildState state;
  state.parameters[0] = c.p1;
  state.parameters[1] = c.p2;
  state.parameters[2] = c.p3;
  const int length = BuildCommandFrame(c.commandId, c.address, state);
  EXPECT_EQ(length, c.expectedLength);
  const std::string expected = c.expectedFrame;
  const size_t frameLength = (expected.size() + 1) / 3;
  EXPECT_EQ(Hex(state.commandBuffer, frameLength), expected);
  // A failed parameter keeps the row as the current template.
  EXPECT_EQ(state.currentTemplate, FindTemplate(c.commandId));
  for (size_t i = frameLength; i < kCommandBufferSize; ++i) {
    ASSERT_EQ(state.commandBuffer[i], 0) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildCommandFrameTest, testing::ValuesIn(kBuildCases),
                         [](const testing::TestParamInfo<BuildCase>& param) {
                           std::string name;
                           for (const char* p = param.param.name; *p != '\0'; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(BuildCommandFrame, UnknownIdentifierKeepsTheBufferAndClearsTheCurrentTemplate) {
  FrameBuildState state;
  ASSERT_EQ(BuildCommandFrame(2, 3, state), 7);
  uint8_t before[kCommandBufferSize];
  std::memcpy(before, state.commandBuffer, sizeof before);
  for (int id : {0, 1, 27, 43, 197, -5}) {
    EXPECT_EQ(BuildCommandFrame(id, 3, state), 0) << id;
    EXPECT_EQ(state.currentTemplate, -1);
    EXPECT_EQ(std::memcmp(before, state.commandBuffer, sizeof before), 0);
  }
}

TEST(BuildCommandFrame, EveryTemplateForEveryAddress) {
  FrameBuildState state;
  // Values that fit every slot.
  state.parameters[0] = state.parameters[1] = state.parameters[2] = 1;
  for (const CommandTemplate& row : CommandTemplates()) {
    for (int address = -1; address <= 10; ++address) {
      // Fill the buffer so that a build that does not clear it shows.
      std::memset(state.commandBuffer, 0x55, sizeof state.commandBuffer);
      SCOPED_TRACE(testing::Message() << "id " << row.commandId << " address " << address);
      ASSERT_EQ(BuildCommandFrame(row.commandId, address, state), row.length);
      const uint8_t addressChar = (address >= 0 && address <= 9) ? '0' + address : '0';
      EXPECT_EQ(state.commandBuffer[2], addressChar);
      for (int b = 0; b < row.length; ++b) {
        if (b == 2) {
          continue;
        }
        if (row.bytes[b] == kPlaceholder) {
          EXPECT_TRUE(state.commandBuffer[b] == '0' || state.commandBuffer[b] == '1') << b;
        } else {
          EXPECT_EQ(state.commandBuffer[b], row.bytes[b]) << b;
        }
      }
      for (size_t b = row.length; b < kCommandBufferSize; ++b) {
        ASSERT_EQ(state.commandBuffer[b], 0) << b;
      }
    }
  }
}

struct RenderCase {
  int32_t value;
  uint8_t width;
  SlotEncoding encoding;
  const char* expected;  // nullptr: does not fit
};

TEST(RenderSlot, FitsExactlyWhenTheRenderingFits) {
  const RenderCase cases[] = {
      {0, 1, SlotEncoding::kHex, "0"},
      {15, 1, SlotEncoding::kHex, "F"},
      {16, 1, SlotEncoding::kHex, nullptr},
      {0xABC, 4, SlotEncoding::kHex, "0ABC"},
      {0xFFFF, 4, SlotEncoding::kHex, "FFFF"},
      {0x10000, 4, SlotEncoding::kHex, nullptr},
      {-1, 4, SlotEncoding::kHex, nullptr},
      {-200, 4, SlotEncoding::kHex16, "FF38"},
      {-1, 3, SlotEncoding::kHex16, nullptr},
      {0x10FFF, 3, SlotEncoding::kHex16, "FFF"},
      {7, 2, SlotEncoding::kDec, "07"},
      {99, 2, SlotEncoding::kDec, "99"},
      {-3, 2, SlotEncoding::kDec, "-3"},
      {-10, 2, SlotEncoding::kDec, nullptr},
      {INT32_MIN, 2, SlotEncoding::kDec, nullptr},
      {INT32_MIN, 4, SlotEncoding::kHex16, "0000"},
  };
  for (const RenderCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " width " << int{c.width});
    uint8_t out[8];
    std::memset(out, '*', sizeof out);
    const bool fits = RenderSlot(c.value, c.width, c.encoding, out);
    EXPECT_EQ(fits, c.expected != nullptr);
    if (c.expected != nullptr) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(out), c.width), c.expected);
    }
    for (size_t i = fits ? c.width : 0; i < sizeof out; ++i) {
      EXPECT_EQ(out[i], '*') << "written past the slot at " << i;
    }
  }
}

}  // namespace
}  // namespace qzlink
