// In-memory registry content and its REGEDIT5 text form (see registry_file.h).
#include "platform/registry_file.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

namespace qzplatform {
namespace {

constexpr std::size_t kMaxKeyNameLength = 255;

// Sort key of one path byte: the separator sorts before everything, so a key's
// sub-keys directly follow it; letters compare without case.
unsigned char PathOrder(char c) {
  if (c == '\\')
    return 0;
  auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// True when path is parent itself or lies below it.
bool IsSameOrBelow(std::string_view path, std::string_view parent) {
  if (parent.empty())
    return true;
  if (path.size() < parent.size() || !NamesEqual(path.substr(0, parent.size()), parent)) {
    return false;
  }
  return path.size() == parent.size() || path[parent.size()] == '\\';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Parses 1 to 8 hex digits.
bool ReadHexNumber(std::string_view digits, DWORD& number) {
  number = 0;
  if (digits.empty() || digits.size() > 8)
    return false;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0)
      return false;
    number = number * 16 + static_cast<DWORD>(d);
  }
  return true;
}

// Reads a quoted string with \\ and \" escapes starting at text[pos] == '"';
// pos ends after the closing quote. False for a bad escape or no closing quote.
bool ReadQuoted(std::string_view text, std::size_t& pos, std::string& out) {
  out.clear();
  for (++pos; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\') {
      if (++pos == text.size() || (text[pos] != '\\' && text[pos] != '"'))
        return false;
      c = text[pos];
    }
    out.push_back(c);
  }
  return false;
}

// Parses "01,ff,..." (possibly empty) into bytes.
bool ReadHexList(std::string_view text, std::vector<BYTE>& out) {
  out.clear();
  if (text.empty())
    return true;
  for (std::size_t pos = 0;; pos += 3) {
    if (pos + 2 > text.size())
      return false;
    int high = HexDigit(text[pos]);
    int low = HexDigit(text[pos + 1]);
    if (high < 0 || low < 0)
      return false;
    out.push_back(static_cast<BYTE>(high * 16 + low));
    if (pos + 2 == text.size())
      return true;
    if (text[pos + 2] != ',')
      return false;
  }
}

// Parses the part after '=' of a value line. Sets isDeletion for "-".
bool ReadValueData(std::string_view text, RegistryValue& value, bool& isDeletion) {
  isDeletion = text == "-";
  if (isDeletion)
    return true;
  if (!text.empty() && text[0] == '"') {
    std::size_t pos = 0;
    std::string str;
    if (!ReadQuoted(text, pos, str) || pos != text.size())
      return false;
    value.type = REG_SZ;
    value.data.assign(str.begin(), str.end());
    value.data.push_back(0);
    return true;
  }
  if (text.starts_with("dword:")) {
    DWORD number = 0;
    if (text.size() != 14 || !ReadHexNumber(text.substr(6), number))
      return false;
    value.type = REG_DWORD;
    value.data = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                  static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
    return true;
  }
  if (text.starts_with("hex:")) {
    value.type = REG_BINARY;
    return ReadHexList(text.substr(4), value.data);
  }
  if (text.starts_with("hex(")) {
    std::size_t close = text.find("):");
    if (close == std::string_view::npos || !ReadHexNumber(text.substr(4, close - 4), value.type))
      return false;
    return ReadHexList(text.substr(close + 2), value.data);
  }
  return false;
}

// Reads a section line, "[HKEY_CURRENT_USER\\path]" or "[-...]" for a
// deletion, into the key path. Returns the fault, or null.
const char* ReadSection(std::string_view line, std::string_view& path, bool& deletion) {
  if (line.size() < 2 || line.back() != ']')
    return "malformed section line";
  path = line.substr(1, line.size() - 2);
  deletion = path.starts_with('-');
  if (deletion)
    path.remove_prefix(1);
  std::string_view root = path.substr(0, kRegistryRootName.size());
  path.remove_prefix(root.size());
  if (!NamesEqual(root, kRegistryRootName) || !(path.empty() || path[0] == '\\'))
    return "section outside HKEY_CURRENT_USER";
  if (path.empty())
    return nullptr;
  path.remove_prefix(1);
  return !path.empty() && IsValidKeyPath(path) ? nullptr : "malformed key path";
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"')
      out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendValue(std::string& out, const RegistryValue& value) {
  if (value.name.empty()) {
    out.push_back('@');
  } else {
    AppendQuoted(out, value.name);
  }
  out.push_back('=');
  const auto& data = value.data;
  char buffer[24];
  if (value.type == REG_SZ && !data.empty() && data.back() == 0 &&
      std::find(data.begin(), data.end() - 1, 0) == data.end() - 1) {
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size() - 1);
    if (IsWritableText(text)) {
      AppendQuoted(out, text);
      out.push_back('\n');
      return;
    }
  }
  if (value.type == REG_DWORD && data.size() == 4) {
    DWORD number = data[0] | (data[1] << 8) | (data[2] << 16) | (DWORD{data[3]} << 24);
    std::snprintf(buffer, sizeof buffer, "dword:%08x\n", number);
    out += buffer;
    return;
  }
  // Everything else, including a text that the quoted form cannot hold, as bytes.
  if (value.type == REG_BINARY) {
    out += "hex:";
  } else {
    std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
    out += buffer;
  }
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, i == 0 ? "%02x" : ",%02x", data[i]);
    out += buffer;
  }
  out.push_back('\n');
}

