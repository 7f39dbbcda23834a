#include "camlink/name_resolver.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace qzlink {

namespace {

#ifdef _WIN32
constexpr int kLookupTimedOut = WSAETIMEDOUT;
#else
constexpr int kLookupTimedOut = ETIMEDOUT;
#endif

// The lookup's result as the platform's code.
int LookupError(int status, int systemError) {
#ifdef _WIN32
  // getaddrinfo's results are Winsock codes themselves.
  static_cast<void>(systemError);
  return status;
#else
  switch (status) {
    case 0:
      return 0;
    case EAI_AGAIN:
      return EAGAIN;
    case EAI_MEMORY:
      return ENOMEM;
    case EAI_SYSTEM:
      return systemError != 0 ? systemError : EIO;
    default:
      return ENXIO;  // the name does not resolve: no such address
  }
#endif
}

}  // namespace

NameResolver::~NameResolver() {
  if (thread_.joinable()) {
    thread_.join();
  }
  if (lookup_ != nullptr && lookup_->result != nullptr) {
    freeaddrinfo(lookup_->result);
  }
}

bool NameResolver::Finish(std::chrono::steady_clock::time_point deadline) {
  if (!thread_.joinable()) {
    return true;
  }
  {
    std::unique_lock lock(lookup_->mutex);
    if (!lookup_->done.wait_until(lock, deadline, [this] { return lookup_->finished; })) {
      return false;
    }
  }
  thread_.join();
  return true;
}

int NameResolver::Resolve(const char* host, const char* port, int timeoutMs, addrinfo** result) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // A lookup abandoned earlier must end before another starts.
  if (!Finish(deadline)) {
    return kLookupTimedOut;
  }
  if (lookup_ != nullptr && lookup_->result != nullptr) {
    freeaddrinfo(lookup_->result);
  }
  lookup_ = std::make_shared<Lookup>();
  std::strncpy(lookup_->host, host, sizeof lookup_->host - 1);
  std::strncpy(lookup_->port, port, sizeof lookup_->port - 1);
  try {
    thread_ = std::thread([lookup = lookup_] {
      addrinfo hints{};
      hints.ai_family = AF_UNSPEC;
      hints.ai_socktype = SOCK_STREAM;
      hints.ai_flags = AI_NUMERICSERV;
      addrinfo* found = nullptr;
      const int status = getaddrinfo(lookup->host, lookup->port, &hints, &found);
      const int systemError = errno;
      std::lock_guard lock(lookup->mutex);
      lookup->status = status;
      lookup->systemError = systemError;
      lookup->result = found;
      lookup->finished = true;
      lookup->done.notify_all();
    });
  } catch (const std::system_error& e) {
    lookup_.reset();
    return e.code().value() != 0 ? e.code().value() : EAGAIN;
  }
  if (!Finish(deadline)) {
    return kLookupTimedOut;
  }
  *result = std::exchange(lookup_->result, nullptr);
  return LookupError(lookup_->status, lookup_->systemError);
}

}  // namespace qzlink
