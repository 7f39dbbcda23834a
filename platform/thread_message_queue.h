// The per-thread message queue behind the message windows: the messages that
// wait for one thread, and the descriptors that tell the thread about them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>

#include "platform/msgwindow.h"

namespace qzplatform {

class ThreadMessageQueue;

// A message sent from another thread. It lives on the sender's stack while the
// sender waits, so a send allocates nothing. Whoever takes it out of the owner's
// queue (the owner to run it, or DestroyWindow, or the owner's thread exit to
// refuse it) must complete it exactly once; the sender returns only then.
struct SentMessage {
  HWND hwnd = nullptr;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  ThreadMessageQueue* sender = nullptr;  // the sender waits on its own queue
  SentMessage* next = nullptr;           // link in the owner's queue
  LRESULT result = 0;                    // guarded by the sender's mutex
  bool done = false;                     // guarded by the sender's mutex
};

struct PostedMessage {
  HWND hwnd = nullptr;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  uint64_t serial = 0;  // arrival number within the queue
};

// One thread's queue: sent messages (intrusive FIFO of records on the senders'
// stacks) and posted messages (FIFO, one node each). Other threads push and
// complete under the mutex; only the owner thread pops and polls.
//
// Two eventfds track the queue: the wake descriptor is readable exactly while
// any message waits, the sent descriptor exactly while a sent message waits
// (QzMsgWaitForFd polls the latter, so posted messages that it leaves queued
// do not keep waking it). Both are created on first need and closed with the
// queue, at the owner thread's exit.
class ThreadMessageQueue {
 public:
  ThreadMessageQueue() = default;
  ~ThreadMessageQueue();
  ThreadMessageQueue(const ThreadMessageQueue&) = delete;
  ThreadMessageQueue& operator=(const ThreadMessageQueue&) = delete;

  // Owner thread only. Creates the two descriptors if they do not exist yet;
  // false when that fails (errno set).
  bool EnsureDescriptors();
  int WakeFd() const { return wakeFd_; }  // owner thread only; -1 before EnsureDescriptors
  int SentFd() const { return sentFd_; }  // owner thread only; -1 before EnsureDescriptors

  // Any thread.
  void PushSent(SentMessage& message);
  void PushPosted(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);  // may throw bad_alloc

  // Owner thread. PopPosted takes the oldest posted message only if its serial
  // is below `before`; PostedMark() is the serial the next posted message gets.
  SentMessage* PopSent();
  std::optional<PostedMessage> PopPosted(uint64_t before);
  uint64_t PostedMark();

  // Any thread. Takes the messages for hwnd (or for every window when hwnd is
  // null) out of the queue: posted ones are dropped, sent ones are returned as
  // a chain linked by `next`, for the caller to complete.
  SentMessage* Remove(HWND hwnd);

  // The sender's thread. Blocks until `message` is completed (true) or a
  // message sent to this thread is waiting (false), so that a blocked sender
  // can run messages sent to its own windows.
  bool WaitForReplyOrSent(const SentMessage& message);

  // Any thread. Stores the result and releases the sender. `message` must not
  // be touched afterwards: the sender may already have returned.
  static void Complete(SentMessage& message, LRESULT result);

 private:
  void UpdateDescriptors();  // under mutex_: make the eventfds match the counts

  std::mutex mutex_;
  std::condition_variable cv_;  // the owner waits here while it is a sender
  SentMessage* sentHead_ = nullptr;
  SentMessage* sentTail_ = nullptr;
  size_t sentCount_ = 0;
  std::list<PostedMessage> posted_;
  uint64_t nextSerial_ = 0;
  int wakeFd_ = -1;
  int sentFd_ = -1;
  bool wakeSignalled_ = false;  // the eventfd holds a nonzero count
  bool sentSignalled_ = false;
};

}  // namespace qzplatform