// The value name a kept line starts with, when it can be read.
std::optional<std::string> KeptLineName(std::string_view line) {
  if (line.starts_with("@="))
    return std::string();
  std::size_t pos = 0;
  std::string name;
  if (!line.starts_with('"') || !ReadQuoted(line, pos, name) || pos >= line.size() ||
      line[pos] != '=')
    return std::nullopt;
  return name;
}

}  // namespace

bool KeyPathLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return PathOrder(x) < PathOrder(y); });
}

bool NamesEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return PathOrder(x) == PathOrder(y);
         });
}

bool IsValidKeyPath(std::string_view path) {
  if (path.empty())
    return true;
  std::size_t start = 0;
  while (true) {
    std::size_t end = std::min(path.find('\\', start), path.size());
    std::string_view name = path.substr(start, end - start);
    if (name.empty() || name.size() > kMaxKeyNameLength ||
        name.find(']') != std::string_view::npos || !IsWritableText(name)) {
      return false;
    }
    if (end == path.size())
      return true;
    start = end + 1;
  }
}

bool IsWritableText(std::string_view text) {
  return text.find_first_of("\r\n") == std::string_view::npos;
}

RegistryModel::RegistryModel() {
  keys_.emplace("", std::vector<RegistryValue>{});
}

bool RegistryModel::HasKey(std::string_view path) const {
  return keys_.contains(path);
}

bool RegistryModel::CreateKey(std::string_view path) {
  if (keys_.contains(path))
    return false;
  // Each key along the path is found or added; the path of the next one is
  // built from the stored one, so that existing keys keep their case.
  std::string stored;
  for (std::size_t start = 0;;) {
    std::size_t end = std::min(path.find('\\', start), path.size());
    if (!stored.empty())
      stored.push_back('\\');
    stored += path.substr(start, end - start);
    stored = keys_.try_emplace(stored).first->first;
    if (end == path.size())
      return true;
    start = end + 1;
  }
}

bool RegistryModel::DeleteTree(std::string_view path, bool keepKey) {
  auto it = keys_.find(path);
  if (it == keys_.end())
    return false;
  for (auto kept = kept_.lower_bound(path);
       kept != kept_.end() && IsSameOrBelow(kept->first, path);)
    kept = kept_.erase(kept);
  if (path.empty())
    keptOfNoKey_.clear();
  if (keepKey || path.empty()) {
    it->second.clear();
    ++it;
  }
  while (it != keys_.end() && IsSameOrBelow(it->first, path))
    it = keys_.erase(it);
  return true;
}

std::vector<std::string> RegistryModel::SubKeyNames(std::string_view path) const {
  std::vector<std::string> names;
  std::size_t skip = path.empty() ? 0 : path.size() + 1;
  for (auto it = keys_.upper_bound(path); it != keys_.end() && IsSameOrBelow(it->first, path);
       ++it) {
    std::string_view rest = std::string_view(it->first).substr(skip);
    if (rest.find('\\') == std::string_view::npos)
      names.emplace_back(rest);
  }
  return names;
}

const std::vector<RegistryValue>* RegistryModel::Values(std::string_view path) const {
  auto it = keys_.find(path);
  return it == keys_.end() ? nullptr : &it->second;
}

