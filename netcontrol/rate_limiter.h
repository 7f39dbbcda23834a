// Requests per client: a token bucket per key (the peer's address), so one
// chatty or hostile client cannot take the server from the others.
#pragma once

#include <QHash>
#include <QString>

#include <chrono>

namespace qznet {

class RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  RateLimiter(double perSecond, double burst) : perSecond_(perSecond), burst_(burst) {}

  // True when the key may make one more request now.
  bool Allow(const QString& key, Clock::time_point now);

 private:
  struct Bucket {
    double tokens = 0;
    Clock::time_point last;
  };
  double perSecond_;
  double burst_;
  QHash<QString, Bucket> buckets_;
};

}  // namespace qznet
