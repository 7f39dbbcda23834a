#include "netcontrol/rate_limiter.h"

#include <algorithm>

namespace qznet {

bool RateLimiter::Allow(const QString& key, Clock::time_point now) {
  if (perSecond_ <= 0) {
    return true;
  }
  // Buckets that are full again say nothing: forget them, so that the table
  // cannot grow without bound with the number of keys ever seen.
  if (buckets_.size() > 1024) {
    for (auto it = buckets_.begin(); it != buckets_.end();) {
      const double seconds = std::chrono::duration<double>(now - it->last).count();
      it = it->tokens + seconds * perSecond_ >= burst_ ? buckets_.erase(it) : std::next(it);
    }
  }
  auto it = buckets_.find(key);
  if (it == buckets_.end()) {
    it = buckets_.insert(key, Bucket{burst_, now});
  }
  Bucket& bucket = *it;
  const double seconds = std::chrono::duration<double>(now - bucket.last).count();
  bucket.tokens = std::min(burst_, bucket.tokens + std::max(0.0, seconds) * perSecond_);
  bucket.last = now;
  if (bucket.tokens < 1) {
    return false;
  }
  bucket.tokens -= 1;
  return true;
}

}  // namespace qznet
