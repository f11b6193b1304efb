#pragma once
// A parsed INI file, read the way the classic Windows profile functions read it:
// - lines are trimmed of blanks, tabs and CR; ";" starts a comment only as a line's first character;
// - a section header runs from "[" to the last "]" of its line (the name is kept as written);
// - a key line splits at the first "="; blanks and tabs around name and value are trimmed;
// - section and key names compare without regard to case; the first of duplicate keys wins and
//   of duplicate sections only the first is searched;
// - a UTF-8 byte-order mark is skipped; text that is not valid UTF-8 is read as Windows-1252.
// Quotes around values are removed by the readers (IniValue), not here, so that whole lines
// and values can also be had as written.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::ini {

struct IniLine {
  std::string text;         // the trimmed line
  std::string key;          // before the first "=" (trimmed); empty when the line has no "="
  std::string value;        // after the first "=" (trimmed), as written
  bool hasEquals = false;
};

struct IniSection {
  std::string name;
  std::vector<IniLine> lines;  // every non-comment line after the header, in file order
  std::unordered_map<std::string, size_t> firstKey;  // folded key -> index into lines
};

class IniDocument {
 public:
  static IniDocument Parse(std::string_view bytes);

  // nullptr when the section is missing.
  const IniSection* FindSection(std::string_view name) const;
  // The value as written (trimmed), nullopt when the key or section is missing.
  std::optional<std::string> FindValue(std::string_view section, std::string_view key) const;
  std::vector<std::string> SectionNames() const;
  const std::vector<IniSection>& Sections() const { return sections_; }

 private:
  std::vector<IniSection> sections_;
  std::unordered_map<std::string, size_t> firstSection_;  // folded name -> index
};

// Removes one pair of matching quotes (" or ') around a value.
std::string Unquote(std::string_view value);

// The parsed contents of files, shared by every reader in the process. A file is parsed
// once and parsed again only when its modification time, size or inode changed; a missing
// or unreadable file reads as empty.
class IniCache {
 public:
  static std::shared_ptr<const IniDocument> Get(const std::filesystem::path& file);
  static void Clear();
};

}  // namespace platform::ini
