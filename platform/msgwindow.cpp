// Message windows: the table of live windows, the per-thread queues that carry
// their messages, and the C functions of msgwindow.h.
//
// Locks: the window table's mutex, then (optionally) one queue's mutex; a
// queue's mutex is never held while the table's is taken, and no lock is held
// while a procedure runs. A message is pushed onto its owner's queue while the
// table's mutex is held; a thread's exit removes its windows under that mutex
// before its queue goes away, so a queue found through the table is alive.
#include "platform/msgwindow.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "platform/thread_message_queue.h"

namespace qzplatform {
namespace {

struct WindowRecord {
  WNDPROC proc;
  ThreadMessageQueue* owner;
};

// The live windows. A handle is a serial number, never reused and never
// dereferenced, so a handle of a destroyed window is simply not found.
struct WindowTable {
  std::mutex mutex;
  std::unordered_map<HWND, WindowRecord> windows;
  uintptr_t lastHandle = 0;
};

WindowTable& Windows() {
  // Never destroyed: threads may still use windows while statics are destroyed.
  static WindowTable* const table = new WindowTable;
  return *table;
}

WNDPROC ProcOf(HWND hwnd) {
  WindowTable& table = Windows();
  std::lock_guard lock(table.mutex);
  auto it = table.windows.find(hwnd);
  return it != table.windows.end() ? it->second.proc : nullptr;
}

void CompleteAll(SentMessage* chain, LRESULT result) {
  while (chain != nullptr) {
    SentMessage* next = chain->next;  // read first: Complete may end the record
    ThreadMessageQueue::Complete(*chain, result);
    chain = next;
  }
}

// The message of another thread's send that this thread is running, for
// InSendMessage and ReplyMessage. Posted messages and direct same-thread calls
// run with the enclosing state.
struct RunningSend {
  SentMessage* message;
  bool replied;
};

thread_local RunningSend* tRunning = nullptr;
thread_local bool tQuitRequested = false;
thread_local int tQuitCode = 0;
thread_local bool tThreadEnded = false;

// Owns the thread's queue; its destructor runs at thread exit and retires the
// thread's windows: they leave the table, their blocked senders get 0, their
// posted messages are dropped, and the eventfds are closed.
struct ThreadState {
  ThreadMessageQueue queue;

  ~ThreadState() {
    tThreadEnded = true;
    WindowTable& table = Windows();
    SentMessage* released;
    {
      std::lock_guard lock(table.mutex);
      std::erase_if(table.windows,
                    [this](const auto& entry) { return entry.second.owner == &queue; });
      released = queue.Remove(nullptr);
    }
    CompleteAll(released, 0);
  }
};

// The calling thread's queue, created on first use; null once the thread's
// thread-local objects are being destroyed.
ThreadMessageQueue* CurrentQueue() {
  if (tThreadEnded) {
    return nullptr;
  }
  thread_local ThreadState state;
  return &state.queue;
}

// Runs the oldest message sent to this thread. False when there is none.
bool RunOneSent(ThreadMessageQueue& queue) {
  SentMessage* message = queue.PopSent();
  if (message == nullptr) {
    return false;
  }
  WNDPROC proc = ProcOf(message->hwnd);  // null: destroyed after it was queued
  RunningSend running{message, false};
  RunningSend* outer = std::exchange(tRunning, &running);
  LRESULT result = proc ? proc(message->hwnd, message->msg, message->wParam, message->lParam) : 0;
  tRunning = outer;
  if (!running.replied) {  // after ReplyMessage the record may be gone
    ThreadMessageQueue::Complete(*message, result);
  }
  return true;
}

// Runs the oldest posted message if it arrived before serial `before`.
bool RunOnePosted(ThreadMessageQueue& queue, uint64_t before) {
  std::optional<PostedMessage> message = queue.PopPosted(before);
  if (!message) {
    return false;
  }
  if (WNDPROC proc = ProcOf(message->hwnd)) {
    RunningSend* outer = std::exchange(tRunning, nullptr);
    proc(message->hwnd, message->msg, message->wParam, message->lParam);
    tRunning = outer;
  }
  return true;
}

// Sent messages first, each time round, then the posted messages that were
// queued at entry. Posted messages that arrive meanwhile wait for the next
// call, so a procedure that keeps posting to itself cannot hold the thread.
int Dispatch(ThreadMessageQueue& queue, bool stopOnQuit) {
  const uint64_t postedEnd = queue.PostedMark();
  int count = 0;
  while (!(stopOnQuit && tQuitRequested)) {
    if (!RunOneSent(queue) && !RunOnePosted(queue, postedEnd)) {
      break;
    }
    ++count;
  }
  return count;
}

// Milliseconds left until deadline, rounded up, for poll().
int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  auto left = deadline - std::chrono::steady_clock::now();
  if (left <= left.zero()) {
    return 0;
  }
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

}  // namespace
}  // namespace qzplatform

using qzplatform::CurrentQueue;
using qzplatform::SentMessage;
using qzplatform::ThreadMessageQueue;
using qzplatform::Windows;
using qzplatform::WindowTable;

