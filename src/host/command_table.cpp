#include "host/command_table.h"

#include "base/procedure.h"
#include "ui/res_strings.h"

namespace host {

void InitCommandTable(CommandTableType& table) {
  base::LogEntry("M_PlugIn", base::Visibility::Public, "InitCommandTable");
  table = CommandTableType{};
  table[1] = {true, kCommandConfigure, kClassOmnalObject, 4, ui::ResString(1800), ui::ResString(1801)};
  table[4] = {true, kCommandControlSwitch, kClassOmnalObject, 4, ui::ResString(1803), ui::ResString(1804)};
}

int FindCommand(const CommandTableType& table, int32_t commandId, int16_t classId) {
  for (int i = 1; i <= 4; ++i) {
    const auto& entry = table[static_cast<size_t>(i)];
    if (entry.Enabled && entry.CommandId == commandId && entry.ClassId == classId) return i;
  }
  return 0;
}

}  // namespace host
