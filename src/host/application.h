#pragma once
// Application: the plug-in's automation class (veltaPortaB.Application). Its properties read
// and write the run state and the main window; creating it starts the run (InitApp).

#include <cstdint>

#include "base/dispatch.h"
#include "host/run_state.h"

namespace host {

class Application final : public base::DispatchTable {
 public:
  // The first Application of the process runs InitApp.
  Application();

 private:
  void AddWindowProperty(const char* name, double ui::frmMain::*field);
  int16_t rememberedWindowState_ = 0;  // for Minimized
};

// Whether the run still goes on after the tool released the object: a visible window, or a
// command that was started and has not ended.
bool RunGoesOn();

}  // namespace host
