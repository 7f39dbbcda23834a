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
#include <cstring>
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

// What a store path names when it is not a regular file, "" when it is one.
std::string NotARegularFile(mode_t mode) {
  if (S_ISREG(mode))
    return {};
  if (S_ISDIR(mode))
    return "a directory";
  if (S_ISFIFO(mode))
    return "a named pipe (FIFO)";
  if (S_ISCHR(mode) || S_ISBLK(mode))
    return "a device";
  if (S_ISSOCK(mode))
    return "a socket";
  return "not a regular file";
}

// Reads the whole file; returns 0 or the errno (ENOENT for a missing file,
// also when a folder on its path is a file). Anything but a regular file is
// refused with kNotARegularFile and `kind` says what it is: opening a named pipe
// for reading would wait for a writer, a device may be a serial line.
constexpr int kNotARegularFile = -1;
int ReadFileText(const std::string& path, std::string& text, std::string& kind) {
  text.clear();
  struct stat info;
  if (stat(path.c_str(), &info) != 0)
    return errno == ENOTDIR ? ENOENT : errno;
  if (kind = NotARegularFile(info.st_mode); !kind.empty())
    return kNotARegularFile;
  // Non-blocking, in case a pipe took the file's place since the look.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  if (fstat(fd, &info) != 0 || !(kind = NotARegularFile(info.st_mode)).empty()) {
    close(fd);
    return kind.empty() ? EIO : kNotARegularFile;
  }
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
// Damaged files left in place (read-only, or not repaired) already reported:
// they would otherwise be reported again at every call.
std::set<std::string> reportedInPlace;
// Why changes cannot be stored, for RegistryStoreProblem(); each reason is
// reported once.
RegistryProblemReport lastProblem;
std::set<std::string> reportedProblems;

// Writes the report on standard error and keeps it for RegistryDamage().
void ReportDamage(std::string copyPath, std::string message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::lock_guard lock(damageMutex);
  ++lastDamage.count;
  lastDamage.copyPath = std::move(copyPath);
  lastDamage.message = std::move(message);
}

// Reports, once per reason and process, why the store cannot keep changes.
void ReportProblem(const std::string& reason) {
  {
    std::lock_guard lock(damageMutex);
    if (!reportedProblems.insert(reason).second)
      return;
    ++lastProblem.count;
    lastProblem.reason = reason;
  }
  std::fprintf(stderr, "qzlink registry: %s; changes are not stored\n", reason.c_str());
}

std::string ModeText(mode_t mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

void ReportNotARegularFile(const std::string& path, const std::string& kind) {
  ReportProblem(path + " is " + kind + ", not a regular file: it is neither read nor written");
}

void ReportSystemError(const std::string& what, int err) {
  ReportProblem(what + ": " + std::strerror(err));
}

// A file that may not be replaced: its owner has no write permission (a
// site's locked profile, mode 0444; root would be allowed to write it), or
// this process may not write it. Reports it when `report` is set.
bool IsReadOnlyFile(const std::string& path, bool report = false) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return false;
  std::string reason;
  if ((info.st_mode & S_IWUSR) == 0) {
    reason = path + " is read-only (mode " + ModeText(info.st_mode) + ")";
  } else if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) {
    reason = path + " may not be written by this user (mode " + ModeText(info.st_mode) +
             ", owner " + std::to_string(info.st_uid) + ")";
  } else {
    return false;
  }
  if (report)
    ReportProblem(reason);
  return true;
}

// "<path> is damaged (line 6: malformed value data; line 9: ...)", the first
// few lines named.
std::string DamageText(const std::string& path, const std::vector<RegistryParseError>& faults) {
  constexpr std::size_t kLinesNamed = 5;
  std::string text = "qzlink registry: " + path + " is damaged (";
  for (std::size_t i = 0; i < faults.size() && i < kLinesNamed; ++i) {
    text +=
        (i == 0 ? "line " : "; line ") + std::to_string(faults[i].line) + ": " + faults[i].reason;
  }
  if (faults.size() > kLinesNamed)
    text += "; " + std::to_string(faults.size() - kLinesNamed) + " more lines";
  return text + ")";
}

// Writes the damaged file's bytes to "<file>.corrupt-<YYYYmmdd-HHMMSS>[-n]",
// never over an earlier copy; returns its path, "" (errno set) on failure.
std::string CopyAside(const std::string& path, const std::string& text) {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = path + ".corrupt-" + stamp;
  for (int n = 0; n < 1000; ++n) {
    const std::string target = n == 0 ? base : base + "-" + std::to_string(n);
    int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST)
      continue;
    if (fd < 0)
      return {};
    int err = 0;
    for (std::size_t done = 0; err == 0 && done < text.size();) {
      ssize_t written = write(fd, text.data() + done, text.size() - done);
      if (written >= 0) {
        done += static_cast<std::size_t>(written);
      } else if (errno != EINTR) {
        err = errno;
      }
    }
    if (err == 0 && fsync(fd) != 0)
      err = errno;
    if (close(fd) != 0 && err == 0)
      err = errno;
    if (err != 0) {
      unlink(target.c_str());
      errno = err;
      return {};
    }
    return target;
  }
  errno = EEXIST;
  return {};
}

LONG WriteAtomically(const std::string& path, const std::string& text);

