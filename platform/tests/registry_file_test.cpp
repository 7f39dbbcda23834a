// The registry file's text form: parsing, writing, and key order.
#include "platform/registry_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qzplatform {
namespace {

RegistryValue Sz(std::string name, std::string_view text) {
  RegistryValue value{std::move(name), REG_SZ, {text.begin(), text.end()}};
  value.data.push_back(0);
  return value;
}

RegistryModel Parse(std::string_view text) {
  RegistryModel model;
  RegistryParseError error;
  EXPECT_TRUE(ParseRegistryText(text, model, error))
      << "line " << error.line << ": " << error.reason;
  return model;
}

const std::string kHeader = "Windows Registry Editor Version 5.00\n";

TEST(RegistryFileTest, WritesTheExactExportText) {
  RegistryModel model;
  const std::string gen = "Software\\Orveda\\1.0\\Gen";
  const std::string cam = "Software\\Orveda\\1.0\\COM1\\Cam2";
  model.CreateKey(gen);
  model.CreateKey(cam);
  model.SetValue(gen, RegistryValue{"PortTableID", REG_DWORD, {0x1a, 0, 0, 0x80}});
  model.SetValue(gen, Sz("Say \"hi\" \\", "a \"b\" \\ c \xC3\xBC"));
  model.SetValue(gen, Sz("", "default value"));
  model.SetValue(cam, Sz("Preset1", "Door"));
  model.SetValue(cam, RegistryValue{"Raw", REG_BINARY, {0x01, 0xab, 0x00}});
  model.SetValue(cam, RegistryValue{"Multi", 7, {0x61, 0x00, 0x00}});

  EXPECT_EQ(SerializeRegistry(model),
            kHeader +
                "\n[HKEY_CURRENT_USER\\Software]\n"
                "\n[HKEY_CURRENT_USER\\Software\\Orveda]\n"
                "\n[HKEY_CURRENT_USER\\Software\\Orveda\\1.0]\n"
                "\n[HKEY_CURRENT_USER\\Software\\Orveda\\1.0\\COM1]\n"
                "\n[HKEY_CURRENT_USER\\Software\\Orveda\\1.0\\COM1\\Cam2]\n"
                "\"Preset1\"=\"Door\"\n"
                "\"Raw\"=hex:01,ab,00\n"
                "\"Multi\"=hex(7):61,00,00\n"
                "\n[HKEY_CURRENT_USER\\Software\\Orveda\\1.0\\Gen]\n"
                "\"PortTableID\"=dword:8000001a\n"
                "\"Say \\\"hi\\\" \\\\\"=\"a \\\"b\\\" \\\\ c \xC3\xBC\"\n"
                "@=\"default value\"\n");
  EXPECT_EQ(SerializeRegistry(RegistryModel()), kHeader);
}

TEST(RegistryFileTest, RoundTripKeepsTrickyNamesTextsAndTypes) {
  const std::vector<std::string> texts = {"",
                                          "\"",
                                          "\\",
                                          "ends with \\",
                                          "x=\"y\"",
                                          "[HKEY_CURRENT_USER\\Fake]",
                                          "]",
                                          "; no comment",
                                          "@",
                                          " tab\t ",
                                          "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\xB7"};
  const std::string path = "Software\\With \"quotes\" a=b [x\\\xC3\xBC";
  RegistryModel model;
  model.CreateKey(path);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    model.SetValue(path, Sz(std::to_string(i) + texts[i], texts[i]));
  }
  // Data that the quoted forms cannot carry is written as bytes, not lost.
  model.SetValue(path, RegistryValue{"zero inside", REG_SZ, {'a', 0, 'b', 0}});
  model.SetValue(path, Sz("line break", "a\nb"));
  model.SetValue(path, RegistryValue{"short dword", REG_DWORD, {1, 2}});
  model.SetValue(path, RegistryValue{"no bytes", REG_BINARY, {}});

  const std::string text = SerializeRegistry(model);
  RegistryModel again = Parse(text);
  EXPECT_EQ(SerializeRegistry(again), text);
  ASSERT_TRUE(again.HasKey(path));
  ASSERT_EQ(again.Values(path)->size(), model.Values(path)->size());
  for (const RegistryValue& value : *model.Values(path)) {
    const RegistryValue* read = again.FindValue(path, value.name);
    ASSERT_NE(read, nullptr) << value.name;
    EXPECT_EQ(read->name, value.name);
    EXPECT_EQ(read->type, value.type) << value.name;
    EXPECT_EQ(read->data, value.data) << value.name;
  }
}

