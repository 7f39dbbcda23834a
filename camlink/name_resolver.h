// Name resolution with a time limit. getaddrinfo() cannot be cancelled and
// may wait on unreachable name servers for many seconds, so each lookup runs
// on a thread of its own while the caller waits at most its time-out. A lookup
// that overruns is left to finish: the next lookup first waits for it (within
// its own time-out), and the destructor joins it.
//
// Results are the platform's codes: errno values on POSIX; on Windows the
// Winsock codes that getaddrinfo gives (WSAHOST_NOT_FOUND for a name that
// does not resolve) and WSAETIMEDOUT. On Windows the caller has started
// Winsock before.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#endif

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace qzlink {

class NameResolver {
 public:
  NameResolver() = default;
  ~NameResolver();
  NameResolver(const NameResolver&) = delete;
  NameResolver& operator=(const NameResolver&) = delete;

  // Resolves host and port (a number) to stream socket addresses within
  // timeoutMs. 0 with *result set (free it with freeaddrinfo), ENXIO when the
  // name does not resolve, ETIMEDOUT when the lookup did not end in time,
  // or another errno value.
  int Resolve(const char* host, const char* port, int timeoutMs, addrinfo** result);

 private:
  struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    int systemError = 0;
    addrinfo* result = nullptr;
    char host[256] = {};
    char port[8] = {};
  };

  // Waits until the lookup in flight has finished or the deadline passed;
  // joins its thread when it has finished.
  bool Finish(std::chrono::steady_clock::time_point deadline);

  std::thread thread_;
  std::shared_ptr<Lookup> lookup_;
};

}  // namespace qzlink
