// The registry functions against real files: round trips, buffer handling,
// key life cycle, and several processes changing the store at once.
#include "platform/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry_file.h"

namespace qzplatform {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

LONG SetSz(HKEY key, const char* name, const std::string& text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

LONG SetDw(HKEY key, const char* name, DWORD number) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
}

// A value's type and bytes, or the error code alone.
struct Read {
  LONG result = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  std::string bytes;
};
Read Query(HKEY key, const char* name) {
  Read read;
  DWORD size = 0;
  read.result = RegQueryValueExA(key, name, nullptr, &read.type, nullptr, &size);
  if (read.result != ERROR_SUCCESS)
    return read;
  read.bytes.resize(size);
  read.result = RegQueryValueExA(key, name, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(read.bytes.data()), &size);
  return read;
}

HKEY Create(HKEY parent, const char* path, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(
      RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
      ERROR_SUCCESS)
      << path;
  return key;
}

HKEY Open(const char* path, DWORD access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, access, &key), ERROR_SUCCESS) << path;
  return key;
}

// QzRegistryGetDamageReport with buffers large enough.
struct DamageReport {
  LONG result = ERROR_SUCCESS;
  DWORD count = 0;
  std::string copyPath;
  std::string message;
};
DamageReport GetDamageReport() {
  DamageReport report;
  DWORD pathSize = 0;
  DWORD messageSize = 0;
  report.result =
      QzRegistryGetDamageReport(&report.count, nullptr, &pathSize, nullptr, &messageSize);
  if (report.result != ERROR_SUCCESS)
    return report;
  std::string path(pathSize, '?');
  std::string message(messageSize, '?');
  report.result =
      QzRegistryGetDamageReport(nullptr, path.data(), &pathSize, message.data(), &messageSize);
  report.copyPath = path.c_str();
  report.message = message.c_str();
  return report;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = fs::temp_directory_path() / "qzreg-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    file_ = dir_ + "/conf/registry.reg";  // the store creates "conf" itself
    setenv("QZLINK_REGISTRY", file_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The store file as it is on disk, parsed without any repair.
  RegistryModel ParseFile() {
    RegistryModel model;
    RegistryParseError error;
    EXPECT_TRUE(ParseRegistryText(ReadBytes(file_), model, error)) << "line " << error.line;
    return model;
  }

  std::vector<std::string> FilesContaining(const std::string& part) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir_ + "/conf")) {
      if (entry.path().string().find(part) != std::string::npos)
        found.push_back(entry.path());
    }
    return found;
  }

  std::string dir_;
  std::string file_;
};

