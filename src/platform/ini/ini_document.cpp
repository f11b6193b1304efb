#include "platform/ini/ini_document.h"

#include <sys/stat.h>

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

IniLine ParseLine(std::string_view trimmed) {
  IniLine line;
  line.text = std::string(trimmed);
  const size_t eq = trimmed.find('=');
  if (eq != std::string_view::npos) {
    line.hasEquals = true;
    line.key = std::string(TrimBlanksAndTabs(trimmed.substr(0, eq)));
    line.value = std::string(TrimBlanksAndTabs(trimmed.substr(eq + 1)));
  }
  return line;
}

}  // namespace

std::string Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return std::string(value.substr(1, value.size() - 2));
  }
  return std::string(value);
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  const std::string text = base::DecodeTextFile(bytes);
  IniSection* current = nullptr;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view trimmed = base::TrimWhitespace(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (trimmed.empty() || trimmed.front() == ';') continue;
    const size_t close = trimmed.rfind(']');
    if (trimmed.front() == '[' && close != std::string_view::npos) {
      IniSection section;
      section.name = std::string(trimmed.substr(1, close - 1));
      doc.firstSection_.emplace(base::FoldCase(section.name), doc.sections_.size());
      doc.sections_.push_back(std::move(section));
      current = &doc.sections_.back();
      continue;
    }
    if (current == nullptr) continue;  // lines before the first section belong to none
    IniLine line = ParseLine(trimmed);
    if (line.hasEquals) current->firstKey.emplace(base::FoldCase(line.key), current->lines.size());
    current->lines.push_back(std::move(line));
  }
  return doc;
}

const IniSection* IniDocument::FindSection(std::string_view name) const {
  const auto it = firstSection_.find(base::FoldCase(name));
  return it == firstSection_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string> IniDocument::FindValue(std::string_view section, std::string_view key) const {
  const IniSection* found = FindSection(section);
  if (found == nullptr) return std::nullopt;
  const auto it = found->firstKey.find(base::FoldCase(key));
  if (it == found->firstKey.end()) return std::nullopt;
  return found->lines[it->second].value;
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const auto& s : sections_) names.push_back(s.name);
  return names;
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
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  if (in) bytes << in.rdbuf();
  entry = CacheEntry{std::make_shared<IniDocument>(IniDocument::Parse(bytes.str())), info.st_mtim, info.st_size,
                     info.st_ino};
  return entry.doc;
}

void IniCache::Clear() {
  std::lock_guard guard(g_cacheMutex);
  g_cache.clear();
}

}  // namespace platform::ini
