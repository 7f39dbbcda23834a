#include "app/single_instance.h"

#include <QStandardPaths>

namespace qtr90x {

SingleInstance::SingleInstance(const QString& name) {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (!dir.isEmpty()) {
    path_ = dir + '/' + name + QStringLiteral(".lock");
  }
}

InstanceCheck SingleInstance::Acquire() {
  if (path_.isEmpty()) {
    return InstanceCheck::kFailed;
  }
  lock_ = std::make_unique<QLockFile>(path_);
  // A running copy keeps its lock however long it runs; only the lock of a
  // process that no longer exists is stale.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) {
    return InstanceCheck::kFirst;
  }
  return lock_->error() == QLockFile::LockFailedError ? InstanceCheck::kAlreadyRunning
                                                      : InstanceCheck::kFailed;
}

}  // namespace qtr90x
