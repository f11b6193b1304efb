#include "platform/registry/reg_document.h"

#include <algorithm>
#include <cstdint>

#include "base/encoding.h"
#include "base/error.h"
#include "base/text.h"

namespace platform::registry {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

// The hives of a registry that the store does not serve but keeps.
constexpr std::string_view kOtherHives[] = {"HKEY_CURRENT_USER", "HKEY_USERS", "HKEY_CURRENT_CONFIG",
                                            "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA"};

}  // namespace

class RegParser {
 public:
  RegParser(std::string_view fileName, RegDocument& doc) : fileName_(fileName), doc_(doc) {}

  void Run(std::string_view text) {
    bool headerSeen = false;
    const auto lines = base::Split(text, "\n");
    for (size_t i = 0; i < lines.size(); ++i) {
      lineNo_ = i + 1;
      std::string line(Checked(lines[i]));
      if (line.empty() || line[0] == ';') continue;
      if (!headerSeen) {
        if (line != kHeader5 && line != kHeader4) Fail("not a registry file (missing header line)");
        doc_.regedit4_ = line == kHeader4;
        headerSeen = true;
        continue;
      }
      // A hex value continues on the next line after a trailing backslash.
      // A key line never continues one: a backslash before one (or at the end of the file) is
      // a damaged file, not a value that takes the key's name in.
      while (!line.empty() && line.back() == '\\' && line[0] != '[') {
        const bool next = i + 1 < lines.size() && !base::TrimWhitespace(lines[i + 1]).empty();
        if (!next || base::TrimWhitespace(lines[i + 1])[0] == '[') Fail("value continued by \"\\\" but no line follows");
        line.pop_back();
        lineNo_ = ++i + 1;
        line += Checked(lines[i]);
      }
      if (line[0] == '[') {
        KeyLine(line);
      } else {
        ValueLine(line);
      }
    }
  }

 private:
  // The line without the blanks around it; a NUL or a carriage return left in it is damage.
  std::string_view Checked(std::string_view line) const {
    line = base::TrimWhitespace(line);
    if (line.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) {
      Fail("a NUL character or a carriage return inside the line");
    }
    return line;
  }

  [[noreturn]] void Fail(std::string_view what) const {
    throw base::Error(base::err::kInvalidFileFormat, "RegistryStore",
                      std::string(fileName_) + ", line " + std::to_string(lineNo_) + ": " +
                          std::string(what));
  }

  void KeyLine(std::string_view line) {
    if (line.back() != ']') Fail("key line without closing \"]\"");
    std::string_view name = line.substr(1, line.size() - 2);
    if (!name.empty() && name[0] == '-') Fail("key deletions are not supported in the registry store");
    Hive hive = Hive::LocalMachine;
    std::string otherHive;
    const size_t slash = name.find('\\');
    const std::string_view root = name.substr(0, slash);
    if (root == "HKEY_LOCAL_MACHINE") {
      hive = Hive::LocalMachine;
    } else if (root == "HKEY_CLASSES_ROOT") {
      hive = Hive::ClassesRoot;
    } else if (std::ranges::find(kOtherHives, root) != std::end(kOtherHives)) {
      otherHive = root;
    } else {
      Fail("unknown hive \"" + std::string(root) + "\"");
    }
    std::string path = slash == std::string_view::npos ? "" : std::string(name.substr(slash + 1));
    try {
      path = RegDocument::NormalizeKey(path);
    } catch (const base::Error&) {
      Fail("empty component in key name");
    }
    current_ = Current{hive, otherHive, path};
    if (path.empty()) return;
    if (otherHive.empty()) {
      doc_.CreateKey(hive, path);
    } else {
      doc_.OtherHiveKey(otherHive, path);
    }
  }

