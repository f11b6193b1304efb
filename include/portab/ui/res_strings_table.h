#pragma once

#include <cstdint>
#include <vector>

namespace ui {

struct StringEntry {
  int16_t id;           // English id, 1000..1999
  const char* english;
  const char* german;   // stored under id + 1000
};

const std::vector<StringEntry>& StringTableEntries();

}  // namespace ui
