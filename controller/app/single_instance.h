// The application runs once per user: a lock file named after the
// instance, in the user's runtime directory. A lock left by a copy that
// crashed is taken over.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace qtr90x {

enum class InstanceCheck { kFirst, kAlreadyRunning, kFailed };

class SingleInstance {
 public:
  // `name` is the instance's name ("QTR90x").
  explicit SingleInstance(const QString& name);

  // Takes the lock; held until this object goes.
  InstanceCheck Acquire();

  // Where the lock lives (empty when the runtime directory is unknown).
  QString LockPath() const { return path_; }

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;
};

}  // namespace qtr90x
