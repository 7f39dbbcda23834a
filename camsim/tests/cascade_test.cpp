// The line: addressing, the cascade query, faults, pacing and bad input.
#include "camsim/cascade.h"

#include <gtest/gtest.h>

#include <random>

#include "camsim/tests/test_support.h"

namespace camsim {
namespace {

using test::At;
using test::Command;
using test::Text;

CascadeConfig Config(std::vector<std::string_view> models) {
  CascadeConfig config;
  for (std::string_view model : models) {
    config.models.push_back(FindModel(model));
  }
  config.timings.instantMotion = true;
  return config;
}

// A cascade with an unpaced line; every call happens at time now.
struct Line {
  explicit Line(const CascadeConfig& config) : cascade(config, At(0)) {}

  void Write(const Bytes& bytes) { cascade.Feed(bytes.data(), bytes.size(), now); }
  // Everything sent up to now, as hex text per chunk.
  std::vector<std::string> Read() {
    std::vector<std::string> texts;
    for (const Bytes& chunk : cascade.TakeDue(now)) {
      texts.push_back(Text(chunk));
    }
    return texts;
  }
  std::vector<std::string> Exchange(const Bytes& command) {
    Write(command);
    return Read();
  }
  ControlOutcome Control(std::string_view line) {
    ParsedControl parsed = ParseControlLine(line);
    EXPECT_TRUE(parsed.command) << parsed.error;
    return cascade.Apply(*parsed.command, now);
  }

  Cascade cascade;
  TimePoint now = At(0);
};

using Texts = std::vector<std::string>;

TEST(CascadeTest, CascadeQueryCarriesTheCameraCount) {
  for (int n = 1; n <= kMaxCameras; ++n) {
    Line line(Config(std::vector<std::string_view>(static_cast<size_t>(n), "QT-R90x")));
    EXPECT_EQ(line.Exchange(Command(0, 0x8F, "0")), Texts{"FE 30 30 30 30 EF"});
    Texts answer = line.Exchange(Command(0, 0x8F, "1"));
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0], "FE 30 " + Hex(0x30 + n, 2) + " 30 30 EF");
  }
}

TEST(CascadeTest, EachCameraAnswersWithItsAddressAndAbsentOnesStaySilent) {
  Line line(Config({"QT-R90x", "QT-R7"}));
  EXPECT_EQ(line.Exchange(Command(1, 0x87)), Texts{"FE 30 31 30 30 51 54 2D 52 39 30 78 EF"});
  EXPECT_EQ(line.Exchange(Command(2, 0x87)), Texts{"FE 30 32 30 30 51 54 2D 52 37 EF"});
  for (int address = 3; address <= 9; ++address) {
    EXPECT_TRUE(line.Exchange(Command(address, 0x87)).empty());
  }
  EXPECT_EQ(line.cascade.GetStats().unaddressed, 7u);
}

TEST(CascadeTest, AddressZeroReachesEveryCameraWithOneAnswer) {
  Line line(Config({"QT-R90xN", "QT-R90x", "QT-R7"}));
  EXPECT_EQ(line.Exchange(Command(0, 0x90, "1")), Texts{"FE 30 30 30 30 EF"});
  for (int address = 1; address <= 3; ++address) {
    line.Write(Command(address, 0x86, "0"));
    uint32_t status = test::HexValue(line.cascade.TakeDue(line.now).at(0));
    EXPECT_TRUE(test::DecodeExtendedStatus(status).local) << address;
  }
  // A command one camera refuses: the others still execute it, the answer
  // carries the refusal.
  ASSERT_EQ(line.Exchange(Command(0, 0x90, "0")), Texts{"FE 30 30 30 30 EF"});
  EXPECT_EQ(line.Exchange(Command(0, 0x76, "3")), Texts{"FE 30 30 39 30 EF"});
  EXPECT_EQ(line.Exchange(Command(2, 0x77)), Texts{"FE 30 32 30 30 33 EF"});
  // A query is answered with camera 1's data.
  EXPECT_EQ(line.Exchange(Command(0, 0x87)), Texts{"FE 30 30 30 30 51 54 2D 52 39 30 78 4E EF"});
}

TEST(CascadeTest, NotificationsFollowTheirAnswerAndCarryTheCameraAddress) {
  CascadeConfig config = Config({"QT-R90x", "QT-R90x"});
  config.powerOn = false;
  config.timings.powerDelay = Duration::zero();
  Line line(config);
  line.Exchange(Command(0, 0x94, "1"));
  EXPECT_EQ(line.Exchange(Command(0, 0xA0, "1")),
            (Texts{"FE 30 30 30 30 EF", "FA 30 31 00 A0 31 EF", "FA 30 32 00 A0 31 EF"}));
  EXPECT_EQ(line.Exchange(Command(2, 0xA0, "1")),
            (Texts{"FE 30 32 30 30 EF", "FA 30 32 00 A0 31 EF"}));
}

