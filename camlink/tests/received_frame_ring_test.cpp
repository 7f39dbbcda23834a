#include "camlink/received_frame_ring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace qzlink {
namespace {

std::vector<uint8_t> Frame(uint8_t first, uint8_t tag) {
  return {first, 0x30, tag, 0x30, 0xEF};
}

std::vector<uint8_t> FetchAll(const ReceivedFrameRing& ring, int32_t sequenceNumber) {
  uint8_t buffer[kRingSlotBytes];
  const int32_t length = ring.Fetch(sequenceNumber, buffer, sizeof buffer);
  return {buffer, buffer + length};
}

TEST(ReceivedFrameRing, NumbersFramesFromOneAndFetchesThemRepeatedly) {
  ReceivedFrameRing ring;
  EXPECT_EQ(ring.File(Frame(0xFE, 1).data(), 5), 1);
  EXPECT_EQ(ring.File(Frame(0xF9, 2).data(), 5), 2);  // unannounced kinds are numbered too
  EXPECT_EQ(ring.File(Frame(0x00, 3).data(), 5), 3);
  EXPECT_EQ(FetchAll(ring, 2), Frame(0xF9, 2));
  EXPECT_EQ(FetchAll(ring, 2), Frame(0xF9, 2));
  EXPECT_EQ(FetchAll(ring, 1), Frame(0xFE, 1));
  EXPECT_TRUE(FetchAll(ring, 4).empty());
}

TEST(ReceivedFrameRing, SequenceNumberZeroBeforeTheWrapFindsNothing) {
  ReceivedFrameRing ring;
  ring.File(Frame(0xFE, 1).data(), 5);
  uint8_t buffer[kRingSlotBytes];
  EXPECT_EQ(ring.Fetch(0, buffer, sizeof buffer), 0);
}

TEST(ReceivedFrameRing, TheThirtyFirstFrameOverwritesTheFirst) {
  ReceivedFrameRing ring;
  for (int i = 1; i <= kRingSlots; ++i) {
    ring.File(Frame(0xFE, static_cast<uint8_t>(i)).data(), 5);
  }
  EXPECT_EQ(FetchAll(ring, 1), Frame(0xFE, 1));
  EXPECT_EQ(ring.File(Frame(0xFA, 31).data(), 5), 31);
  EXPECT_TRUE(FetchAll(ring, 1).empty());
  EXPECT_EQ(FetchAll(ring, 2), Frame(0xFE, 2));
  EXPECT_EQ(FetchAll(ring, 31), Frame(0xFA, 31));
  EXPECT_EQ(ring.WriteIndex(), 1);
}

TEST(ReceivedFrameRing, TheCounterWrapsAfter99999999) {
  ReceivedFrameRing ring(kSequenceModulus - 2);
  EXPECT_EQ(ring.File(Frame(0xFE, 1).data(), 5), 99999999);
  EXPECT_EQ(ring.File(Frame(0xFE, 2).data(), 5), 0);
  EXPECT_EQ(ring.File(Frame(0xFE, 3).data(), 5), 1);
  EXPECT_EQ(FetchAll(ring, 0), Frame(0xFE, 2));
  EXPECT_EQ(FetchAll(ring, 99999999), Frame(0xFE, 1));
}

TEST(ReceivedFrameRing, AFrameLongerThanASlotIsCut) {
  ReceivedFrameRing ring;
  std::vector<uint8_t> longFrame(64);
  for (size_t i = 0; i < longFrame.size(); ++i) {
    longFrame[i] = static_cast<uint8_t>(i);
  }
  const int32_t number = ring.File(longFrame.data(), longFrame.size());
  EXPECT_EQ(FetchAll(ring, number),
            std::vector<uint8_t>(longFrame.begin(), longFrame.begin() + kRingSlotBytes));
}

TEST(ReceivedFrameRing, FetchNeverWritesPastTheGivenSize) {
  ReceivedFrameRing ring;
  const auto frame = Frame(0xFE, 9);
  const int32_t number = ring.File(frame.data(), frame.size());
  uint8_t buffer[8];
  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(ring.Fetch(number, buffer, 3), 3);
  EXPECT_EQ(buffer[2], frame[2]);
  EXPECT_EQ(buffer[3], 0xAA);
}

}  // namespace
}  // namespace qzlink
