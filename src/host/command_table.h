#pragma once
// The fixed table of commands the plug-in serves.

#include <array>
#include <cstdint>
#include <string>

namespace host {

struct PlugInCommand {
  bool Enabled = false;
  int32_t CommandId = 0;
  int16_t ClassId = 0;
  int16_t RegValue = 0;
  std::string Name;
  std::string Description;
};

// Entries 1 to 4 (index 0 is unused, so that positions match the table's numbering).
using CommandTableType = std::array<PlugInCommand, 5>;

inline constexpr int32_t kCommandConfigure = 13;
inline constexpr int32_t kCommandControlSwitch = 22;
inline constexpr int32_t kCommandRegister = 50;
inline constexpr int16_t kClassOmnalObject = 28;
// CurrentCommand of a run without LNS connection.
inline constexpr int32_t kCurrentCommandNoLns = 100;

// Entries 1 and 4 with their texts in the current language; 2 and 3 stay empty.
void InitCommandTable(CommandTableType& table);

// Index (1..4) of the first enabled entry with that pair, 0 when none.
int FindCommand(const CommandTableType& table, int32_t commandId, int16_t classId);

}  // namespace host