const RegistryValue* RegistryModel::FindValue(std::string_view path, std::string_view name) const {
  const auto* values = Values(path);
  if (values == nullptr)
    return nullptr;
  auto it = std::find_if(values->begin(), values->end(),
                         [&](const RegistryValue& v) { return NamesEqual(v.name, name); });
  return it == values->end() ? nullptr : &*it;
}

bool RegistryModel::SetValue(std::string_view path, RegistryValue value) {
  auto key = keys_.find(path);
  if (key == keys_.end())
    return false;
  auto& values = key->second;
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const RegistryValue& v) { return NamesEqual(v.name, value.name); });
  DropKeptLinesNaming(path, value.name);
  if (it == values.end()) {
    values.push_back(std::move(value));
  } else {
    // The name keeps the case it was first set with, as the key names do.
    it->type = value.type;
    it->data = std::move(value.data);
  }
  return true;
}

bool RegistryModel::DeleteValue(std::string_view path, std::string_view name) {
  auto key = keys_.find(path);
  if (key == keys_.end())
    return false;
  DropKeptLinesNaming(path, name);
  return std::erase_if(key->second,
                       [&](const RegistryValue& v) { return NamesEqual(v.name, name); }) > 0;
}

std::vector<RegistryParseError> ReadRegistryText(std::string_view text, RegistryModel& model) {
  model = RegistryModel();
  std::vector<RegistryParseError> faults;
  if (text.starts_with("\xEF\xBB\xBF"))
    text.remove_prefix(3);
  if (text.empty())
    return faults;

  std::size_t lineNumber = 0;
  std::size_t pos = 0;
  // Next physical line without its line end; false at the end of the text.
  auto nextLine = [&](std::string_view& line) {
    if (pos >= text.size())
      return false;
    std::size_t end = std::min(text.find('\n', pos), text.size());
    line = text.substr(pos, end - pos);
    if (line.ends_with('\r'))
      line.remove_suffix(1);
    pos = end + 1;
    ++lineNumber;
    return true;
  };

  std::string_view line;
  nextLine(line);
  if (line != kRegistryHeader) {
    faults.push_back({1, "unknown header"});
    return faults;
  }
  // The writer ends every line, the last one included, with a line break. A
  // text without one was cut short, and its last line may look whole (a byte
  // list cut between two bytes, a value cut after its closing quote): it is
  // kept, never read.
  const bool cutShort = !text.ends_with('\n');
  auto isCutLine = [&] { return cutShort && pos > text.size(); };
  if (isCutLine()) {
    faults.push_back({1, "last line has no line break: the file was cut short"});
    return faults;
  }

  // Where the lines read now belong.
  enum class Section { kNone, kKey, kDeleted, kUnknown };
  Section where = Section::kNone;
  std::string section;
  auto keep = [&](std::size_t number, const char* reason, std::string kept) {
    faults.push_back({number, reason});
    if (where == Section::kKey) {
      model.KeepLine(section, std::move(kept));
    } else {
      model.KeepLineOfNoKey(std::move(kept));
    }
  };
  while (nextLine(line)) {
    const std::size_t number = lineNumber;
    if (isCutLine()) {
      if (line.starts_with('['))
        where = Section::kUnknown;
      keep(number, "last line has no line break: the file was cut short", std::string(line));
      break;
    }
    if (line.starts_with(kKeptLineOfNoKeyPrefix)) {
      model.KeepLineOfNoKey(std::string(line.substr(kKeptLineOfNoKeyPrefix.size())));
      continue;
    }
    if (line.starts_with(kKeptLinePrefix)) {
      std::string kept(line.substr(kKeptLinePrefix.size()));
      if (where == Section::kKey) {
        model.KeepLine(section, std::move(kept));
      } else {
        model.KeepLineOfNoKey(std::move(kept));
      }
      continue;
    }
    std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == ';')
      continue;

    if (line[0] == '[') {
      std::string_view path;
      bool deletion = false;
      if (const char* fault = ReadSection(line, path, deletion)) {
        where = Section::kUnknown;
        keep(number, fault, std::string(line));
        continue;
      }
      section = path;
      where = deletion ? Section::kDeleted : Section::kKey;
      if (deletion) {
        model.DeleteTree(path, false);
      } else {
        model.CreateKey(path);
      }
      continue;
    }

    if (line[0] != '"' && line[0] != '@') {
      keep(number, "unrecognised line", std::string(line));
      continue;
    }
    // @ and "" both name the default value.
    RegistryValue value;
    std::size_t eq = 1;  // just after '@'
    if (line[0] == '"') {
      eq = 0;
      if (!ReadQuoted(line, eq, value.name)) {
        keep(number, "malformed value name", std::string(line));
        continue;
      }
    }
    if (eq >= line.size() || line[eq] != '=') {
      keep(number, "malformed value line", std::string(line));
      continue;
    }
    // A byte list may go on over several lines, each ending in a backslash;
    // a value that cannot be read is kept as one line, its list joined.
    std::string whole(line);
    std::string data(line.substr(eq + 1));
    const char* fault = nullptr;
    while (data.starts_with("hex") && data.ends_with('\\')) {
      data.pop_back();
      whole.pop_back();
      if (!nextLine(line)) {
        fault = "byte list continues past the end";
        break;
      }
      const std::string_view more =
          line.substr(std::min(line.size(), line.find_first_not_of(" \t")));
      data += more;
      whole += more;
      if (isCutLine()) {
        fault = "last line has no line break: the file was cut short";
        break;
      }
    }
    bool deletion = false;
    if (fault == nullptr && !ReadValueData(data, value, deletion))
      fault = "malformed value data";
    if (fault == nullptr && where != Section::kKey)
      fault = "value outside a key section";
    if (fault != nullptr) {
      keep(number, fault, std::move(whole));
    } else if (deletion) {
      model.DeleteValue(section, value.name);
    } else {
      model.SetValue(section, std::move(value));
    }
  }
  return faults;
}

