#include "camlink/name_resolver.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace qzlink {

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
    return ETIMEDOUT;
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
    return ETIMEDOUT;
  }
  *result = std::exchange(lookup_->result, nullptr);
  switch (lookup_->status) {
    case 0:
      return 0;
    case EAI_AGAIN:
      return EAGAIN;
    case EAI_MEMORY:
      return ENOMEM;
    case EAI_SYSTEM:
      return lookup_->systemError != 0 ? lookup_->systemError : EIO;
    default:
      return ENXIO;  // the name does not resolve: no such address
  }
}

}  // namespace qzlink
