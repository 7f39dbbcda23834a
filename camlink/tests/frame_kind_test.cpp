#include "camlink/frame_kind.h"

#include <gtest/gtest.h>

#include <string>

namespace qzlink {
namespace {

TEST(ClassifyFrame, KnownFirstBytes) {
  struct Case {
    uint8_t firstByte;
    const char* label;
    uint32_t message;
    uint32_t wParam;
  };
  const Case cases[] = {
      {0xFE, "ack", 0x800A, 1},           {0xFA, "notify", 0x800B, 1},
      {0xFD, "remote on", 0x800B, 2},     {0xFC, "remote off", 0x800B, 3},
      {0xF8, "global notify", 0x800B, 4}, {0xFB, "detect", 0x800B, 5},
  };
  for (const Case& c : cases) {
    const FrameKind* kind = ClassifyFrame(c.firstByte);
    ASSERT_NE(kind, nullptr) << int{c.firstByte};
    EXPECT_EQ(std::string(kind->label), c.label);
    EXPECT_EQ(kind->message, c.message);
    EXPECT_EQ(kind->wParam, c.wParam);
  }
}

TEST(ClassifyFrame, EveryOtherFirstByteIsNotAnnounced) {
  int announced = 0;
  for (int b = 0; b < 256; ++b) {
    announced += ClassifyFrame(static_cast<uint8_t>(b)) != nullptr ? 1 : 0;
  }
  EXPECT_EQ(announced, 6);
  for (uint8_t b : {0x00, 0xF9, 0xFF, 0xEF, 0x30}) {
    EXPECT_EQ(ClassifyFrame(b), nullptr) << int{b};
  }
}

}  // namespace
}  // namespace qzlink
