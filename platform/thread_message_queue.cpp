#include "platform/thread_message_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace qzplatform {

namespace {

// Makes an eventfd readable (count 1) or not (count 0). The descriptors are
// non-blocking, so a redundant call can never hang.
void SetSignalled(int fd, bool on) {
  if (fd < 0) {
    return;
  }
  uint64_t value = 1;
  ssize_t n;
  do {
    n = on ? write(fd, &value, sizeof value) : read(fd, &value, sizeof value);
  } while (n < 0 && errno == EINTR);
}

}  // namespace

ThreadMessageQueue::~ThreadMessageQueue() {
  if (wakeFd_ >= 0) {
    close(wakeFd_);
  }
  if (sentFd_ >= 0) {
    close(sentFd_);
  }
}

bool ThreadMessageQueue::EnsureDescriptors() {
  std::lock_guard lock(mutex_);
  if (wakeFd_ >= 0) {
    return true;
  }
  int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake < 0) {
    return false;
  }
  int sent = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (sent < 0) {
    int saved = errno;
    close(wake);
    errno = saved;
    return false;
  }
  wakeFd_ = wake;
  sentFd_ = sent;
  UpdateDescriptors();  // messages may already wait
  return true;
}

void ThreadMessageQueue::UpdateDescriptors() {
  bool wake = sentCount_ > 0 || !posted_.empty();
  if (wake != wakeSignalled_ && wakeFd_ >= 0) {
    SetSignalled(wakeFd_, wake);
    wakeSignalled_ = wake;
  }
  bool sent = sentCount_ > 0;
  if (sent != sentSignalled_ && sentFd_ >= 0) {
    SetSignalled(sentFd_, sent);
    sentSignalled_ = sent;
  }
}

void ThreadMessageQueue::PushSent(SentMessage& message) {
  std::lock_guard lock(mutex_);
  message.next = nullptr;
  if (sentTail_ != nullptr) {
    sentTail_->next = &message;
  } else {
    sentHead_ = &message;
  }
  sentTail_ = &message;
  ++sentCount_;
  UpdateDescriptors();
  cv_.notify_one();  // the owner may be blocked in its own send
}

void ThreadMessageQueue::PushPosted(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard lock(mutex_);
  posted_.push_back(PostedMessage{hwnd, msg, wParam, lParam, nextSerial_});
  ++nextSerial_;
  UpdateDescriptors();
}

SentMessage* ThreadMessageQueue::PopSent() {
  std::lock_guard lock(mutex_);
  SentMessage* message = sentHead_;
  if (message == nullptr) {
    return nullptr;
  }
  sentHead_ = message->next;
  if (sentHead_ == nullptr) {
    sentTail_ = nullptr;
  }
  message->next = nullptr;
  --sentCount_;
  UpdateDescriptors();
  return message;
}

std::optional<PostedMessage> ThreadMessageQueue::PopPosted(uint64_t before) {
  std::lock_guard lock(mutex_);
  if (posted_.empty() || posted_.front().serial >= before) {
    return std::nullopt;
  }
  PostedMessage message = posted_.front();
  posted_.pop_front();
  UpdateDescriptors();
  return message;
}

uint64_t ThreadMessageQueue::PostedMark() {
  std::lock_guard lock(mutex_);
  return nextSerial_;
}

SentMessage* ThreadMessageQueue::Remove(HWND hwnd) {
  std::lock_guard lock(mutex_);
  SentMessage* released = nullptr;
  SentMessage** link = &sentHead_;
  sentTail_ = nullptr;
  while (*link != nullptr) {
    SentMessage* message = *link;
    if (hwnd == nullptr || message->hwnd == hwnd) {
      *link = message->next;
      message->next = released;  // the release order does not matter
      released = message;
      --sentCount_;
    } else {
      sentTail_ = message;
      link = &message->next;
    }
  }
  posted_.remove_if([hwnd](const PostedMessage& m) { return hwnd == nullptr || m.hwnd == hwnd; });
  UpdateDescriptors();
  return released;
}

bool ThreadMessageQueue::WaitForReplyOrSent(const SentMessage& message) {
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [&] { return message.done || sentHead_ != nullptr; });
  return message.done;
}

void ThreadMessageQueue::Complete(SentMessage& message, LRESULT result) {
  ThreadMessageQueue& sender = *message.sender;
  std::lock_guard lock(sender.mutex_);
  message.result = result;
  message.done = true;
  // Notify under the lock: once it is released the sender may return and its
  // thread, and so this queue, may end.
  sender.cv_.notify_one();
}

}  // namespace qzplatform