extern "C" {

HWND QzCreateMessageWindow(WNDPROC proc) {
  ThreadMessageQueue* queue = CurrentQueue();
  if (proc == nullptr || queue == nullptr || !queue->EnsureDescriptors()) {
    return nullptr;
  }
  WindowTable& table = Windows();
  std::lock_guard lock(table.mutex);
  HWND hwnd = reinterpret_cast<HWND>(++table.lastHandle);
  try {
    table.windows.emplace(hwnd, qzplatform::WindowRecord{proc, queue});
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return hwnd;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ThreadMessageQueue* self = CurrentQueue();
  if (self == nullptr) {
    return 0;
  }
  SentMessage message{hwnd, msg, wParam, lParam, self};
  WNDPROC direct = nullptr;
  {
    WindowTable& table = Windows();
    std::lock_guard lock(table.mutex);
    auto it = table.windows.find(hwnd);
    if (it == table.windows.end()) {
      return 0;
    }
    if (it->second.owner == self) {
      direct = it->second.proc;
    } else {
      it->second.owner->PushSent(message);
    }
  }
  if (direct != nullptr) {
    return direct(hwnd, msg, wParam, lParam);
  }
  while (!self->WaitForReplyOrSent(message)) {
    qzplatform::RunOneSent(*self);
  }
  return message.result;  // written before `done`, under the mutex we waited on
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowTable& table = Windows();
  std::lock_guard lock(table.mutex);
  auto it = table.windows.find(hwnd);
  if (it == table.windows.end()) {
    return FALSE;
  }
  try {
    it->second.owner->PushPosted(hwnd, msg, wParam, lParam);
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
  return TRUE;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR newValue) {
  if (index != GWLP_WNDPROC || newValue == 0) {
    return 0;
  }
  WindowTable& table = Windows();
  std::lock_guard lock(table.mutex);
  auto it = table.windows.find(hwnd);
  if (it == table.windows.end()) {
    return 0;
  }
  WNDPROC previous = std::exchange(it->second.proc, reinterpret_cast<WNDPROC>(newValue));
  return reinterpret_cast<LONG_PTR>(previous);
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
  if (index != GWLP_WNDPROC) {
    return 0;
  }
  return reinterpret_cast<LONG_PTR>(qzplatform::ProcOf(hwnd));
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

BOOL DestroyWindow(HWND hwnd) {
  SentMessage* released;
  {
    WindowTable& table = Windows();
    std::lock_guard lock(table.mutex);
    auto it = table.windows.find(hwnd);
    if (it == table.windows.end()) {
      return FALSE;
    }
    ThreadMessageQueue* owner = it->second.owner;
    table.windows.erase(it);
    released = owner->Remove(hwnd);
  }
  qzplatform::CompleteAll(released, 0);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  WindowTable& table = Windows();
  std::lock_guard lock(table.mutex);
  return table.windows.count(hwnd) != 0 ? TRUE : FALSE;
}

BOOL InSendMessage(void) {
  return qzplatform::tRunning != nullptr && !qzplatform::tRunning->replied ? TRUE : FALSE;
}

const void* QzCurrentThreadToken(void) {
  return qzplatform::CurrentQueue();
}

BOOL QzInSendMessageFrom(const void* threadToken) {
  const qzplatform::RunningSend* running = qzplatform::tRunning;
  return running != nullptr && !running->replied && threadToken != nullptr &&
                 running->message->sender == threadToken
             ? TRUE
             : FALSE;
}

BOOL ReplyMessage(LRESULT result) {
  qzplatform::RunningSend* running = qzplatform::tRunning;
  if (running == nullptr || running->replied) {
    return FALSE;
  }
  running->replied = true;
  ThreadMessageQueue::Complete(*running->message, result);
  return TRUE;
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

int QzMessageWakeFd(void) {
  ThreadMessageQueue* queue = CurrentQueue();
  if (queue == nullptr || !queue->EnsureDescriptors()) {
    return -1;
  }
  return queue->WakeFd();
}

int QzDispatchMessages(void) {
  ThreadMessageQueue* queue = CurrentQueue();
  return queue != nullptr ? qzplatform::Dispatch(*queue, false) : 0;
}

int QzRunMessageLoop(void) {
  ThreadMessageQueue* queue = CurrentQueue();
  if (queue == nullptr || !queue->EnsureDescriptors()) {
    return -1;
  }
  for (;;) {
    qzplatform::Dispatch(*queue, true);
    if (qzplatform::tQuitRequested) {
      break;
    }
    pollfd wake{queue->WakeFd(), POLLIN, 0};
    if (poll(&wake, 1, -1) < 0 && errno != EINTR) {
      return -1;
    }
  }
  qzplatform::tQuitRequested = false;
  return qzplatform::tQuitCode;
}

void QzQuitMessageLoop(int exitCode) {
  qzplatform::tQuitRequested = true;
  qzplatform::tQuitCode = exitCode;
}

int QzMsgWaitForFd(int fd, int timeoutMs) {
  if (fd < 0) {
    errno = EBADF;
    return -1;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  ThreadMessageQueue* queue = CurrentQueue();
  for (;;) {
    if (queue != nullptr) {
      while (qzplatform::RunOneSent(*queue)) {
      }
    }
    // Without descriptors the thread has no windows, so nothing can be sent to
    // it; poll skips the negative fd.
    const int sentFd = queue != nullptr ? queue->SentFd() : -1;
    pollfd fds[2] = {{fd, POLLIN, 0}, {sentFd, POLLIN, 0}};
    int n = poll(fds, 2, timeoutMs < 0 ? -1 : qzplatform::MillisecondsLeft(deadline));
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return -1;
    }
    if (fds[0].revents & POLLNVAL) {
      errno = EBADF;
      return -1;
    }
    if (fds[0].revents != 0) {
      return 1;  // readable, or hung up or failed: a read will not block
    }
    if (n == 0) {
      return 0;
    }
  }
}

}  // extern "C"
