#include "support/kb_copy.h"

#include <algorithm>
#include <sstream>

#include "base/text.h"
#include "platform/ini/profile_ini_file.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;

std::string KeyOf(const std::string& line) {
  const size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : std::string(base::TrimBlanks(std::string_view(line).substr(0, eq)));
}

bool IsHeader(std::string line, const std::string& section) {
  line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
  const size_t open = line.find_first_not_of(" \t");
  const size_t close = line.rfind(']');
  if (open == std::string::npos || line[open] != '[' || close == std::string::npos || close < open) return false;
  const std::string name(base::TrimBlanks(std::string_view(line).substr(open + 1, close - open - 1)));
  return base::EqualsNoCase(name, section);
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

KbCopy::KbCopy() {
  fs::copy(std::string(PORTAB_DATA_DIR) + "/Config", Folder(), fs::copy_options::recursive);
  fs::copy_file(std::string(PORTAB_DATA_DIR) + "/PortaB.ini", dir_ / "PortaB.ini");
}

std::string KbCopy::FileName(const std::string& file) const {
  if (file == "PortaB.ini") return "../PortaB.ini";
  platform::ini::ProfileIniFile plugIn((dir_ / "PortaB.ini").string());
  std::string config = plugIn.ReadString("Config", "velta Porta CPs 1.0");
  if (config.empty()) config = "PortaB.cfg";
  if (file == "Config") return config;
  return platform::ini::ProfileIniFile((Folder() / config).string()).ReadString(file, VersionSection());
}

std::string KbCopy::VersionSection() const {
  const platform::ini::ProfileIniFile cfg((Folder() / FileName("Config")).string());
  return "Version_" + cfg.ReadString("DefaultVersion", "General");
}

void KbCopy::Plant(const KbEdit& edit) const {
  const fs::path path = Folder() / FileName(edit.file);
  std::vector<std::string> lines = SplitLines(ReadFile(path));
  const auto header = std::find_if(lines.begin(), lines.end(), [&](const auto& l) { return IsHeader(l, edit.section); });
  const auto planted = SplitLines(edit.lines);
  if (header == lines.end()) {
    lines.push_back("[" + edit.section + "]");
    lines.insert(lines.end(), planted.begin(), planted.end());
  } else {
    const auto begin = header - lines.begin() + 1;
    const auto end =
        std::find_if(header + 1, lines.end(), [](const auto& l) { return l.rfind('[', 0) == 0; }) - lines.begin();
    const auto replaced = [&](const std::string& old) {
      return !KeyOf(old).empty() && std::any_of(planted.begin(), planted.end(), [&](const std::string& line) {
        return base::EqualsNoCase(KeyOf(line), KeyOf(old));
      });
    };
    lines.erase(std::remove_if(lines.begin() + begin, lines.begin() + end, replaced), lines.begin() + end);
    lines.insert(lines.begin() + begin, planted.begin(), planted.end());
  }
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  WriteFile(path, text);
}

int KbCopy::LineOf(const std::string& file, const std::string& section, const std::string& marker) const {
  const auto lines = SplitLines(ReadFile(Folder() / FileName(file)));
  size_t at = 0;
  while (at < lines.size() && !IsHeader(lines[at], section)) ++at;
  while (at < lines.size() && lines[at].find(marker) == std::string::npos) ++at;
  return at < lines.size() ? static_cast<int>(at + 1) : -1;
}

}  // namespace testing_support
