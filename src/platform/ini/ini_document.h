#pragma once
// A parsed INI file, read the way the classic Windows profile functions read it:
// - lines are trimmed of blanks, tabs and CR; ";" starts a comment only as a line's first
//   character: an indented "; note=1" is the key "; note" for keyed reads, while the listings
//   of a section (its lines, its keys) leave such lines out;
// - a section header runs from "[" to the last "]" of its line; its name is compared with the
//   blanks around it trimmed, and so is the name a keyed read asks for; a whole-section read
//   takes the name as given ("CPs 1.0 " finds no [CPs 1.0]);
// - lines before the first section header belong to the section named ""; a header "[]" starts
//   another section of that name, which no read finds (only the first of a name is searched);
//   the list of section names leaves the empty name out;
// - a key line splits at the first "="; blanks and tabs around name and value are trimmed;
// - section and key names compare without regard to case; the first of duplicate keys wins and
//   of duplicate sections only the first is searched;
// - a UTF-8 byte-order mark is skipped; a file that is not valid UTF-8 is read line by line:
//   lines that are valid UTF-8 as such, the others as Windows-1252 (so one stray byte does not
//   garble every other line of the file).
// Quotes around values are removed by the readers (Unquote), not here, so that whole lines
// and values can also be had as written.
//
// The parse keeps the decoded text once and refers to it by offsets, and indexes every key of
// every section in one open-addressing table, so a keyed read is a hash and one or two compares.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "lns/ini_file.h"

namespace platform::ini {

class IniDocument {
 public:
  static IniDocument Parse(std::string_view bytes);
  // An empty document for a file that exists but could not be read.
  static IniDocument Unreadable(std::string why);

  static constexpr uint32_t kNone = UINT32_MAX;

  bool HasSection(std::string_view name) const { return SectionIndex(name) != kNone; }
  // The index of the section that reads of `name` search; kNone when missing.
  uint32_t SectionIndex(std::string_view name) const;
  // The value of `key` in the section of that index (nullopt when missing).
  std::optional<std::string_view> FindValueIn(uint32_t section, std::string_view key) const;
  // The value as written (trimmed), nullopt when the key or section is missing. The view
  // lives as long as the document.
  std::optional<std::string_view> FindValue(std::string_view section, std::string_view key) const;
  // Section names as written (blanks around them trimmed), in file order; "" is never listed.
  std::vector<std::string> SectionNames() const;
  // The lines of the section named exactly `section` (not trimmed), in file order: "key=value"
  // with the blanks around "=" removed, other lines as written; lines starting with ";" left out.
  std::vector<std::string> SectionEntries(std::string_view section) const;
  // Line numbers (from 1) of a section's header and of a key's line; 0 when missing.
  int SectionLine(std::string_view section) const;
  int KeyLine(std::string_view section, std::string_view key) const;
  // The first line (from 1) that holds bytes no text file holds (NUL and other control
  // characters): the mark of a binary or damaged file; 0 for a clean file.
  int FirstJunkLine() const { return firstJunkLine_; }
  // Why the file could not be read (the system's words); "" when it was read or is missing.
  const std::string& ReadError() const { return readError_; }
  // What the parse found odd, in line order.
  const std::vector<lns::IniNote>& Notes() const { return notes_; }

 private:
  struct Line {
    uint32_t keyPos, keyLen;      // key (or the whole trimmed line when there is no "=")
    uint32_t valuePos, valueLen;  // value after "=", trimmed
    uint32_t section;             // index into sections_
    uint32_t number;              // line number from 1
    bool hasEquals;
  };
  struct Section {
    std::string_view name;
    uint32_t firstLine = 0, lineCount = 0;
    uint32_t number = 0;
  };

  std::string_view KeyOf(const Line& line) const { return {text_->data() + line.keyPos, line.keyLen}; }
  std::string_view ValueOf(const Line& line) const { return {text_->data() + line.valuePos, line.valueLen}; }
  void StartSection(std::string_view name, uint32_t number);
  void AddLine(std::string_view trimmed, uint32_t number);
  void BuildKeyIndex();

  // On the heap, so that the views into it survive moves of the document.
  std::unique_ptr<const std::string> text_;
  std::vector<Line> lines_;
  std::vector<Section> sections_;
  std::unordered_map<std::string_view, uint32_t, base::FoldedHasher, base::FoldedEqual> firstSection_;
  // One slot per key, open addressing, the size a power of two. A slot repeats what a lookup
  // needs of its line (hash, section, key and value place), so that a read touches the slot
  // and the text and nothing else.
  // 16 bytes, so that the table stays small; a key or value too long for its field is marked
  // (kLong) and taken from its line instead.
  struct KeySlot {
    static constexpr uint8_t kLong = 255;
    uint32_t hash = 0;        // the upper half of the key's hash
    uint32_t section = kNone;  // kNone = empty slot
    uint32_t keyPos = 0;
    uint8_t keyLen = 0;
    uint8_t valueGap = 0;  // from the key's end to the value's start
    uint16_t valueLen = 0;
  };
  KeySlot MakeSlot(uint32_t tag, const Line& line) const;
  std::string_view SlotKey(const KeySlot& slot) const;
  std::string_view SlotValue(const KeySlot& slot) const;
  const Line& SlotLine(const KeySlot& slot) const;
  const KeySlot* FindSlot(uint32_t section, std::string_view key) const;
  void NoteDuplicateKey(const KeySlot& first, const Line& again);
  std::vector<KeySlot> keySlots_;
  int firstJunkLine_ = 0;
  std::string readError_;
  std::vector<lns::IniNote> notes_;
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
