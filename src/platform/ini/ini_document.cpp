#include "platform/ini/ini_document.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "base/encoding.h"
#include "base/text.h"

namespace platform::ini {
namespace {

std::string_view TrimBlanksAndTabs(std::string_view text) {
  constexpr std::string_view kBlanks = " \t";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// An indented ";" line is read as a key line by keyed reads, but the listings of a section
// leave it out like the comment it looks like.
bool LooksLikeComment(std::string_view trimmed) { return !trimmed.empty() && trimmed.front() == ';'; }

// Bytes no text file holds. Tab, line ends, vertical tab, form feed and the end-of-file mark
// (Ctrl-Z) of old editors appear in text files and are read past.
bool IsJunkByte(unsigned char c) {
  return c < 0x20 && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r' && c != 0x1A;
}

uint32_t Offset(const std::string& text, std::string_view part) {
  return static_cast<uint32_t>(part.data() - text.data());
}

bool HasNonAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// The file's text in UTF-8: as it is when it is valid UTF-8 (or UTF-16 with a byte-order
// mark), else line by line, Windows-1252 only for the lines that are not UTF-8. Lines read as
// Windows-1252 in a file whose other lines hold UTF-8 text are noted: one of the two is wrong.
std::string DecodeIniText(std::string_view bytes, std::vector<lns::IniNote>& notes) {
  std::string whole = base::DecodeTextFile(bytes);
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return whole;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (base::IsValidUtf8(bytes)) return whole;
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 8);
  std::vector<int> windows1252Lines;
  bool utf8Text = false;
  int number = 0;
  for (size_t start = 0; start < bytes.size();) {
    size_t end = bytes.find('\n', start);
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    const std::string_view line = bytes.substr(start, end - start);
    start = end;
    ++number;
    if (base::IsValidUtf8(line)) {
      utf8Text = utf8Text || HasNonAscii(line);
      text.append(line);
    } else {
      windows1252Lines.push_back(number);
      text.append(base::Windows1252ToUtf8(line));
    }
  }
  if (utf8Text) {
    for (const int line : windows1252Lines) {
      notes.push_back({line, "not UTF-8 like the rest of the file: read as Windows-1252"});
    }
  }
  return text;
}

size_t SlotHash(uint32_t section, std::string_view key) {
  return base::FoldedHash(key) ^ (static_cast<size_t>(section) * 0x9E3779B97F4A7C15ULL);
}

}  // namespace

std::string Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return std::string(value.substr(1, value.size() - 2));
  }
  return std::string(value);
}

IniDocument IniDocument::Unreadable(std::string why) {
  IniDocument doc = Parse({});
  doc.readError_ = std::move(why);
  return doc;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  doc.text_ = std::make_unique<const std::string>(DecodeIniText(bytes, doc.notes_));
  const std::string_view text = *doc.text_;
  doc.lines_.reserve(text.size() / 24 + 1);
  doc.StartSection({}, 0);  // the lines before the first header: the section named ""
  uint32_t number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view raw = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (doc.firstJunkLine_ == 0) {
      for (const char c : raw) {
        if (IsJunkByte(static_cast<unsigned char>(c))) {
          doc.firstJunkLine_ = static_cast<int>(number);
          break;
        }
      }
    }
    const std::string_view trimmed = base::TrimWhitespace(raw);
    if (trimmed.empty() || raw.front() == ';') continue;
    const size_t close = trimmed.rfind(']');
    if (trimmed.front() == '[' && close != std::string_view::npos) {
      doc.StartSection(TrimBlanksAndTabs(trimmed.substr(1, close - 1)), number);
      continue;
    }
    if (trimmed.find('=') == std::string_view::npos && !LooksLikeComment(trimmed)) {
      doc.notes_.push_back({static_cast<int>(number), "no \"=\" in this line"});
    }
    doc.AddLine(trimmed, number);
  }
  doc.BuildKeyIndex();
  std::stable_sort(doc.notes_.begin(), doc.notes_.end(),
                   [](const lns::IniNote& a, const lns::IniNote& b) { return a.line < b.line; });
  return doc;
}

