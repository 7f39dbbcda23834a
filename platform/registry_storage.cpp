// Reading and atomically replacing the registry file (see registry_storage.h).
//
// The data file is only ever replaced by rename, so a reader without the lock
// sees either the old or the new complete file. The lock lives on a separate
// "<file>.lock" that is never removed: a lock held on the data file itself
// would be lost with the inode that the rename replaces.
//
// When the store's path is a symbolic link, everything happens at the file it
// finally points to: the lock is "<target>.lock", the temporary file is made
// beside the target and renamed onto it, and a damaged target is moved aside
// beside it. The link itself is left alone and keeps seeing every change, and
// writers that reach the same file through different links (or none) share
// one lock.
#include "platform/registry_storage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>
#include <string_view>

namespace qzplatform {
namespace {

// Infix of the temporary files: "<file>.tmp-XXXXXX".
constexpr std::string_view kTempInfix = ".tmp-";

LONG ErrorFromErrno(int err, LONG fallback) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return fallback;
  }
}

std::string ParentFolder(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path names once every symbolic link on its last component is
// followed (it need not exist yet), so that the store is changed beside that
// file and a link to it keeps working. A cycle of links is left to the open,
// which fails with ELOOP.
std::string FollowLinks(std::string path) {
  constexpr int kMaxLinks = 40;  // as the kernel allows in one lookup
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
      return path;
    std::string target(PATH_MAX, '\0');
    ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<std::size_t>(n) >= target.size())
      return path;  // raced away or unreadable: the open or rename reports it
    target.resize(static_cast<std::size_t>(n));
    path = target.starts_with('/') ? target : ParentFolder(path) + "/" + target;
  }
  return path;
}

// Reads the whole file; returns 0 or the errno (ENOENT for a missing file).
int ReadFileText(const std::string& path, std::string& text) {
  text.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  int err = 0;
  char buffer[8192];
  while (true) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      err = errno;
      break;
    }
  }
  close(fd);
  return err;
}

// Creates the folder and any missing folder above it, each with mode 0700.
int MakeFolders(const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    return 0;
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    std::string prefix = folder.substr(0, slash);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
      return errno;
    if (slash == std::string::npos)
      return 0;
  }
}

// Makes a rename in the folder durable. Best effort: the rename has happened
// either way, and some file systems refuse to sync a folder.
void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  fsync(fd);
  close(fd);
}

// Holds an exclusive flock on the lock file for its lifetime. Each holder opens
// the file itself, so the lock also separates threads of one process.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      error_ = errno;
      return;
    }
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error_ = errno;
        break;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0)
      close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

// What the store last found wrong with its file, for RegistryDamage().
std::mutex damageMutex;
RegistryDamageReport lastDamage;
// Damaged read-only files already reported: they stay in place and would
// otherwise be reported again at every call.
std::set<std::string> reportedReadOnly;

// Writes the report on standard error and keeps it for RegistryDamage().
void ReportDamage(std::string copyPath, std::string message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::lock_guard lock(damageMutex);
  ++lastDamage.count;
  lastDamage.copyPath = std::move(copyPath);
  lastDamage.message = std::move(message);
}