TEST(CascadeTest, PowerOnAnswersAtOnceAndNotifiesAfterTheDelay) {
  CascadeConfig config = Config({"QT-R90x"});
  config.powerOn = false;
  Line line(config);
  line.Exchange(Command(1, 0x94, "1"));
  EXPECT_EQ(line.Exchange(Command(1, 0xA0, "1")), Texts{"FE 30 31 30 30 EF"});
  EXPECT_EQ(line.cascade.NextDueTime(), At(2000));
  line.now = At(1999);
  EXPECT_TRUE(line.Read().empty());
  line.now = At(2000);
  EXPECT_EQ(line.Read(), Texts{"FA 30 31 00 A0 31 EF"});
  EXPECT_FALSE(line.cascade.NextDueTime());
}

TEST(CascadeTest, LinePacingDelaysAnswersByTheirBytesAndTheReplyDelay) {
  CascadeConfig config = Config({"QT-R90x"});
  config.byteTime = Milliseconds(1);
  config.replyDelay = Milliseconds(5);
  Line line(config);
  // 7 bytes in, 5 ms processing, 6 bytes out.
  line.Write(Command(1, 0x86, "0"));
  EXPECT_EQ(line.cascade.NextDueTime(), At(7 + 5 + 11));
  line.now = At(22);
  EXPECT_TRUE(line.Read().empty());
  line.now = At(23);
  EXPECT_EQ(line.Read().size(), 1u);
  // Two commands written at once: the second answer waits for the first.
  line.Write(Command(1, 0x52, "0"));
  line.Write(Command(1, 0x52, "1"));
  EXPECT_EQ(line.cascade.NextDueTime(), At(23 + 7 + 5 + 9));
  line.now = At(44);
  EXPECT_EQ(line.Read().size(), 1u);
  EXPECT_EQ(line.cascade.NextDueTime(), At(44 + 9));
  line.now = At(53);
  EXPECT_EQ(line.Read().size(), 1u);
  EXPECT_EQ(ByteTime(10000), Milliseconds(1));
  EXPECT_EQ(ByteTime(9600), std::chrono::nanoseconds(1041667));
}

TEST(CascadeTest, InjectedFaults) {
  Line line(Config({"QT-R90x"}));
  // The next command is answered with the code and not executed.
  line.Control("inject 91");
  EXPECT_EQ(line.Exchange(Command(1, 0x50, "064")), Texts{"FE 30 31 39 31 EF"});
  EXPECT_EQ(line.Exchange(Command(1, 0x52, "0")), Texts{"FE 30 31 30 30 31 39 30 EF"});
  // Only the named command byte.
  line.Control("inject 50 cmd 87");
  EXPECT_EQ(line.Exchange(Command(1, 0x52, "0")).size(), 1u);
  EXPECT_EQ(line.Exchange(Command(1, 0x87)), Texts{"FE 30 31 35 30 EF"});
  EXPECT_EQ(line.Exchange(Command(1, 0x87)).at(0).substr(9, 5), "30 30");
  // No answer, then normal again.
  line.Control("noanswer");
  EXPECT_TRUE(line.Exchange(Command(1, 0x87)).empty());
  EXPECT_EQ(line.Exchange(Command(1, 0x87)).size(), 1u);
  // Faults on the cascade query, as the connect sequence sends it.
  line.Control("inject 30 cmd 8F");
  EXPECT_EQ(line.Exchange(Command(0, 0x8F, "1")), Texts{"FE 30 30 33 30 EF"});
  // clear cancels what is pending.
  line.Control("noanswer");
  line.Control("clear");
  EXPECT_EQ(line.Exchange(Command(1, 0x87)).size(), 1u);
}

TEST(CascadeTest, ALateAnswerComesAfterItsDelayAndHoldsBackWhatFollows) {
  Line line(Config({"QT-R90x"}));
  line.Control("late 1500 cmd 50");
  // Executed at once, answered 1.5 s later.
  EXPECT_TRUE(line.Exchange(Command(1, 0x50, "064")).empty());
  line.now = At(1000);
  EXPECT_TRUE(line.Exchange(Command(1, 0x52, "0")).empty());  // waits behind it
  line.now = At(1500);
  EXPECT_EQ(line.Read(), (Texts{"FE 30 31 30 30 EF", "FE 30 31 30 30 30 36 34 EF"}));
  // The next command is answered as ever.
  EXPECT_EQ(line.Exchange(Command(1, 0x52, "1")).size(), 1u);
}

TEST(CascadeTest, SplitAndStrayBytes) {
  Line line(Config({"QT-R90x"}));
  line.Control("split");
  EXPECT_EQ(line.Exchange(Command(1, 0x52, "0")), Texts{"FE 30 31 30"});
  EXPECT_EQ(line.cascade.NextDueTime(), At(0) + Cascade::kSplitGap);
  line.Write(Command(1, 0x52, "1"));  // its answer must not cut into the split frame
  line.now = At(0) + Cascade::kSplitGap;
  EXPECT_EQ(line.Read(), (Texts{"30 31 39 30 EF", "FE 30 31 30 30 31 32 43 EF"}));

  line.Control("stray 00 41");
  line.Write(Command(1, 0x87));
  EXPECT_EQ(line.Read(), (Texts{"00 41", "FE 30 31 30 30 51 54 2D 52 39 30 78 EF"}));
}

