#include "core/settings/settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/settings/registry_key.h"
#include "tests/private_registry.h"

namespace qtr90x {
namespace {

constexpr const char* kGen = "Software\\Orveda\\QTR90xControler\\1.0\\Gen";

TEST(Settings, FirstStartUsesDefaultsAndCreatesGenKey) {
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orveda");
  GeneralSettings s{3, 1, 1};
  ASSERT_EQ(LoadGeneralSettings(&s), 0);
  EXPECT_EQ(s.portIndex, 0);
  EXPECT_EQ(s.dispCommandWindow, 0);
  EXPECT_EQ(s.dispSendCmd, 0);
  RegistryKey key;
  EXPECT_TRUE(key.Open(kGen, true));
}

TEST(Settings, GeneralRoundTripAndOutOfRangePort) {
  ASSERT_EQ(SaveGeneralSettings({2, 1, 1}), 0);
  GeneralSettings s;
  ASSERT_EQ(LoadGeneralSettings(&s), 0);
  EXPECT_EQ(s.portIndex, 2);
  EXPECT_EQ(s.dispCommandWindow, 1);
  EXPECT_EQ(s.dispSendCmd, 1);
  {
    RegistryKey key;
    ASSERT_TRUE(key.Open(kGen));
    key.SetDword("PortTableID", 7);
  }
  ASSERT_EQ(LoadGeneralSettings(&s), 0);
  EXPECT_EQ(s.portIndex, 0);  // outside COM1..COM4 selects COM1
}

// The developer switches are one byte each: kept as stored, and written back
// as they were read.
TEST(Settings, SwitchesAreOneByteKeptAsStored) {
  struct Case {
    std::uint32_t stored;
    std::uint8_t read;
  };
  for (const Case& c : {Case{2, 2}, Case{256, 0}, Case{0x1FF, 0xFF}, Case{0, 0}}) {
    {
      RegistryKey key;
      ASSERT_TRUE(key.Open(kGen) || (key.CreateKeyPath(kGen) && key.Open(kGen)));
      key.SetDword("DispCommandWindow", c.stored);
      key.SetDword("DispSendCmd", c.stored);
    }
    GeneralSettings s;
    ASSERT_EQ(LoadGeneralSettings(&s), 0);
    EXPECT_EQ(s.dispCommandWindow, c.read) << c.stored;
    EXPECT_EQ(s.dispSendCmd, c.read) << c.stored;
    ASSERT_EQ(SaveGeneralSettings(s), 0);
    GeneralSettings again;
    ASSERT_EQ(LoadGeneralSettings(&again), 0);
    EXPECT_EQ(again.dispCommandWindow, c.read) << c.stored;
  }
}

TEST(Settings, PresetNamesDefaultsTooLongAndRoundTrip) {
  PresetNames names{};
  ASSERT_EQ(LoadPresetNames(3, 9, &names), 0);
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(std::atoi(names[static_cast<std::size_t>(i)].data()), i + 1);
  std::strcpy(names[0].data(), "Gate");
  names[4][0] = '\0';
  ASSERT_EQ(SavePresetNames(3, 9, names), 0);
  {
    RegistryKey key;
    ASSERT_TRUE(key.Open("Software\\Orveda\\QTR90xControler\\1.0\\COM3\\Cam9"));
    key.SetString("Preset2", "ThisNameIsTooLong");  // 17 characters
  }
  PresetNames back{};
  ASSERT_EQ(LoadPresetNames(3, 9, &back), 0);
  EXPECT_STREQ(back[0].data(), "Gate");
  EXPECT_STREQ(back[1].data(), "2");
  EXPECT_STREQ(back[4].data(), "5");
  // No camera has no key: nothing is read or written, nothing created.
  for (const int camera : {0, 10}) {
    PresetNames none = back;
    EXPECT_EQ(SavePresetNames(3, camera, names), -1) << camera;
    EXPECT_EQ(LoadPresetNames(3, camera, &none), -1) << camera;
    EXPECT_EQ(none, back) << camera;
    RegistryKey key;
    EXPECT_FALSE(key.Open(
        ("Software\\Orveda\\QTR90xControler\\1.0\\COM3\\Cam" + std::to_string(camera)).c_str(),
        true))
        << camera;
  }
}

// Settings that cannot be saved: the operations return without waiting (a
// named pipe is never opened), reading gives the defaults or what the file
// holds, and the reason names the file.
TEST(Settings, AStoreThatCannotKeepThemSaysWhy) {
  const std::string saved = std::getenv("QZLINK_REGISTRY");
  const std::string folder = std::filesystem::path(saved).parent_path();
  struct Case {
    const char* name;
    const char* reason;
    int portIndex;  // read back after a save of COM3
  };
  const Case cases[] = {
      {"read-only", "is read-only (mode 0444)", 1},
      {"directory", "is a directory, not a regular file", 0},
      {"fifo", "is a named pipe (FIFO), not a regular file", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder + "/" + c.name + ".reg";
    setenv("QZLINK_REGISTRY", path.c_str(), 1);
    if (c.name == std::string("read-only")) {
      std::ofstream(path) << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\" << kGen
                          << "]\n\"PortTableID\"=dword:00000001\n";
      std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    } else if (c.name == std::string("directory")) {
      std::filesystem::create_directories(path);
    } else {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    alarm(20);  // a blocking open fails the test instead of hanging it
    testing::internal::CaptureStderr();
    SaveGeneralSettings({2, 0, 0});
    GeneralSettings s;
    LoadGeneralSettings(&s);
    EXPECT_EQ(s.portIndex, c.portIndex);
    const std::optional<SettingsProblem> problem = SettingsProblemReport();
    testing::internal::GetCapturedStderr();
    alarm(0);
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->reason.rfind(path + " " + c.reason, 0), 0u) << problem->reason;
  }
  setenv("QZLINK_REGISTRY", saved.c_str(), 1);
}

TEST(RegistryKey, RefusesOverlongPath) {
  RegistryKey key;
  EXPECT_FALSE(key.CreateKeyPath(std::string(260, 'a').c_str()));
}

}  // namespace
}  // namespace qtr90x