void IniDocument::StartSection(std::string_view name, uint32_t number) {
  Section section;
  section.name = name;
  section.firstLine = static_cast<uint32_t>(lines_.size());
  section.number = number;
  const auto [first, isNew] = firstSection_.emplace(name, static_cast<uint32_t>(sections_.size()));
  if (name.empty() && number > 0) {
    notes_.push_back({static_cast<int>(number), "a header \"[]\" names no section: the keys after it are read by no name"});
  } else if (!isNew) {
    notes_.push_back({static_cast<int>(number), "section [" + std::string(name) + "] again (first in line " +
                                                    std::to_string(sections_[first->second].number) +
                                                    "): only the first is read"});
  }
  sections_.push_back(section);
}

void IniDocument::AddLine(std::string_view trimmed, uint32_t number) {
  Line line{};
  line.section = static_cast<uint32_t>(sections_.size() - 1);
  line.number = number;
  const std::string_view nothing = trimmed.substr(trimmed.size());  // empty, but inside the text
  std::string_view key = trimmed;
  std::string_view value = nothing;
  const size_t eq = trimmed.find('=');
  if (eq != std::string_view::npos) {
    line.hasEquals = true;
    const std::string_view name = TrimBlanksAndTabs(trimmed.substr(0, eq));
    const std::string_view written = TrimBlanksAndTabs(trimmed.substr(eq + 1));
    key = name.empty() ? trimmed.substr(0, 0) : name;
    if (!written.empty()) value = written;
  }
  line.keyPos = Offset(*text_, key);
  line.keyLen = static_cast<uint32_t>(key.size());
  line.valuePos = Offset(*text_, value);
  line.valueLen = static_cast<uint32_t>(value.size());
  lines_.push_back(line);
  ++sections_.back().lineCount;
}

void IniDocument::BuildKeyIndex() {
  size_t slots = 16;
  while (slots < lines_.size() + lines_.size() / 2) slots *= 2;  // filled to two thirds at most
  keySlots_.assign(slots, KeySlot{});
  const size_t mask = slots - 1;
  for (uint32_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (!line.hasEquals) continue;
    const std::string_view key = KeyOf(line);
    const size_t hash = SlotHash(line.section, key);
    const auto tag = static_cast<uint32_t>(hash >> 32);
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      KeySlot& slot = keySlots_[at];
      if (slot.section == kNone) {
        slot = MakeSlot(tag, line);
        break;
      }
      if (slot.hash == tag && slot.section == line.section && base::EqualsNoCase(SlotKey(slot), key)) {
        NoteDuplicateKey(slot, line);  // the first of duplicate keys wins
        break;
      }
    }
  }
}

IniDocument::KeySlot IniDocument::MakeSlot(uint32_t tag, const Line& line) const {
  KeySlot slot;
  slot.hash = tag;
  slot.section = line.section;
  slot.keyPos = line.keyPos;
  const uint32_t gap = line.valuePos - (line.keyPos + line.keyLen);
  const bool fits = line.keyLen < KeySlot::kLong && gap < KeySlot::kLong && line.valueLen < UINT16_MAX;
  slot.keyLen = fits ? static_cast<uint8_t>(line.keyLen) : KeySlot::kLong;
  slot.valueGap = fits ? static_cast<uint8_t>(gap) : KeySlot::kLong;
  slot.valueLen = fits ? static_cast<uint16_t>(line.valueLen) : 0;
  return slot;
}

const IniDocument::Line& IniDocument::SlotLine(const KeySlot& slot) const {
  const Section& section = sections_[slot.section];
  for (uint32_t i = section.firstLine; i < section.firstLine + section.lineCount; ++i) {
    if (lines_[i].keyPos == slot.keyPos) return lines_[i];
  }
  return lines_[section.firstLine];  // not reached: every slot comes from a line of its section
}

std::string_view IniDocument::SlotKey(const KeySlot& slot) const {
  if (slot.keyLen == KeySlot::kLong) return KeyOf(SlotLine(slot));
  return {text_->data() + slot.keyPos, slot.keyLen};
}

std::string_view IniDocument::SlotValue(const KeySlot& slot) const {
  if (slot.keyLen == KeySlot::kLong) return ValueOf(SlotLine(slot));
  return {text_->data() + slot.keyPos + slot.keyLen + slot.valueGap, slot.valueLen};
}

void IniDocument::NoteDuplicateKey(const KeySlot& first, const Line& again) {
  const int firstNumber = static_cast<int>(SlotLine(first).number);
  notes_.push_back({static_cast<int>(again.number), "key \"" + std::string(KeyOf(again)) + "\" again in [" +
                                                        std::string(sections_[again.section].name) + "] (first in line " +
                                                        std::to_string(firstNumber) + "): only the first is read"});
}