// Reads and parses the store; a missing file is an empty store. Lines that
// cannot be read are kept in the model and listed in `faults`; `text` is the
// file as read. A path that is not a regular file is reported and refused.
LONG ReadStore(const std::string& path, RegistryModel& model,
               std::vector<RegistryParseError>& faults, std::string& text) {
  model = RegistryModel();
  faults.clear();
  std::string kind;
  if (int err = ReadFileText(path, text, kind); err != 0) {
    if (err == kNotARegularFile) {
      ReportNotARegularFile(path, kind);
      return ERROR_BADDB;
    }
    if (err == ENOENT)
      return ERROR_SUCCESS;
    ReportSystemError(path + " cannot be read", err);
    return ErrorFromErrno(err, ERROR_BADDB);
  }
  faults = ReadRegistryText(text, model);
  return ERROR_SUCCESS;
}

// Reads the store while the caller holds the lock. A damaged file is never
// overwritten before its bytes are safe: they are copied aside, and then the
// file is replaced by what could be read, the lines that could not be read
// kept in it as comments, so that every program still knows that they are
// there (and which keys they belong to) until someone mends them. A file that
// could not be read at all leaves a comment that says where it went.
// A damaged file that is read-only stays as it is (whoever locked it keeps
// it) and reads as what could be read; `inPlace` is then set and no change
// may replace it.
LONG LoadLocked(const std::string& path, RegistryModel& model, bool& inPlace) {
  inPlace = false;
  std::vector<RegistryParseError> faults;
  std::string text;
  const LONG result = ReadStore(path, model, faults, text);
  if (result != ERROR_SUCCESS || faults.empty())
    return result;
  auto reportInPlace = [&](const std::string& why) {
    inPlace = true;
    bool firstTime = false;
    {
      std::lock_guard lock(damageMutex);
      firstTime = reportedInPlace.insert(path).second;
    }
    if (firstTime)
      ReportDamage({}, DamageText(path, faults) + why);
    return ERROR_SUCCESS;
  };
  if (IsReadOnlyFile(path))
    return reportInPlace(" and read-only; left it in place and read what could be read");

  const std::string copy = CopyAside(path, text);
  if (copy.empty()) {
    return reportInPlace(std::string(" and no copy of it can be made (") + std::strerror(errno) +
                         "); left it in place, read what could be read and store nothing");
  }
  const bool nothingRead = model.Keys().size() == 1 && !model.HasKeptLines();
  if (nothingRead)
    model.KeepLineOfNoKey("the whole file, kept as " + copy);
  if (WriteAtomically(path, SerializeRegistry(model)) != ERROR_SUCCESS) {
    unlink(copy.c_str());
    return reportInPlace(
        "; it cannot be replaced by what could be read, so it was left in place and "
        "nothing is stored");
  }
  ReportDamage(copy, DamageText(path, faults) +
                         (nothingRead ? "; kept it as " + copy + " and started an empty store"
                                      : "; kept a copy of it as " + copy +
                                            " and went on with the rest: the lines that could "
                                            "not be read stay in it as \"; unreadable\" comments"));
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
  std::vector<RegistryParseError> faults;
  std::string text;
  if (LONG result = ReadStore(path, model, faults, text); result != ERROR_SUCCESS || faults.empty())
    return result;
  // Look again under the lock before mending the file: another process may
  // have replaced or mended it meanwhile.
  FileLock lock(path + ".lock");
  if (lock.Error() != 0)
    return ErrorFromErrno(lock.Error(), ERROR_BADDB);
  bool inPlace = false;
  return LoadLocked(path, model, inPlace);
}

LONG UpdateRegistry(const std::function<LONG(RegistryModel&)>& change) {
  std::string path = RegistryFilePath();
  if (path.empty())
    return ERROR_BADDB;
  path = FollowLinks(path);
  if (int err = MakeFolders(ParentFolder(path)); err != 0) {
    ReportSystemError("the folder " + ParentFolder(path) + " cannot be made", err);
    return ErrorFromErrno(err, ERROR_CANTWRITE);
  }
  FileLock lock(path + ".lock");
  if (lock.Error() != 0) {
    ReportSystemError(path + ".lock cannot be opened", lock.Error());
    return ErrorFromErrno(lock.Error(), ERROR_CANTWRITE);
  }

  RegistryModel model;
  bool inPlace = false;
  LONG result = LoadLocked(path, model, inPlace);
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
  if (IsReadOnlyFile(path, true))
    return ERROR_ACCESS_DENIED;
  // A damaged file whose bytes are nowhere else is not replaced.
  if (inPlace)
    return ERROR_CANTWRITE;
  RemoveStaleTemporaries(path);
  result = WriteAtomically(path, after);
  if (result != ERROR_SUCCESS)
    ReportProblem(path + " cannot be written (error " + std::to_string(result) + ")");
  return result;
}

RegistryProblemReport RegistryStoreProblem() {
  std::string path = RegistryFilePath();
  if (!path.empty()) {
    path = FollowLinks(path);
    struct stat info;
    if (stat(path.c_str(), &info) == 0) {
      if (const std::string kind = NotARegularFile(info.st_mode); !kind.empty()) {
        ReportNotARegularFile(path, kind);
      } else {
        IsReadOnlyFile(path, true);
      }
    }
  }
  std::lock_guard lock(damageMutex);
  return lastProblem;
}

RegistryDamageReport RegistryDamage() {
  std::lock_guard lock(damageMutex);
  return lastDamage;
}

}  // namespace qzplatform