TEST(CascadeTest, ControlInputsProduceTheirFrames) {
  Line line(Config({"QT-R90x", "QT-R7"}));
  EXPECT_EQ(line.Control("remote 1 on").text, "ok (not sent: the camera's notification is off)");
  line.Exchange(Command(1, 0x94, "1"));
  line.Exchange(Command(1, 0x95, "1"));
  line.Exchange(Command(1, 0x74, "11"));
  line.Control("remote 1 on");
  line.Control("remote 1 off");
  line.Control("global 1");
  line.Control("sensor 1 1");
  line.Control("power 1 off");
  EXPECT_EQ(line.Read(), (Texts{"FD 30 31 EF", "FC 30 31 EF", "F8 30 31 EF", "FB 30 31 30 31 EF",
                                "FA 30 31 00 A0 30 EF"}));
  EXPECT_FALSE(line.Control("sensor 2 1").ok);  // the QT-R7 has no sensor input
  EXPECT_FALSE(line.Control("power 3 on").ok);  // no camera 3
  ControlOutcome state = line.Control("state 1");
  EXPECT_NE(state.text.find("camera 1 QT-R90x power=off"), std::string::npos) << state.text;
  EXPECT_EQ(state.text.find("camera 2"), std::string::npos);
}

TEST(CascadeTest, FramesThatAreNotCommandsGetNoAnswer) {
  Line line(Config({"QT-R90x"}));
  const Bytes garbage[] = {
      {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF},        // an answer
      {0xFA, 0x30, 0x31, 0x00, 0xA0, 0x31, 0xEF},  // a notification
      {0xFF, 0x30, 0x31, 0x00, 0xEF},              // too short
      {0xFF, 0x31, 0x31, 0x00, 0x87, 0xEF},        // second byte not '0'
      {0xFF, 0x30, 0x41, 0x00, 0x87, 0xEF},        // address not a digit
      {0xFF, 0x30, 0x31, 0x01, 0x87, 0xEF},        // fourth byte not 00
      {0x00, 0xFF, 0x30, 0x31, 0x00, 0x87, 0xEF},  // stray byte before a command
      {0xEF},                                      // terminator alone
  };
  for (const Bytes& frame : garbage) {
    EXPECT_TRUE(line.Exchange(frame).empty()) << Text(frame);
  }
  EXPECT_EQ(line.cascade.GetStats().ignored, std::size(garbage));
  EXPECT_EQ(line.Exchange(Command(1, 0x87)).size(), 1u);
}

TEST(CascadeTest, FloodWithoutTerminatorKeepsMemoryBounded) {
  Line line(Config({"QT-R90x"}));
  Bytes flood(1 << 20, 0x41);
  line.Write(flood);
  EXPECT_TRUE(line.Read().empty());
  // The oversized run is dropped at its terminator; the line works afterwards.
  EXPECT_TRUE(line.Exchange({0xEF}).empty());
  EXPECT_EQ(line.cascade.GetStats().dropped, 1u);
  EXPECT_EQ(line.Exchange(Command(1, 0x87)).size(), 1u);
}

TEST(CascadeTest, RandomBytesNeverBreakTheLine) {
  CascadeConfig config = Config({"QT-R90x", "QT-R7"});
  config.byteTime = Milliseconds(1);
  Line line(config);
  std::mt19937 random(1234);
  Bytes noise(1 << 20);
  for (uint8_t& b : noise) {
    // Mostly command-like bytes so that many frames parse and get answered.
    uint32_t r = random();
    b = (r & 7) == 0   ? 0xEF
        : (r & 7) == 1 ? 0xFF
        : (r & 7) == 2 ? 0x00
                       : static_cast<uint8_t>(r >> 8);
  }
  for (size_t pos = 0; pos < noise.size(); pos += 4096) {
    line.cascade.Feed(noise.data() + pos, 4096, line.now);
    line.now += Milliseconds(1);
    line.Read();
  }
  line.now += std::chrono::seconds(60);
  line.Read();
  line.Control("clear");
  line.Exchange(Command(0, 0x90, "0"));
  line.Exchange(Command(0, 0xA0, "1"));
  line.now += std::chrono::seconds(10);
  line.Read();
  line.Write(Command(1, 0x87));
  line.now += std::chrono::seconds(1);
  Texts answer = line.Read();
  ASSERT_FALSE(answer.empty());
  EXPECT_EQ(answer.back(), "FE 30 31 30 30 51 54 2D 52 39 30 78 EF");
}

}  // namespace
}  // namespace camsim
