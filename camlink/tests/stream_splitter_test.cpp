#include "camlink/stream_splitter.h"

#include <gtest/gtest.h>

#include <vector>

namespace qzlink {
namespace {

struct Delivered {
  std::vector<uint8_t> bytes;
  bool cut;
  bool operator==(const Delivered&) const = default;
};

using Bytes = std::vector<uint8_t>;

// Feeds the stream in the given chunk sizes (the last size repeats) and
// collects the frames delivered.
std::vector<Delivered> Split(StreamSplitter& splitter, const Bytes& stream,
                             std::vector<size_t> chunks) {
  std::vector<Delivered> frames;
  size_t pos = 0;
  size_t chunkIndex = 0;
  while (pos < stream.size()) {
    const size_t size =
        std::min(chunks[std::min(chunkIndex++, chunks.size() - 1)], stream.size() - pos);
    splitter.Feed(stream.data() + pos, size, [&](const uint8_t* frame, size_t length, bool cut) {
      frames.push_back({Bytes(frame, frame + length), cut});
    });
    pos += size;
  }
  return frames;
}

const Bytes kAnswer = {0xFE, 0x30, 0x30, 0x30, 0x30, 0xEF};
const Bytes kNotify = {0xFA, 0x30, 0x30, 0xEF};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) {
    all.insert(all.end(), p.begin(), p.end());
  }
  return all;
}

TEST(StreamSplitter, DeliversTheSameFramesWhateverTheReadSizes) {
  const Bytes stream = Concat({kAnswer, kNotify, kAnswer});
  const std::vector<Delivered> expected = {{kAnswer, false}, {kNotify, false}, {kAnswer, false}};
  const std::vector<std::vector<size_t>> chunkings = {
      {1},              // a byte at a time
      {stream.size()},  // everything in one read
      {3, 100},         // a frame split across reads (FE 30 30 | 30 30 EF ...)
      {6, 4, 6},        // one frame per read
      {5, 2, 1},
  };
  for (const auto& chunks : chunkings) {
    StreamSplitter splitter;
    EXPECT_EQ(Split(splitter, stream, chunks), expected) << "first chunk " << chunks[0];
    EXPECT_EQ(splitter.PendingBytes(), 0u);
  }
}

TEST(StreamSplitter, StrayBytesBecomeTheStartOfTheNextFrame) {
  StreamSplitter splitter;
  const Bytes stream = Concat({{0x00}, kAnswer});
  const auto frames = Split(splitter, stream, {100});
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, stream);
}

TEST(StreamSplitter, AnOverlongFrameIsCutAndTheNextFrameIsIntact) {
  StreamSplitter splitter;
  Bytes longFrame(150, 0x41);
  longFrame.back() = 0xEF;
  const auto frames = Split(splitter, Concat({longFrame, kAnswer}), {7});
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].bytes, Bytes(longFrame.begin(), longFrame.begin() + kPartialFrameSize));
  EXPECT_TRUE(frames[0].cut);
  EXPECT_EQ(frames[1], (Delivered{kAnswer, false}));
}

TEST(StreamSplitter, AFrameOfExactlyTheBufferSizeIsNotCut) {
  StreamSplitter splitter;
  Bytes frame(kPartialFrameSize, 0x41);
  frame.back() = 0xEF;
  const auto frames = Split(splitter, frame, {1});
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], (Delivered{frame, false}));
}

TEST(StreamSplitter, AFloodWithoutTerminatorStaysBounded) {
  StreamSplitter splitter;
  const Bytes flood(1 << 20, 0x55);
  EXPECT_TRUE(Split(splitter, flood, {4096}).empty());
  EXPECT_EQ(splitter.PendingBytes(), kPartialFrameSize);
  EXPECT_EQ(splitter.DroppedBytes(), flood.size() - kPartialFrameSize);

  const auto frames = Split(splitter, Concat({{0xEF}, kAnswer}), {4096});
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].bytes.size(), kPartialFrameSize);
  EXPECT_TRUE(frames[0].cut);
  EXPECT_EQ(frames[1], (Delivered{kAnswer, false}));
}

TEST(StreamSplitter, ResetDropsAPartialFrame) {
  StreamSplitter splitter;
  Split(splitter, {0xFE, 0x30}, {10});
  splitter.Reset();
  const auto frames = Split(splitter, kNotify, {10});
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, kNotify);
}

}  // namespace
}  // namespace qzlink