TEST(RegistryFileTest, AcceptsHandEditedText) {
  const std::string ab = kHeader + "\n[HKEY_CURRENT_USER\\A]\n\n[HKEY_CURRENT_USER\\A\\B]\n";
  const std::pair<std::string, std::string> cases[] = {
      // {text, serialized form after parsing}
      {"", kHeader},
      {"\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A\\B]\r\n", ab},
      {kHeader + "; note\n \t\n[hkey_current_user\\A\\B]\n\"v\"=dword:0000ABCD\n",
       ab + "\"v\"=dword:0000abcd\n"},
      {kHeader + "[HKEY_CURRENT_USER\\A\\B]\n\"b\"=hex:01,FF,\\\n  03\n",
       ab + "\"b\"=hex:01,ff,03\n"},
      {kHeader + "[HKEY_CURRENT_USER\\A\\B]\n\"x\"=\"1\"\n[HKEY_CURRENT_USER\\a\\b]\n\"X\"=\"2\"\n",
       ab + "\"x\"=\"2\"\n"},
      {kHeader +
           "[HKEY_CURRENT_USER\\A\\B\\C]\n[HKEY_CURRENT_USER\\A\\B]\n\"x\"=\"1\"\n\"y\"=\"\"\n" +
           "\"x\"=-\n[-HKEY_CURRENT_USER\\a\\b\\c]\n",
       ab + "\"y\"=\"\"\n"},
      {kHeader + "[HKEY_CURRENT_USER]\n\"\"=\"d\"\n", kHeader + "\n[HKEY_CURRENT_USER]\n@=\"d\"\n"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(SerializeRegistry(Parse(text)), expected) << text;
  }
}

TEST(RegistryFileTest, RejectsCorruptTextWithItsLine) {
  const std::pair<std::string, std::size_t> cases[] = {
      {"Windows Registry Editor Version 4.00\n", 1},
      {"\n" + kHeader, 1},
      {kHeader + "\n\"v\"=\"value before any section\"\n", 3},
      {kHeader + "[-HKEY_CURRENT_USER\\A]\n\"v\"=\"value of a deleted key\"\n", 3},
      {kHeader + "[HKEY_CURRENT_USER\\A]\ngarbage\n", 3},
      {kHeader + "[HKEY_LOCAL_MACHINE\\A]\n", 2},
      {kHeader + "[HKEY_CURRENT_USERX]\n", 2},
      {kHeader + "[HKEY_CURRENT_USER\\A\n", 2},
      {kHeader + "[HKEY_CURRENT_USER\\A\\\\B]\n", 2},
      {kHeader + "[HKEY_CURRENT_USER\\]\n", 2},
      {kHeader + "[HKEY_CURRENT_USER\\A]B]\n", 2},
      {kHeader + "[HKEY_CURRENT_USER]\n\"v\"=dword:1234567\n", 3},
      {kHeader + "[HKEY_CURRENT_USER]\n\"v\"=dword:1234567g\n", 3},
      {kHeader + "[HKEY_CURRENT_USER]\n\"v\"=\"cut\n", 3},
      {kHeader + "[HKEY_CURRENT_USER]\n\"v\"=\"bad \\n escape\"\n", 3},
      {kHeader + "[HKEY_CURRENT_USER]\n\"v\"=\"text\" more\n", 3},
      {kHeader + "[HKEY_CURRENT_USER]\n\"v\" = \"text\"\n", 3},
      {kHeader + "[HKEY_CURRENT_USER]\n\"v\"=hex:1,02\n", 3},
      {kHeader + "[HKEY_CURRENT_USER]\n\"v\"=hex:01,\\\n", 3},
      {kHeader + "[HKEY_CURRENT_USER]\n\"v\"=qword:01\n", 3},
  };
  for (const auto& [text, line] : cases) {
    RegistryModel model;
    RegistryParseError error;
    EXPECT_FALSE(ParseRegistryText(text, model, error)) << text;
    EXPECT_EQ(error.line, line) << text;
  }
}

// Read as a registry import reads: every line that can be, the others kept
// where they stood (their key, or no key) and written back as comments, which
// read back as the same kept lines.
TEST(RegistryFileTest, ReadsWhatItCanAndKeepsTheRest) {
  const std::string a = "[HKEY_CURRENT_USER\\A]\n";
  struct Case {
    std::string text;
    std::string written;  // after the header
    std::vector<std::size_t> faultLines;
  };
  const Case cases[] = {
      {kHeader + a + "\"x\"=\"1\"\n\"Broken\"=dword:zz\n\"y\"=dword:00000002\n",
       "\n" + a + "\"x\"=\"1\"\n\"y\"=dword:00000002\n; unreadable, kept: \"Broken\"=dword:zz\n",
       {4}},
      {kHeader + a +
           "garbage\n[HKEY_CURRENT_USER\\B\n\"v\"=\"1\"\n[HKEY_CURRENT_USER\\C]\n\"w\"=\"2\"\n",
       "\n" + a +
           "; unreadable, kept: garbage\n\n[HKEY_CURRENT_USER\\C]\n\"w\"=\"2\"\n\n"
           "; unreadable, key unknown, kept: [HKEY_CURRENT_USER\\B\n"
           "; unreadable, key unknown, kept: \"v\"=\"1\"\n",
       {3, 4, 5}},
      {kHeader + "\"early\"=\"1\"\n" + a + "\"b\"=hex:01,\\\n  zz\n\"c\"=\"cut",
       "\n" + a +
           "; unreadable, kept: \"b\"=hex:01,zz\n; unreadable, kept: \"c\"=\"cut\n\n"
           "; unreadable, key unknown, kept: \"early\"=\"1\"\n",
       {2, 4, 6}},
      // A later value of the same name takes the kept line's place.
      {kHeader + a + "\"x\"=zz\n\"x\"=\"2\"\n", "\n" + a + "\"x\"=\"2\"\n", {3}},
  };
  for (const Case& c : cases) {
    RegistryModel model;
    std::vector<std::size_t> lines;
    for (const RegistryParseError& fault : ReadRegistryText(c.text, model))
      lines.push_back(fault.line);
    EXPECT_EQ(lines, c.faultLines) << c.text;
    const std::string written = SerializeRegistry(model);
    EXPECT_EQ(written, kHeader + c.written) << c.text;
    RegistryModel again;
    EXPECT_TRUE(ReadRegistryText(written, again).empty()) << written;
    EXPECT_EQ(SerializeRegistry(again), written);
  }

  RegistryModel model;
  ReadRegistryText(kHeader + a + "\"x\"=zz\n\"y\"=\"ok\"\n[HKEY_CURRENT_USER\\D]\n@=zz\n", model);
  EXPECT_TRUE(model.MayHoldUnreadValue("a", "X"));
  EXPECT_FALSE(model.MayHoldUnreadValue("A", "y"));
  EXPECT_FALSE(model.MayHoldUnreadValue("B", "x"));
  EXPECT_TRUE(model.MayHoldUnreadValue("D", ""));
  model.DeleteValue("A", "x");
  EXPECT_FALSE(model.MayHoldUnreadValue("A", "x")) << "deleting a value decides it";
  model.DeleteTree("D", false);
  EXPECT_FALSE(model.HasKeptLines());
}

// A file cut off anywhere but right after a line it ends (a crash of a writer
// that does not replace the file atomically, a full disk, a copy cut short)
// must be refused, never read as a smaller store.
TEST(RegistryFileTest, RefusesEveryCutThatIsNotALineEnd) {
  RegistryModel model;
  model.CreateKey("Software\\Orveda\\Gen");
  model.SetValue("Software\\Orveda\\Gen", Sz("Name", "Door \"left\""));
  model.SetValue("Software\\Orveda\\Gen", RegistryValue{"Id", REG_DWORD, {0x1a, 0, 0, 0}});
  model.SetValue("Software\\Orveda\\Gen",
                 RegistryValue{"Raw", REG_BINARY, {0x01, 0xab, 0x00, 0x7f, 0x10, 0xff}});
  model.SetValue("Software\\Orveda\\Gen", RegistryValue{"Multi", 7, {0x61, 0x00, 0x00}});
  const std::string text = SerializeRegistry(model);
  for (const std::string& whole : {text, "\xEF\xBB\xBF" + text}) {
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
      const std::string_view part(whole.data(), cut);
      RegistryModel read;
      RegistryParseError error;
      const bool accepted = ParseRegistryText(part, read, error);
      // A byte-order mark alone is an empty text, as an empty file is.
      const bool cleanEnd = part.ends_with('\n') || part == "\xEF\xBB\xBF";
      EXPECT_EQ(accepted, cleanEnd) << "cut after " << cut << " bytes:\n" << part;
      if (!accepted) {
        EXPECT_EQ(error.line, std::size_t(std::count(part.begin(), part.end(), '\n') + 1)) << part;
      }
    }
  }
}

TEST(RegistryFileTest, KeysSortCaseInsensitivelyParentsFirstAndKeepTheirCase) {
  RegistryModel model;
  for (const char* path : {"b", "a-", "A B", "A\\B\\x", "a\\c", "a"})
    model.CreateKey(path);
  std::vector<std::string> order;
  for (const auto& [path, values] : model.Keys())
    order.push_back(path);
  EXPECT_EQ(order,
            (std::vector<std::string>{"", "A", "A\\B", "A\\B\\x", "A\\c", "A B", "a-", "b"}));
  EXPECT_EQ(model.SubKeyNames("a"), (std::vector<std::string>{"B", "c"}));
  EXPECT_TRUE(model.DeleteTree("a", false));
  EXPECT_EQ(model.SubKeyNames(""), (std::vector<std::string>{"A B", "a-", "b"}));
}

}  // namespace
}  // namespace qzplatform
