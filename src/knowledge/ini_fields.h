#pragma once
// The value syntax shared by every reader of the knowledge-base files: comments after ";",
// ","-fields that are not trimmed, lists that end at the first empty field.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/collection.h"
#include "lns/ini_file.h"

namespace knowledge {

// The key's value without its comment (from the first ";") and without trailing blanks; with
// fieldIndex > 0 only that ","-field (empty when missing); -1 or 0 gives the whole value.
std::string ReadIniField(const lns::IniFile& file, std::string_view section, std::string_view key,
                         int16_t fieldIndex);
// The fields of `text` in order, up to the first empty one; "" gives an empty collection.
base::Collection<std::string> SplitToCollection(std::string_view text, std::string_view separator);
// An element equals `text` exactly (case-sensitive).
bool CollectionContains(const base::Collection<std::string>& collection, std::string_view text);
// One byte per field, each the field's number rounded half to even, up to the first empty
// field. A number outside 0..255 raises the overflow error (6).
std::vector<uint8_t> ParseByteList(std::string_view text, std::string_view separator);

// A whole-section line ("key=value"): its key (the whole line when it has no "="), and its
// value ("" without "=") with the comment cut and trailing blanks stripped the way
// ReadIniField does it.
std::string_view SectionLineKey(std::string_view line);
std::string SectionLineValue(std::string_view line);
// For a value that read as empty from a file that exists: logs a red line that names the file,
// the section, the key and what is wrong (binary junk, no section, no key, an empty value), so
// that a damaged file is not mistaken for a missing one. Nothing for a missing file.
void ReportMissingEntry(const lns::IniFile& file, std::string_view section, std::string_view key);

// Whether a value is the mark of a parameter that is not shown ("DONTSHOW") or is shown with a
// fixed value ("CONST"); case ignored.
bool IsDontShowMark(std::string_view value);
bool IsConstMark(std::string_view value);

}  // namespace knowledge
