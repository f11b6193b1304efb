#include "host/run_state.h"

#include "ui/res_strings.h"

namespace host {
namespace {
std::unique_ptr<PlugInRunState> g_state = std::make_unique<PlugInRunState>();
}

PlugInRunState& RunState() { return *g_state; }

void ResetRunState() {
  base::SetProcedureLog(nullptr);
  g_state = std::make_unique<PlugInRunState>();
  ui::SetLanguageOffset(ui::kEnglishOffset);
}

std::string DeviceObjectCaption() { return RunState().DeviceName + " / " + RunState().ObjectNameOnly; }

services::dialogs::Answer ShowMessage(const std::string& text, services::dialogs::Icon icon, const std::string& title,
                                      services::dialogs::Buttons buttons, int defaultButton) {
  auto& dialogs = RunState().Dialogs;
  if (!dialogs) return services::dialogs::Answer::Ok;
  // A message waits for the user: reads held for the start are not kept open meanwhile.
  if (RunState().Lns.objectServer) RunState().Lns.objectServer->HoldReads(false);
  return dialogs->Show({text, title, icon, buttons, defaultButton});
}

int16_t LanguageOffset() { return ui::LanguageOffset(); }

}  // namespace host