void RegistryModel::KeepLine(std::string_view path, std::string line) {
  if (!keys_.contains(path)) {
    keptOfNoKey_.push_back(std::move(line));
    return;
  }
  auto it = kept_.find(path);
  if (it == kept_.end())
    it = kept_.emplace(keys_.find(path)->first, std::vector<std::string>{}).first;
  it->second.push_back(std::move(line));
}

void RegistryModel::KeepLineOfNoKey(std::string line) {
  keptOfNoKey_.push_back(std::move(line));
}

const std::vector<std::string>* RegistryModel::KeptLines(std::string_view path) const {
  auto it = kept_.find(path);
  return it == kept_.end() ? nullptr : &it->second;
}

bool RegistryModel::MayHoldUnreadValue(std::string_view path, std::string_view name) const {
  if (!keptOfNoKey_.empty())
    return true;
  const std::vector<std::string>* kept = KeptLines(path);
  if (kept == nullptr)
    return false;
  return std::any_of(kept->begin(), kept->end(), [&](const std::string& line) {
    const std::optional<std::string> lineName = KeptLineName(line);
    return !lineName || NamesEqual(*lineName, name);
  });
}

void RegistryModel::DropKeptLinesNaming(std::string_view path, std::string_view name) {
  auto it = kept_.find(path);
  if (it == kept_.end())
    return;
  std::erase_if(it->second, [&](const std::string& line) {
    const std::optional<std::string> lineName = KeptLineName(line);
    return lineName && NamesEqual(*lineName, name);
  });
  if (it->second.empty())
    kept_.erase(it);
}

bool ParseRegistryText(std::string_view text, RegistryModel& model, RegistryParseError& error) {
  const std::vector<RegistryParseError> faults = ReadRegistryText(text, model);
  if (faults.empty())
    return true;
  error = faults.front();
  return false;
}

std::string SerializeRegistry(const RegistryModel& model) {
  std::string out(kRegistryHeader);
  out.push_back('\n');
  for (const auto& [path, values] : model.Keys()) {
    const std::vector<std::string>* kept = model.KeptLines(path);
    if (path.empty() && values.empty() && kept == nullptr)
      continue;
    out += "\n[";
    out += kRegistryRootName;
    if (!path.empty()) {
      out.push_back('\\');
      out += path;
    }
    out += "]\n";
    for (const auto& value : values)
      AppendValue(out, value);
    for (const std::string& line : kept != nullptr ? *kept : std::vector<std::string>{}) {
      out += kKeptLinePrefix;
      out += line;
      out.push_back('\n');
    }
  }
  if (!model.KeptLinesOfNoKey().empty())
    out.push_back('\n');
  for (const std::string& line : model.KeptLinesOfNoKey()) {
    out += kKeptLineOfNoKeyPrefix;
    out += line;
    out.push_back('\n');
  }
  return out;
}

}  // namespace qzplatform