TEST_F(RegistryTest, RoundTripsThroughThePrivateFile) {
  const char* path = "Software\\Orveda\\1.0\\Odd \"key\" = [x\\\xC3\xBC";
  const std::pair<std::string, std::string> texts[] = {
      {"Preset1", "Door"},
      {"with \"quotes\"", "say \"cheese\""},
      {"back\\slash\\", "C:\\dir\\"},
      {"a=b [c]", "[HKEY_CURRENT_USER\\Not\\A\\Key]"},
      {"\xC3\xBC", "\xE6\x97\xA5 \xF0\x9F\x93\xB7"},
      {"", "default"}};
  HKEY key = Create(HKEY_CURRENT_USER, path);
  for (const auto& [name, text] : texts)
    ASSERT_EQ(SetSz(key, name.c_str(), text), ERROR_SUCCESS);
  ASSERT_EQ(SetDw(key, "Number", 0x89abcdef), ERROR_SUCCESS);
  // A text without a terminator within cbData is cut there and stored with one.
  ASSERT_EQ(RegSetValueExA(key, "Cut", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcdef"), 3),
            ERROR_SUCCESS);
  ASSERT_EQ(SetSz(key, "PRESET1", "Window"), ERROR_SUCCESS);  // same value, first spelling kept
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  std::string upper = path;
  upper.replace(0, 8, "SOFTWARE");
  key = Open(upper.c_str(), KEY_READ);
  for (const auto& [name, text] : texts) {
    Read read = Query(key, name.c_str());
    EXPECT_EQ(read.result, ERROR_SUCCESS);
    EXPECT_EQ(read.type, DWORD{REG_SZ});
    EXPECT_EQ(read.bytes, (name == "Preset1" ? "Window" : text) + '\0') << name;
  }
  EXPECT_EQ(Query(key, "Cut").bytes, std::string("abc", 4));
  Read number = Query(key, "number");
  EXPECT_EQ(number.type, DWORD{REG_DWORD});
  EXPECT_EQ(number.bytes, "\xef\xcd\xab\x89");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  EXPECT_EQ(ParseFile().FindValue(path, "preset1")->name, "Preset1");
  EXPECT_TRUE(ReadBytes(file_).starts_with("Windows Registry Editor Version 5.00\n\n"));
  struct stat info;
  ASSERT_EQ(stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((dir_ + "/conf").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(RegistryTest, QueryReportsSizesAndNeverWritesPastTheBuffer) {
  HKEY key = Create(HKEY_CURRENT_USER, "Q");
  const BYTE bytes[] = {9, 8, 7, 6, 5, 4};
  ASSERT_EQ(SetSz(key, "Text", "Door"), ERROR_SUCCESS);
  ASSERT_EQ(SetDw(key, "Number", 7), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Bytes", 0, REG_BINARY, bytes, sizeof bytes), ERROR_SUCCESS);
  for (auto [name, needed] :
       {std::pair{"Text", 5u}, std::pair{"Number", 4u}, std::pair{"Bytes", 6u}}) {
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, needed) << name;
    for (DWORD capacity = 0; capacity <= needed; ++capacity) {
      std::vector<BYTE> buffer(capacity + 4, 0xA5);  // guard bytes after the buffer
      size = capacity;
      LONG r = RegQueryValueExA(key, name, nullptr, nullptr, buffer.data(), &size);
      EXPECT_EQ(r, capacity < needed ? ERROR_MORE_DATA : ERROR_SUCCESS) << name << capacity;
      EXPECT_EQ(size, needed);
      EXPECT_TRUE(
          std::all_of(buffer.begin() + capacity, buffer.end(), [](BYTE b) { return b == 0xA5; }))
          << name << capacity;
    }
  }
  EXPECT_EQ(Query(key, "Missing").result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(key, nullptr).result, ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryTest, KeysAreOpenedCreatedEnumeratedAndDeleted) {
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A\\B", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_FALSE(fs::exists(file_)) << "opening must not create anything";

  DWORD disposition = 0;
  RegCloseKey(Create(HKEY_CURRENT_USER, "A\\B\\C", &disposition));
  EXPECT_EQ(disposition, DWORD{REG_CREATED_NEW_KEY});
  HKEY a = Open("a");
  HKEY b = Open("A\\b");
  HKEY c = Create(a, "b\\c", &disposition);
  EXPECT_EQ(disposition, DWORD{REG_OPENED_EXISTING_KEY});
  RegCloseKey(Create(b, "zeta"));
  RegCloseKey(Create(b, "Alpha"));
  ASSERT_EQ(SetSz(b, "z", "last"), ERROR_SUCCESS);
  ASSERT_EQ(SetDw(b, "a", 1), ERROR_SUCCESS);

  auto enumerate = [&](bool values) {
    std::vector<std::string> names;
    char name[8];
    for (DWORD i = 0, length = sizeof name;; ++i, length = sizeof name) {
      LONG r = values ? RegEnumValueA(b, i, name, &length, nullptr, nullptr, nullptr, nullptr)
                      : RegEnumKeyExA(b, i, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (r != ERROR_SUCCESS)
        return r == ERROR_NO_MORE_ITEMS ? names : std::vector<std::string>{};
      names.emplace_back(name, length);
    }
  };
  EXPECT_EQ(enumerate(false), (std::vector<std::string>{"Alpha", "C", "zeta"}));
  EXPECT_EQ(enumerate(true), (std::vector<std::string>{"z", "a"}));
  char name[5];
  DWORD length = sizeof name;  // "Alpha" needs 6
  EXPECT_EQ(RegEnumKeyExA(b, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  BYTE data[2];
  DWORD size = sizeof data;
  length = sizeof name;
  EXPECT_EQ(RegEnumValueA(b, 0, name, &length, nullptr, nullptr, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);

  EXPECT_EQ(RegDeleteValueA(b, "Z"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(b, "z"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(enumerate(true), (std::vector<std::string>{"a"}));

  // A handle whose key goes away fails cleanly and can still be closed.
  EXPECT_EQ(RegDeleteTreeA(a, "B\\C"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(a, "B\\C"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(SetSz(c, "x", "y"), ERROR_KEY_DELETED);
  EXPECT_EQ(Query(c, "x").result, ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(c), ERROR_SUCCESS);

  // Without a sub-key the tree below is cleared and the key stays.
  EXPECT_EQ(RegDeleteTreeA(b, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(enumerate(false), std::vector<std::string>{});
  EXPECT_EQ(enumerate(true), std::vector<std::string>{});
  EXPECT_TRUE(ParseFile().HasKey("A\\B"));
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "a"), ERROR_SUCCESS);
  EXPECT_EQ(RegCreateKeyExA(b, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &c, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_FALSE(ParseFile().HasKey("A"));
  RegCloseKey(a);
  RegCloseKey(b);
}

TEST_F(RegistryTest, RefusesBadHandlesArgumentsAndRights) {
  HKEY rw = Create(HKEY_CURRENT_USER, "K");
  HKEY ro = Open("K", KEY_READ);
  HKEY wo = Open("K", KEY_WRITE);
  HKEY closed = Open("K");
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  HKEY out = nullptr;
  BYTE data[4] = {};
  DWORD size = sizeof data;
  auto create = [&](const char* path) {
    return RegCreateKeyExA(rw, path, 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr);
  };
  const std::string before = ReadBytes(file_);
  const std::pair<std::function<LONG()>, LONG> cases[] = {
      {[&] { return RegOpenKeyExA(nullptr, "K", 0, KEY_READ, &out); }, ERROR_INVALID_HANDLE},
      {[&] { return RegOpenKeyExA(HKEY(uintptr_t{0x80000002}), "", 0, 0, &out); },
       ERROR_INVALID_HANDLE},
      {[&] { return SetDw(closed, "x", 1); }, ERROR_INVALID_HANDLE},
      {[&] { return RegCloseKey(closed); }, ERROR_INVALID_HANDLE},
      {[&] { return RegCloseKey(HKEY_CURRENT_USER); }, ERROR_SUCCESS},
      {[&] { return RegOpenKeyExA(rw, "", 0, KEY_READ, nullptr); }, ERROR_INVALID_PARAMETER},
      {[&] { return RegQueryValueExA(rw, "v", nullptr, nullptr, data, nullptr); },
       ERROR_INVALID_PARAMETER},
      {[&] { return create("a\\\\b"); }, ERROR_INVALID_PARAMETER},
      {[&] { return create("a\\"); }, ERROR_INVALID_PARAMETER},
      {[&] { return create("a]"); }, ERROR_INVALID_PARAMETER},
      {[&] { return SetSz(rw, "v", "two\nlines"); }, ERROR_INVALID_PARAMETER},
      {[&] { return SetSz(rw, "v\r", "x"); }, ERROR_INVALID_PARAMETER},
      {[&] { return RegSetValueExA(rw, "v", 0, REG_DWORD, data, 3); }, ERROR_INVALID_PARAMETER},
      {[&] { return SetDw(ro, "v", 1); }, ERROR_ACCESS_DENIED},
      {[&] { return RegDeleteTreeA(ro, nullptr); }, ERROR_ACCESS_DENIED},
      {[&] { return RegQueryValueExA(wo, "v", nullptr, nullptr, data, &size); },
       ERROR_ACCESS_DENIED},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].first(), cases[i].second) << "case " << i;
  }
  EXPECT_EQ(ReadBytes(file_), before) << "a refused call must not change the file";
  for (HKEY key : {rw, ro, wo})
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, FileLocationFollowsTheEnvironment) {
  // {QZLINK_REGISTRY, XDG_CONFIG_HOME, HOME (null: unset), file}; folders below dir_.
  const char* cases[][4] = {
      {nullptr, "xdg", "home", "xdg/qzlink/registry.reg"},
      {"", "", "home", "home/.config/qzlink/registry.reg"},
      {nullptr, nullptr, "home2", "home2/.config/qzlink/registry.reg"},
  };
  const char* names[] = {"QZLINK_REGISTRY", "XDG_CONFIG_HOME", "HOME"};
  std::optional<std::string> saved[3];
  for (int i = 0; i < 3; ++i) {
    if (const char* value = std::getenv(names[i]))
      saved[i] = value;
  }
  for (const auto& c : cases) {
    for (int i = 0; i < 3; ++i) {
      c[i] ? setenv(names[i], *c[i] != '\0' ? (dir_ + "/" + c[i]).c_str() : "", 1)
           : unsetenv(names[i]);
    }
    RegCloseKey(Create(HKEY_CURRENT_USER, "Where"));
    EXPECT_TRUE(fs::exists(dir_ + "/" + c[3])) << c[3];
  }
  for (int i = 0; i < 3; ++i)
    saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}

// A value text that shows whether a value was written whole.
std::string KillTestText(std::size_t i) {
  return std::string(40 + i % 60, char('a' + i % 26)) + "|";
}

TEST_F(RegistryTest, KilledWriterNeverLeavesADamagedFile) {
  RegCloseKey(Create(HKEY_CURRENT_USER, "Kill"));
  std::mt19937 random(20240611);
  std::size_t written = 0;
  for (int round = 0; round < 8; ++round) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Sets V<n>, V<n+1>, ... until killed; reports its first write.
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, "Kill", 0, KEY_ALL_ACCESS, &key) != 0)
        _exit(1);
      for (std::size_t i = written;; ++i) {
        if (SetSz(key, ("V" + std::to_string(i)).c_str(), KillTestText(i)) != 0)
          _exit(2);
        if (i == written && write(pipeFds[1], "w", 1) != 1)
          _exit(3);
      }
    }
    close(pipeFds[1]);
    char started = 0;
    EXPECT_EQ(read(pipeFds[0], &started, 1), 1);
    close(pipeFds[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 15000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself, status " << status;

    // The file parses as it is and holds V0 .. Vn-1, each whole.
    RegistryModel model = ParseFile();
    const std::vector<RegistryValue>* values = model.Values("Kill");
    ASSERT_NE(values, nullptr);
    ASSERT_GT(values->size(), written);
    for (std::size_t i = 0; i < values->size(); ++i) {
      ASSERT_EQ((*values)[i].name, "V" + std::to_string(i));
      ASSERT_EQ(std::string((*values)[i].data.begin(), (*values)[i].data.end()),
                KillTestText(i) + '\0');
    }
    written = values->size();
  }
  EXPECT_TRUE(FilesContaining(".corrupt-").empty());
  // Temporary files of killed writers are gone after the next change.
  EXPECT_EQ(SetSz(HKEY_CURRENT_USER, "after", "ok"), ERROR_SUCCESS);
  EXPECT_TRUE(FilesContaining(".tmp-").empty());
}

// Sets count values named <tag><i> through a handle of its own.
bool WriteTaggedValues(const std::string& tag, int count) {
  HKEY key = nullptr;
  bool ok = RegOpenKeyExA(HKEY_CURRENT_USER, "Shared", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
  for (int i = 0; i < count && ok; ++i)
    ok = SetDw(key, (tag + std::to_string(i)).c_str(), i) == 0;
  return RegCloseKey(key) == ERROR_SUCCESS && ok;
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
  RegCloseKey(Create(HKEY_CURRENT_USER, "Shared"));
  const std::pair<std::string, int> writers[] = {{"P", 100}, {"Q", 100}, {"T", 25}, {"U", 25}};
  std::vector<pid_t> children;
  for (int i = 0; i < 2; ++i) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
      _exit(WriteTaggedValues(writers[i].first, writers[i].second) ? 0 : 1);
    children.push_back(child);
  }
  // Threads of one process, each with its own handle, share the store as well.
  bool threadOk[2] = {};
  std::thread t0([&] { threadOk[0] = WriteTaggedValues(writers[2].first, writers[2].second); });
  std::thread t1([&] { threadOk[1] = WriteTaggedValues(writers[3].first, writers[3].second); });
  t0.join();
  t1.join();
  EXPECT_TRUE(threadOk[0] && threadOk[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }

  HKEY key = Open("Shared", KEY_READ);
  for (const auto& [tag, count] : writers) {
    for (int i = 0; i < count; ++i) {
      DWORD value = static_cast<DWORD>(i);
      std::string expected(reinterpret_cast<const char*>(&value), 4);
      ASSERT_EQ(Query(key, (tag + std::to_string(i)).c_str()).bytes, expected) << tag << i;
    }
  }
  RegCloseKey(key);
  EXPECT_EQ(ParseFile().Values("Shared")->size(), 250u);
}

// A store reached through a symbolic link is changed where the link points:
// the link stays a link and its target sees every change.
TEST_F(RegistryTest, WritesThroughSymbolicLinks) {
  fs::create_directories(dir_ + "/conf");
  fs::create_directories(dir_ + "/real");
  const std::string target = dir_ + "/real/store.reg";
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // {link, points to}
    bool targetExists;
  };
  const Case cases[] = {
      {"relative link", {{file_, "../real/store.reg"}}, true},
      {"chain of two", {{file_, dir_ + "/hop"}, {dir_ + "/hop", "real/store.reg"}}, true},
      {"dangling link", {{file_, target}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& [link, to] : c.links)
      fs::create_symlink(to, link);
    if (c.targetExists) {
      std::ofstream(target, std::ios::binary)
          << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Old]\n";
    }

    HKEY key = Create(HKEY_CURRENT_USER, "New");
    EXPECT_EQ(SetSz(key, "v", c.what), ERROR_SUCCESS);
    RegCloseKey(key);

    for (const auto& [link, to] : c.links)
      EXPECT_TRUE(fs::is_symlink(link)) << link;
    RegistryModel model;
    RegistryParseError error;
    ASSERT_TRUE(ParseRegistryText(ReadBytes(target), model, error)) << error.reason;
    EXPECT_EQ(model.HasKey("Old"), c.targetExists);
    const RegistryValue* v = model.FindValue("New", "v");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::string(v->data.begin(), v->data.end() - 1), c.what);
    EXPECT_TRUE(fs::exists(target + ".lock"));
    EXPECT_TRUE(FilesContaining(".tmp-").empty());
    EXPECT_TRUE(FilesContaining(".lock").empty()) << "the lock belongs beside the target";

    for (const auto& [link, to] : c.links)
      fs::remove(link);
    fs::remove(target);
  }
}

// QzRegistryCheckValueRead of a value of a key.
LONG CheckRead(const char* key, const char* name) {
  char why[512];
  return QzRegistryCheckValueRead(HKEY_CURRENT_USER, key, name, why, sizeof why);
}

// A damaged file is read as far as it can be, its bytes are kept aside before
// anything replaces it, and the lines it could not read stay in the store, so
// that no program takes a value they may hold for missing.
TEST_F(RegistryTest, DamagedFileIsCopiedAsideAndReadAsFarAsItCan) {
  const DWORD countBefore = GetDamageReport().count;
  const std::string header = "Windows Registry Editor Version 5.00\n\n";
  struct Case {
    const char* what;
    std::string text;
    std::size_t line;       // the first line named in the report
    bool xRead;             // key X and its value "good" were read
    const char* unreadKey;  // a value of this key may be unread: "lost" and "good"...
    const char* unreadName;
    const char* soundName;  // ...but not this one (nullptr: any value of the key)
    bool everyKey;          // any value of any key may be unread
  };
  const Case cases[] = {
      {"a malformed value", header + "[HKEY_CURRENT_USER\\X]\n\"good\"=\"1\"\n\"lost\"=dword:zz\n",
       5, true, "X", "lost", "good", false},
      {"a value cut after its quote",
       header + "[HKEY_CURRENT_USER\\X]\n\"good\"=\"1\"\n\"lost\"=\"cut\"", 5, true, "X", "lost",
       "good", false},
      {"a byte list cut between two bytes",
       header + "[HKEY_CURRENT_USER\\X]\n\"good\"=\"1\"\n\"lost\"=hex:01,\\\n  02", 5, true, "X",
       "lost", "good", false},
      {"a later line that may replace a value read",
       header + "[HKEY_CURRENT_USER\\X]\n\"good\"=\"1\"\n\"good\"=hex:zz\n", 5, true, "X", "good",
       "other", false},
      {"a value without a name", header + "[HKEY_CURRENT_USER\\X]\n\"good\"=\"1\"\n=\"1\"\n", 5,
       true, "X", "anything", nullptr, false},
      {"a section that cannot be read",
       header + "[HKEY_CURRENT_USER\\X]\n\"good\"=\"1\"\n[HKEY_CURRENT_USER\\Y\n\"lost\"=\"2\"\n",
       5, true, "Z", "lost", nullptr, true},
      {"no registry file at all", "PK\x03\x04 binary\n", 1, false, "X", "good", nullptr, true},
  };
  DWORD count = countBefore;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::create_directories(dir_ + "/conf");
    for (const std::string& old : FilesContaining(".corrupt-"))
      fs::remove(old);
    std::ofstream(file_, std::ios::binary) << c.text;
    testing::internal::CaptureStderr();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "X", 0, KEY_READ, &key),
              c.xRead ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    if (c.xRead) {
      EXPECT_EQ(Query(key, "good").bytes, std::string("1", 2));
      RegCloseKey(key);
    }
    // Read again, by this process: nothing new to tell, no second copy.
    EXPECT_EQ(CheckRead(c.unreadKey, c.unreadName), ERROR_INVALID_DATA);
    const std::string message = testing::internal::GetCapturedStderr();

    const std::vector<std::string> aside = FilesContaining(".corrupt-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadBytes(aside[0]), c.text) << "the damaged bytes must be kept";
    EXPECT_TRUE(aside[0].starts_with(file_ + ".corrupt-")) << aside[0];
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    for (const std::string& part : {file_ + " ", aside[0], "line " + std::to_string(c.line)})
      EXPECT_NE(message.find(part), std::string::npos) << message;
    const DamageReport report = GetDamageReport();
    EXPECT_EQ(report.count, ++count);
    EXPECT_EQ(report.copyPath, aside[0]);
    EXPECT_EQ(report.message + "\n", message);

    // The store file reads in full now; what it could not read stays in it,
    // for every program, until the value is set again.
    const std::string mended = ReadBytes(file_);
    EXPECT_NE(mended.find("; unreadable"), std::string::npos) << mended;
    if (c.soundName != nullptr) {
      EXPECT_EQ(CheckRead(c.unreadKey, c.soundName), ERROR_SUCCESS);
    }
    EXPECT_EQ(CheckRead("Elsewhere", "v"), c.everyKey ? ERROR_INVALID_DATA : ERROR_SUCCESS);
    HKEY fresh = Create(HKEY_CURRENT_USER, c.unreadKey);
    EXPECT_EQ(SetSz(fresh, c.unreadName, "set again"), ERROR_SUCCESS);
    RegCloseKey(fresh);
    EXPECT_EQ(CheckRead(c.unreadKey, c.unreadName),
              c.soundName != nullptr ? ERROR_SUCCESS : ERROR_INVALID_DATA);
    EXPECT_EQ(GetDamageReport().count, count) << "told once";
    EXPECT_EQ(FilesContaining(".corrupt-").size(), 1u);
    fs::remove(file_);
  }
}

// A store that cannot keep changes says why, once per reason: a read-only
// file (with its mode), a path that is no regular file, which is never opened
// (a named pipe would block the reader until some writer came).
TEST_F(RegistryTest, AStoreThatCannotKeepChangesSaysWhyOnce) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    const char* reason;
    LONG readResult;  // QzRegistryCheckValueRead
  };
  const Case cases[] = {
      {"read-only file",
       [](const std::string& path) {
         std::ofstream(path) << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n";
         chmod(path.c_str(), 0444);
       },
       "is read-only (mode 0444)", ERROR_SUCCESS},
      {"directory", [](const std::string& path) { fs::create_directories(path); },
       "is a directory, not a regular file", ERROR_BADDB},
      {"named pipe", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); },
       "is a named pipe (FIFO), not a regular file", ERROR_BADDB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir_ + "/" + c.what + ".reg";
    setenv("QZLINK_REGISTRY", path.c_str(), 1);
    DWORD before = 0;
    QzRegistryGetStoreProblem(&before, nullptr, nullptr);
    c.make(path);
    alarm(20);  // a blocking open fails the test instead of hanging it
    testing::internal::CaptureStderr();
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_ALL_ACCESS, &key);
    for (int i = 0; i < 2; ++i) {
      EXPECT_NE(SetDw(opened == ERROR_SUCCESS ? key : HKEY_CURRENT_USER, "v", 1), ERROR_SUCCESS);
    }
    EXPECT_EQ(CheckRead("K", "v"), c.readResult);
    const std::string message = testing::internal::GetCapturedStderr();
    alarm(0);
    if (opened == ERROR_SUCCESS)
      RegCloseKey(key);

    DWORD count = 0;
    char reason[512];
    DWORD size = sizeof reason;
    ASSERT_EQ(QzRegistryGetStoreProblem(&count, reason, &size), ERROR_SUCCESS);
    EXPECT_EQ(count, before + 1) << "one reason, told once";
    EXPECT_EQ(std::string(reason),
              path + " " + c.reason +
                  std::string(reason).substr(path.size() + 1 + std::strlen(c.reason)));
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_NE(message.find(path + " " + c.reason), std::string::npos) << message;
  }
}

// The report's buffers: sizes asked with null buffers, too small a buffer gets
// nothing (either buffer), a buffer without its size is refused.
TEST_F(RegistryTest, DamageReportHandsOutItsTextsSafely) {
  std::filesystem::create_directories(dir_ + "/conf");
  std::ofstream(file_, std::ios::binary) << "not a registry file\n";
  testing::internal::CaptureStderr();
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "X", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  testing::internal::GetCapturedStderr();
  const DamageReport full = GetDamageReport();
  ASSERT_EQ(full.result, ERROR_SUCCESS);
  ASSERT_FALSE(full.copyPath.empty());

  struct Case {
    const char* what;
    DWORD pathSize, messageSize;
    LONG result;
  };
  const auto pathNeeded = static_cast<DWORD>(full.copyPath.size() + 1);
  const auto messageNeeded = static_cast<DWORD>(full.message.size() + 1);
  const Case cases[] = {
      {"both fit exactly", pathNeeded, messageNeeded, ERROR_SUCCESS},
      {"path one short", pathNeeded - 1, messageNeeded, ERROR_MORE_DATA},
      {"message one short", pathNeeded, messageNeeded - 1, ERROR_MORE_DATA},
      {"both empty", 0, 0, ERROR_MORE_DATA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path(pathNeeded + 8, '#');
    std::string message(messageNeeded + 8, '#');
    DWORD pathSize = c.pathSize;
    DWORD messageSize = c.messageSize;
    EXPECT_EQ(
        QzRegistryGetDamageReport(nullptr, path.data(), &pathSize, message.data(), &messageSize),
        c.result);
    EXPECT_EQ(pathSize, pathNeeded);
    EXPECT_EQ(messageSize, messageNeeded);
    if (c.result == ERROR_SUCCESS) {
      EXPECT_EQ(std::string(path.c_str()), full.copyPath);
      EXPECT_EQ(std::string(message.c_str()), full.message);
    } else {
      EXPECT_EQ(path, std::string(pathNeeded + 8, '#')) << "nothing written";
      EXPECT_EQ(message, std::string(messageNeeded + 8, '#')) << "nothing written";
    }
  }
  char buffer[8];
  EXPECT_EQ(QzRegistryGetDamageReport(nullptr, buffer, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
}

// A read-only store (a site's locked profile) is read but never replaced:
// every change fails, the file keeps its bytes and its mode, also when it is
// reached through a symbolic link. Opening or creating a key that exists
// still works. (The test may run as root, which may write any file: the
// owner's write bit decides.)
TEST_F(RegistryTest, ReadOnlyStoreIsNeverReplaced) {
  std::filesystem::create_directories(dir_ + "/conf");
  const std::string profile =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Site]\n\"v\"=dword:00000007\n\n"
      "[HKEY_CURRENT_USER\\Site\\Sub]\n";
  struct Change {
    const char* what;
    std::function<LONG(HKEY site)> apply;
  };
  const Change changes[] = {
      {"set a value", [](HKEY site) { return SetDw(site, "v", 8); }},
      {"add a value", [](HKEY site) { return SetSz(site, "new", "x"); }},
      {"delete a value", [](HKEY site) { return RegDeleteValueA(site, "v"); }},
      {"create a key",
       [](HKEY site) {
         HKEY key = nullptr;
         LONG r =
             RegCreateKeyExA(site, "Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
         RegCloseKey(key);
         return r;
       }},
      {"delete a tree", [](HKEY site) { return RegDeleteTreeA(site, "Sub"); }},
  };
  for (const bool throughLink : {false, true}) {
    const std::string target = throughLink ? dir_ + "/locked.reg" : file_;
    if (throughLink)
      fs::create_symlink(target, file_);
    for (const Change& change : changes) {
      SCOPED_TRACE(std::string(change.what) + (throughLink ? " through a link" : ""));
      fs::remove(target);
      std::ofstream(target, std::ios::binary) << profile;
      ASSERT_EQ(chmod(target.c_str(), 0444), 0);

      HKEY site = Open("Site");
      ASSERT_NE(site, nullptr);
      EXPECT_EQ(change.apply(site), ERROR_ACCESS_DENIED);
      EXPECT_EQ(Query(site, "v").bytes, std::string("\x07\0\0\0", 4)) << "still readable";
      HKEY again = Create(HKEY_CURRENT_USER, "Site\\Sub");
      RegCloseKey(again);
      RegCloseKey(site);

      EXPECT_EQ(ReadBytes(target), profile);
      EXPECT_EQ(ModeOf(target), 0444u);
      EXPECT_TRUE(FilesContaining(".tmp-").empty());
      if (throughLink) {
        EXPECT_TRUE(fs::is_symlink(file_));
      }
    }
    fs::remove(file_);
  }
}

// A damaged read-only file is not moved aside (that would undo the lock): it
// reads as an empty store, writes are refused, and it is reported once.
TEST_F(RegistryTest, DamagedReadOnlyFileStaysInPlace) {
  std::filesystem::create_directories(dir_ + "/conf");
  const std::string damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\X\n";
  std::ofstream(file_, std::ios::binary) << damaged;
  ASSERT_EQ(chmod(file_.c_str(), 0444), 0);
  const DWORD countBefore = GetDamageReport().count;

  testing::internal::CaptureStderr();
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "X", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "X", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_ACCESS_DENIED);
  const std::string message = testing::internal::GetCapturedStderr();

  EXPECT_EQ(ReadBytes(file_), damaged);
  EXPECT_EQ(ModeOf(file_), 0444u);
  EXPECT_TRUE(FilesContaining(".corrupt-").empty());
  // The damage once, then why the change was refused.
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 2) << message;
  const DamageReport report = GetDamageReport();
  EXPECT_EQ(report.count, countBefore + 1);
  EXPECT_EQ(report.copyPath, "");
  EXPECT_TRUE(message.starts_with(report.message + "\n")) << message;
  EXPECT_NE(message.find("is read-only (mode 0444)"), std::string::npos) << message;
  EXPECT_NE(report.message.find(file_ + " is damaged"), std::string::npos) << report.message;
}

}  // namespace
}  // namespace qzplatform