// A file that may not be replaced: its owner has no write permission (a
// site's locked profile, mode 0444; root would be allowed to write it), or
// this process may not write it.
bool IsReadOnlyFile(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return false;
  if ((info.st_mode & S_IWUSR) == 0)
    return true;
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

std::string DamageText(const std::string& path, const RegistryParseError& error) {
  return "qzlink registry: " + path + " is damaged (line " + std::to_string(error.line) + ": " +
         error.reason + ")";
}

// Moves a file that cannot be parsed out of the way, never overwriting an
// earlier one. The caller holds the lock.
LONG MoveAside(const std::string& path, const RegistryParseError& error) {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string base = path + ".corrupt-" + stamp;
  std::string target = base;
  struct stat info;
  for (int n = 1; lstat(target.c_str(), &info) == 0; ++n)
    target = base + "-" + std::to_string(n);

  if (rename(path.c_str(), target.c_str()) != 0) {
    std::fprintf(stderr, "%s and cannot be moved to %s\n", DamageText(path, error).c_str(),
                 target.c_str());
    return ERROR_BADDB;
  }
  SyncFolder(ParentFolder(path));
  ReportDamage(target,
               DamageText(path, error) + "; moved it to " + target + " and started an empty store");
  return ERROR_SUCCESS;
}

// Reads and parses the store; a missing file is an empty store. On a read
// error or a damaged file (`damaged` set, `error` saying where) the model is
// left empty.
LONG ReadStore(const std::string& path, RegistryModel& model, RegistryParseError& error,
               bool& damaged) {
  damaged = false;
  model = RegistryModel();
  std::string text;
  if (int err = ReadFileText(path, text); err != 0)
    return err == ENOENT ? ERROR_SUCCESS : ErrorFromErrno(err, ERROR_BADDB);
  if (ParseRegistryText(text, model, error))
    return ERROR_SUCCESS;
  model = RegistryModel();
  damaged = true;
  return ERROR_BADDB;
}

// Reads the store while the caller holds the lock; a damaged file is moved
// aside. A damaged file that is read-only stays where it is (whoever locked it
// keeps it) and reads as an empty store; writes to it are refused.
LONG LoadLocked(const std::string& path, RegistryModel& model) {
  RegistryParseError error;
  bool damaged = false;
  const LONG result = ReadStore(path, model, error, damaged);
  if (!damaged)
    return result;
  if (!IsReadOnlyFile(path))
    return MoveAside(path, error);
  bool firstTime = false;
  {
    std::lock_guard lock(damageMutex);
    firstTime = reportedReadOnly.insert(path).second;
  }
  if (firstTime)
    ReportDamage({}, DamageText(path, error) +
                         " and read-only; left it in place and read it as "
                         "an empty store");
  return ERROR_SUCCESS;
}

// Removes temporary files of writers that were killed before their rename.
// Only a lock holder creates one, so while we hold the lock all are stale.
void RemoveStaleTemporaries(const std::string& path) {
  std::string prefix = path.substr(path.rfind('/') + 1);
  prefix += kTempInfix;
  DIR* dir = opendir(ParentFolder(path).c_str());
  if (dir == nullptr)
    return;
  while (dirent* entry = readdir(dir)) {
    if (std::string_view(entry->d_name).starts_with(prefix))
      unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

LONG WriteAtomically(const std::string& path, const std::string& text) {
  std::string temp = path;
  temp += kTempInfix;
  temp += "XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0)
    return ErrorFromErrno(errno, ERROR_CANTWRITE);
  int err = fchmod(fd, 0600) == 0 ? 0 : errno;
  for (std::size_t done = 0; err == 0 && done < text.size();) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n >= 0) {
      done += static_cast<std::size_t>(n);
    } else if (errno != EINTR) {
      err = errno;
    }
  }
  if (err == 0 && fsync(fd) != 0)
    err = errno;
  if (close(fd) != 0 && err == 0)
    err = errno;
  if (err == 0 && rename(temp.c_str(), path.c_str()) != 0)
    err = errno;
  if (err != 0) {
    unlink(temp.c_str());
    return ErrorFromErrno(err, ERROR_CANTWRITE);
  }
  SyncFolder(ParentFolder(path));
  return ERROR_SUCCESS;
}

}  // namespace

std::string RegistryFilePath() {
  const char* explicitPath = std::getenv("QZLINK_REGISTRY");
  if (explicitPath != nullptr && *explicitPath != '\0')
    return explicitPath;
  std::string base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config != nullptr && *config != '\0') {
    base = config;
  } else if (home != nullptr && *home != '\0') {
    base = std::string(home) + "/.config";
  } else {
    return {};
  }
  return base + "/qzlink/registry.reg";
}

LONG LoadRegistry(RegistryModel& model) {
  std::string path = RegistryFilePath();
  if (path.empty())
    return ERROR_BADDB;
  path = FollowLinks(path);
  RegistryParseError error;
  bool damaged = false;
  if (LONG result = ReadStore(path, model, error, damaged); !damaged)
    return result;
  // Look again under the lock before moving the file aside: another process
  // may have replaced or moved it meanwhile.
  FileLock lock(path + ".lock");
  if (lock.Error() != 0)
    return ErrorFromErrno(lock.Error(), ERROR_BADDB);
  return LoadLocked(path, model);
}

LONG UpdateRegistry(const std::function<LONG(RegistryModel&)>& change) {
  std::string path = RegistryFilePath();
  if (path.empty())
    return ERROR_BADDB;
  path = FollowLinks(path);
  if (int err = MakeFolders(ParentFolder(path)); err != 0) {
    return ErrorFromErrno(err, ERROR_CANTWRITE);
  }
  FileLock lock(path + ".lock");
  if (lock.Error() != 0)
    return ErrorFromErrno(lock.Error(), ERROR_CANTWRITE);

  RegistryModel model;
  LONG result = LoadLocked(path, model);
  if (result != ERROR_SUCCESS)
    return result;
  std::string before = SerializeRegistry(model);
  result = change(model);
  if (result != ERROR_SUCCESS)
    return result;
  std::string after = SerializeRegistry(model);
  if (after == before)
    return ERROR_SUCCESS;
  // The rename would replace a read-only file with a writable one.
  if (IsReadOnlyFile(path))
    return ERROR_ACCESS_DENIED;
  RemoveStaleTemporaries(path);
  return WriteAtomically(path, after);
}

RegistryDamageReport RegistryDamage() {
  std::lock_guard lock(damageMutex);
  return lastDamage;
}

}  // namespace qzplatform