  // Reads a quoted string starting at `pos`; leaves `pos` after the closing quote.
  std::string QuotedString(std::string_view line, size_t& pos) const {
    if (pos >= line.size() || line[pos] != '"') Fail("expected a quoted string");
    std::string out;
    for (++pos; pos < line.size(); ++pos) {
      const char c = line[pos];
      if (c == '"') {
        ++pos;
        return out;
      }
      if (c == '\\' && pos + 1 < line.size()) {
        out += line[++pos];
      } else {
        out += c;
      }
    }
    Fail("quoted string without closing quote");
  }

  void ValueLine(std::string_view line) {
    if (!current_) Fail("value outside of a key");
    size_t pos = 0;
    std::string name;
    if (line[0] == '@') {
      pos = 1;
    } else {
      name = QuotedString(line, pos);
    }
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos >= line.size() || line[pos] != '=') Fail("expected \"=\" after the value name");
    ++pos;
    while (pos < line.size() && line[pos] == ' ') ++pos;
    const std::string_view rest = line.substr(pos);
    RegValue value{name, RegValue::Kind::String, {}};
    if (!rest.empty() && rest[0] == '"') {
      value.data = QuotedString(line, pos);
      if (!base::TrimWhitespace(line.substr(pos)).empty()) Fail("text after the closing quote");
    } else if (rest.substr(0, 6) == "dword:") {
      const std::string_view digits = rest.substr(6);
      if (digits.size() != 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
        Fail("dword value needs 8 hexadecimal digits");
      }
      value.kind = RegValue::Kind::Dword;
      value.data = std::string(digits);
    } else if (rest == "-") {
      Fail("value deletions are not supported in the registry store");
    } else if (rest.substr(0, 3) == "hex") {
      value.kind = RegValue::Kind::Other;
      value.data = std::string(rest);
    } else {
      Fail("unreadable value data");
    }
    Store(std::move(value));
  }

  void Store(RegValue value);

  struct Current {
    Hive hive;
    std::string otherHive;  // set for a hive the store does not serve
    std::string path;
  };
  std::string_view fileName_;
  RegDocument& doc_;
  size_t lineNo_ = 0;
  std::optional<Current> current_;
};

