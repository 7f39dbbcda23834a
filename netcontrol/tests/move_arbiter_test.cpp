// Move arbitration: what reaches the line, when moves end, who may move.
#include "netcontrol/move_arbiter.h"

#include <gtest/gtest.h>

namespace qznet {
namespace {

using namespace std::chrono_literals;
using Outcome = MoveArbiter::Outcome;

const CameraId kCam{1, 2};
const MoveArbiter::TimePoint kT0{};
const MoveVelocity kRight{0.5, 0, 0, 0};
const MoveVelocity kLeft{-0.5, 0, 0, 0};

TEST(MoveArbiter, ChattyClientCostsOneCommandPerAnswerAndTheNewestWins) {
  MoveArbiter arbiter;
  auto step = arbiter.Move(kCam, "a", kRight, 500ms, kT0);
  EXPECT_EQ(step.outcome, Outcome::Sent);
  EXPECT_TRUE(step.started);
  // While that command is on the line, 50 more come: one slot keeps the newest.
  for (int i = 0; i < 50; ++i) {
    step = arbiter.Move(kCam, "a", i % 2 ? kLeft : MoveVelocity{0, 0.1 * (i % 5 + 1), 0, 0}, 500ms,
                        kT0);
    EXPECT_NE(step.outcome, Outcome::Sent);
  }
  step = arbiter.Move(kCam, "a", kLeft, 500ms, kT0);
  const auto next = arbiter.LineDone(kCam, false);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->velocity, kLeft);
  EXPECT_FALSE(arbiter.LineDone(kCam, false));  // nothing more
  // The same speeds again only renew the deadline.
  EXPECT_EQ(arbiter.Move(kCam, "a", kLeft, 500ms, kT0 + 400ms).outcome, Outcome::Renewed);
  EXPECT_TRUE(arbiter.Expire(kT0 + 800ms).isEmpty());
  const auto expired = arbiter.Expire(kT0 + 900ms);
  ASSERT_EQ(expired.size(), 1);
  EXPECT_EQ(expired[0].owner, "a");
  ASSERT_TRUE(expired[0].step.send);
  EXPECT_TRUE(expired[0].step.send->stop);
  EXPECT_FALSE(arbiter.NextDeadline());
}

TEST(MoveArbiter, StopAlwaysReachesTheLineAfterTheCommandInFlight) {
  MoveArbiter arbiter;
  arbiter.Move(kCam, "a", kRight, 500ms, kT0);
  auto stop = arbiter.Stop(kCam);
  EXPECT_EQ(stop.outcome, Outcome::Coalesced);
  EXPECT_TRUE(stop.stopped);
  // A move that came after the stop is newer and wins; a stop after it wins again.
  arbiter.Move(kCam, "b", kLeft, 500ms, kT0);
  arbiter.Stop(kCam);
  const auto next = arbiter.LineDone(kCam, false);
  ASSERT_TRUE(next);
  EXPECT_TRUE(next->stop);
  // Idle: a stop goes at once, even with nothing moving (the camera may be).
  arbiter.LineDone(kCam, false);
  EXPECT_EQ(arbiter.Stop(kCam).outcome, Outcome::Sent);
}

TEST(MoveArbiter, FailedMoveIsSentAgainOnRenewal) {
  MoveArbiter arbiter;
  arbiter.Move(kCam, "a", kRight, 500ms, kT0);
  bool failedMove = false;
  EXPECT_FALSE(arbiter.LineDone(kCam, true, &failedMove));
  EXPECT_TRUE(failedMove);
  EXPECT_FALSE(arbiter.Moving(kCam));
  EXPECT_EQ(arbiter.Move(kCam, "a", kRight, 500ms, kT0).outcome, Outcome::Sent);
}

TEST(MoveArbiter, ClientGoneStopsItsMovesAndDropsItsLocks) {
  MoveArbiter arbiter;
  const CameraId other{1, 3};
  arbiter.Move(kCam, "ws:1", kRight, 5s, kT0);
  arbiter.Move(other, "ws:2", kRight, 5s, kT0);
  EXPECT_FALSE(arbiter.Lock(other, "ws:1", "on air", 60s, kT0));
  const auto gone = arbiter.ClientGone("ws:1");
  ASSERT_EQ(gone.size(), 2);
  EXPECT_FALSE(arbiter.Moving(kCam));
  EXPECT_TRUE(arbiter.Moving(other));
  EXPECT_FALSE(arbiter.LockHolder(other, kT0));
}

TEST(MoveArbiter, LocksAndTheLocalOperator) {
  MoveArbiter arbiter;
  EXPECT_FALSE(arbiter.Lock(kCam, "a", "", 10s, kT0));
  EXPECT_EQ(arbiter.Lock(kCam, "b", "", 10s, kT0), std::optional<QString>("a"));
  EXPECT_EQ(arbiter.Admit(kCam, "b", true, kT0).refusal, MoveArbiter::Refusal::Locked);
  EXPECT_EQ(arbiter.Admit(kCam, "a", true, kT0).refusal, MoveArbiter::Refusal::None);
  EXPECT_FALSE(arbiter.Unlock(kCam, "b", false));
  EXPECT_TRUE(arbiter.Unlock(kCam, "b", true));  // admin
  EXPECT_FALSE(arbiter.Lock(kCam, "b", "", 10s, kT0));
  // The lock runs out by itself.
  const auto expired = arbiter.Expire(kT0 + 10s);
  ASSERT_EQ(expired.size(), 1);
  EXPECT_TRUE(expired[0].lock);
  EXPECT_EQ(arbiter.Admit(kCam, "a", true, kT0 + 10s).refusal, MoveArbiter::Refusal::None);

  // The local operator's press takes the camera from a network move, without a stop.
  arbiter.Move(kCam, "a", kRight, 5s, kT0);
  arbiter.LineDone(kCam, false);
  EXPECT_EQ(arbiter.LocalOperator(kCam, true), std::optional<QString>("a"));
  EXPECT_FALSE(arbiter.Moving(kCam));
  EXPECT_TRUE(arbiter.Expire(kT0 + 6s).isEmpty());
  EXPECT_EQ(arbiter.Admit(kCam, "a", true, kT0).refusal, MoveArbiter::Refusal::LocalOperator);
  EXPECT_EQ(arbiter.Admit(kCam, "a", false, kT0).refusal, MoveArbiter::Refusal::None);
  EXPECT_FALSE(arbiter.LocalOperator(kCam, false));
  EXPECT_EQ(arbiter.Move(kCam, "a", kRight, 5s, kT0).outcome, Outcome::Sent);
}

}  // namespace
}  // namespace qznet
