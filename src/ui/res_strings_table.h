#pragma once
// The built-in string table behind the resource strings.

#include <cstdint>
#include <vector>

namespace ui {

// One entry: its English text and its German translation.
struct StringEntry {
  int16_t id;           // English id, 1000..1999
  const char* english;
  const char* german;   // stored under id + 1000
};

// Every entry of the table.
const std::vector<StringEntry>& StringTableEntries();

}  // namespace ui