namespace {

std::vector<std::string> FoldedComponents(const std::string& path) {
  return base::Split(base::FoldCase(path), "\\");
}

// The served hives first, in their order, then the others by name; within a hive a key comes
// right before its subkeys.
bool KeyLess(const RegKey& a, const RegKey& b) {
  if (a.otherHive.empty() != b.otherHive.empty()) return a.otherHive.empty();
  if (a.otherHive != b.otherHive) return a.otherHive < b.otherHive;
  if (a.hive != b.hive) return a.hive < b.hive;
  return FoldedComponents(a.path) < FoldedComponents(b.path);
}

bool IsSameOrBelow(const std::string& path, std::string_view key) {
  const std::string foldedPath = base::FoldCase(path);
  const std::string foldedKey = base::FoldCase(key);
  return foldedPath == foldedKey ||
         (foldedPath.size() > foldedKey.size() && foldedPath.compare(0, foldedKey.size(), foldedKey) == 0 &&
          foldedPath[foldedKey.size()] == '\\');
}

std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

void RegParser::Store(RegValue value) {
  if (current_->path.empty()) Fail("values directly under a hive are not supported");
  if (!current_->otherHive.empty()) {
    auto& values = doc_.OtherHiveKey(current_->otherHive, current_->path).values;
    const auto same =
        std::ranges::find_if(values, [&](const RegValue& v) { return base::EqualsNoCase(v.name, value.name); });
    if (same == values.end()) {
      values.push_back(std::move(value));
    } else {
      *same = std::move(value);
    }
    return;
  }
  if (value.kind == RegValue::Kind::String) {
    doc_.SetValue(current_->hive, current_->path, value.name, value.data);
    return;
  }
  doc_.SetRawValue(current_->hive, current_->path, std::move(value));
}

std::optional<std::string> ValueText(const RegValue& value) {
  switch (value.kind) {
    case RegValue::Kind::String:
      return value.data;
    case RegValue::Kind::Dword:
      return std::to_string(std::stoul(value.data, nullptr, 16));
    case RegValue::Kind::Other:
      break;
  }
  return std::nullopt;
}

std::string RegDocument::NormalizeKey(std::string_view key) {
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  for (const auto& component : base::Split(key, "\\")) {
    if (!key.empty() && component.empty()) {
      throw base::Error(base::err::kInvalidCallOrKey, "RegistryStore",
                        "Invalid registry key \"" + std::string(key) + "\"");
    }
  }
  if (key.find_first_of("\r\n") != std::string_view::npos) {
    throw base::Error(base::err::kInvalidCallOrKey, "RegistryStore", "Registry key with a line break");
  }
  return std::string(key);
}

RegDocument RegDocument::Parse(std::string_view bytes, std::string_view fileName) {
  RegDocument doc;
  if (bytes.starts_with(kUtf16LeBom)) {
    doc.encoding_ = RegEncoding::Utf16Le;
  } else if (bytes.starts_with(kUtf8Bom)) {
    doc.encoding_ = RegEncoding::Utf8WithBom;
  }
  RegParser(fileName, doc).Run(base::DecodeTextFile(bytes));
  return doc;
}

std::string RegDocument::Serialize() const {
  // A "REGEDIT4" file keeps its header: its hex(2) and hex(7) data are one byte per character,
  // which a "5.00" header would make an editor read as two. UTF-16LE is always "5.00".
  std::string out(regedit4_ && encoding_ != RegEncoding::Utf16Le ? kHeader4 : kHeader5);
  out += "\r\n\r\n";
  for (const auto& key : keys_) {
    const std::string_view hiveName = key.otherHive.empty() ? HiveName(key.hive) : key.otherHive;
    out.append("[").append(hiveName).append("\\").append(key.path).append("]\r\n");
    for (const auto& value : key.values) {
      out += value.name.empty() ? std::string("@") : "\"" + Escape(value.name) + "\"";
      out += "=";
      switch (value.kind) {
        case RegValue::Kind::String:
          out += "\"" + Escape(value.data) + "\"";
          break;
        case RegValue::Kind::Dword:
          out += "dword:" + value.data;
          break;
        case RegValue::Kind::Other:
          out += value.data;
          break;
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  switch (encoding_) {
    case RegEncoding::Utf8:
      break;
    case RegEncoding::Utf8WithBom:
      out.insert(0, kUtf8Bom);
      break;
    case RegEncoding::Utf16Le:
      out = std::string(kUtf16LeBom) + base::Utf8ToUtf16Le(out);
      break;
  }
  return out;
}

RegKey* RegDocument::Find(Hive hive, std::string_view normalizedKey) {
  for (auto& key : keys_) {
    if (key.otherHive.empty() && key.hive == hive && base::EqualsNoCase(key.path, normalizedKey)) return &key;
  }
  return nullptr;
}

const RegKey* RegDocument::Find(Hive hive, std::string_view normalizedKey) const {
  return const_cast<RegDocument*>(this)->Find(hive, normalizedKey);
}

RegKey& RegDocument::FindOrCreate(Hive hive, const std::string& normalizedKey) {
  if (RegKey* key = Find(hive, normalizedKey)) return *key;
  // Parents first, so that the written file lists every key of the path.
  const size_t slash = normalizedKey.rfind('\\');
  if (slash != std::string::npos) FindOrCreate(hive, normalizedKey.substr(0, slash));
  RegKey created{hive, normalizedKey, {}, {}};
  auto at = std::upper_bound(keys_.begin(), keys_.end(), created, KeyLess);
  return *keys_.insert(at, std::move(created));
}

RegKey& RegDocument::OtherHiveKey(std::string_view hiveName, const std::string& normalizedKey) {
  for (auto& key : keys_) {
    if (key.otherHive == hiveName && base::EqualsNoCase(key.path, normalizedKey)) return key;
  }
  RegKey created{Hive::LocalMachine, normalizedKey, {}, std::string(hiveName)};
  auto at = std::upper_bound(keys_.begin(), keys_.end(), created, KeyLess);
  return *keys_.insert(at, std::move(created));
}

const RegValue* RegDocument::FindValue(Hive hive, std::string_view key, std::string_view name) const {
  const RegKey* found = Find(hive, NormalizeKey(key));
  if (found == nullptr) return nullptr;
  for (const auto& value : found->values) {
    if (base::EqualsNoCase(value.name, name)) return &value;
  }
  return nullptr;
}

bool RegDocument::SetValue(Hive hive, std::string_view key, std::string_view name, std::string_view text) {
  if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos ||
      name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    throw base::Error(base::err::kInvalidCallOrKey, "RegistryStore",
                      "Registry names and values cannot hold line breaks or NUL characters");
  }
  const std::string path = NormalizeKey(key);
  if (path.empty()) {
    throw base::Error(base::err::kInvalidCallOrKey, "RegistryStore", "Values need a key below the hive");
  }
  RegKey& target = FindOrCreate(hive, path);
  for (auto& value : target.values) {
    if (base::EqualsNoCase(value.name, name)) {
      if (value.kind == RegValue::Kind::String && value.data == text) return false;
      value = RegValue{value.name, RegValue::Kind::String, std::string(text)};
      return true;
    }
  }
  RegValue added{std::string(name), RegValue::Kind::String, std::string(text)};
  // The default value is written first, the others in the order they were added.
  if (name.empty()) {
    target.values.insert(target.values.begin(), std::move(added));
  } else {
    target.values.push_back(std::move(added));
  }
  return true;
}

void RegDocument::SetRawValue(Hive hive, std::string_view key, RegValue value) {
  SetValue(hive, key, value.name, "");
  RegKey* target = Find(hive, NormalizeKey(key));
  for (auto& stored : target->values) {
    if (base::EqualsNoCase(stored.name, value.name)) {
      stored = std::move(value);
      return;
    }
  }
}

void RegDocument::CreateKey(Hive hive, std::string_view key) {
  const std::string path = NormalizeKey(key);
  if (!path.empty()) FindOrCreate(hive, path);
}

bool RegDocument::RemoveValue(Hive hive, std::string_view key, std::string_view name) {
  RegKey* found = Find(hive, NormalizeKey(key));
  if (found == nullptr) return false;
  const auto before = found->values.size();
  std::erase_if(found->values, [&](const RegValue& v) { return base::EqualsNoCase(v.name, name); });
  return found->values.size() != before;
}

bool RegDocument::RemoveKeyTree(Hive hive, std::string_view key) {
  const std::string path = NormalizeKey(key);
  if (path.empty()) {
    throw base::Error(base::err::kInvalidCallOrKey, "RegistryStore", "A whole hive cannot be deleted");
  }
  const auto before = keys_.size();
  std::erase_if(keys_, [&](const RegKey& k) {
    return k.otherHive.empty() && k.hive == hive && IsSameOrBelow(k.path, path);
  });
  return keys_.size() != before;
}

bool RegDocument::HasKey(Hive hive, std::string_view key) const {
  const std::string path = NormalizeKey(key);
  return path.empty() || Find(hive, path) != nullptr;
}

std::vector<std::string> RegDocument::SubKeyNames(Hive hive, std::string_view key) const {
  const std::string path = NormalizeKey(key);
  std::vector<std::string> names;
  for (const auto& k : keys_) {
    if (!k.otherHive.empty() || k.hive != hive) continue;
    std::string_view rest = k.path;
    if (!path.empty()) {
      if (!IsSameOrBelow(k.path, path) || k.path.size() == path.size()) continue;
      rest.remove_prefix(path.size() + 1);
    }
    if (rest.find('\\') == std::string_view::npos) names.emplace_back(rest);
  }
  return names;
}

}  // namespace platform::registry