uint32_t IniDocument::SectionIndex(std::string_view name) const {
  const auto it = firstSection_.find(TrimBlanksAndTabs(name));
  return it == firstSection_.end() ? kNone : it->second;
}

const IniDocument::KeySlot* IniDocument::FindSlot(uint32_t section, std::string_view key) const {
  if (section == kNone) return nullptr;
  key = TrimBlanksAndTabs(key);
  const size_t hash = SlotHash(section, key);
  const auto tag = static_cast<uint32_t>(hash >> 32);
  const size_t mask = keySlots_.size() - 1;
  for (size_t at = hash & mask; keySlots_[at].section != kNone; at = (at + 1) & mask) {
    const KeySlot& slot = keySlots_[at];
    if (slot.hash == tag && slot.section == section && base::EqualsNoCase(SlotKey(slot), key)) {
      return &slot;
    }
  }
  return nullptr;
}

std::optional<std::string_view> IniDocument::FindValue(std::string_view section, std::string_view key) const {
  return FindValueIn(SectionIndex(section), key);
}

std::optional<std::string_view> IniDocument::FindValueIn(uint32_t section, std::string_view key) const {
  const KeySlot* slot = FindSlot(section, key);
  if (slot == nullptr) return std::nullopt;
  return SlotValue(*slot);
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const auto& s : sections_) {
    if (!s.name.empty()) names.emplace_back(s.name);
  }
  return names;
}

std::vector<std::string> IniDocument::SectionEntries(std::string_view section) const {
  std::vector<std::string> entries;
  // Unlike a keyed read, a whole-section read takes the name as given, blanks and all.
  const auto it = firstSection_.find(section);
  if (it == firstSection_.end()) return entries;
  const Section& found = sections_[it->second];
  entries.reserve(found.lineCount);
  for (uint32_t i = found.firstLine; i < found.firstLine + found.lineCount; ++i) {
    const Line& line = lines_[i];
    if (LooksLikeComment(KeyOf(line))) continue;
    std::string entry(KeyOf(line));
    if (line.hasEquals) entry.append("=").append(ValueOf(line));
    entries.push_back(std::move(entry));
  }
  return entries;
}

int IniDocument::SectionLine(std::string_view section) const {
  const uint32_t index = SectionIndex(section);
  return index == kNone ? 0 : static_cast<int>(sections_[index].number);
}

int IniDocument::KeyLine(std::string_view section, std::string_view key) const {
  const KeySlot* slot = FindSlot(SectionIndex(section), key);
  return slot == nullptr ? 0 : static_cast<int>(SlotLine(*slot).number);
}

namespace {

struct CacheEntry {
  std::shared_ptr<const IniDocument> doc;
  struct timespec mtime {};
  off_t size = -1;
  ino_t inode = 0;
};

std::mutex g_cacheMutex;
std::map<std::string, CacheEntry> g_cache;

}  // namespace

std::shared_ptr<const IniDocument> IniCache::Get(const std::filesystem::path& file) {
  struct stat info {};
  const bool exists = ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  std::lock_guard guard(g_cacheMutex);
  CacheEntry& entry = g_cache[file.string()];
  if (!exists) {
    entry = CacheEntry{std::make_shared<IniDocument>(), {}, -1, 0};
    return entry.doc;
  }
  if (entry.doc && entry.size == info.st_size && entry.inode == info.st_ino &&
      entry.mtime.tv_sec == info.st_mtim.tv_sec && entry.mtime.tv_nsec == info.st_mtim.tv_nsec) {
    return entry.doc;
  }
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  const int openError = errno;
  std::ostringstream bytes;
  if (in) bytes << in.rdbuf();
  const bool read = in && !in.bad();
  entry = CacheEntry{std::make_shared<IniDocument>(read ? IniDocument::Parse(bytes.str())
                                                        : IniDocument::Unreadable(std::strerror(openError != 0 ? openError : EIO))),
                     info.st_mtim, info.st_size, info.st_ino};
  return entry.doc;
}

void IniCache::Clear() {
  std::lock_guard guard(g_cacheMutex);
  g_cache.clear();
}

}  // namespace platform::ini
