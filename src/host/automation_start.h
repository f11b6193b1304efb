#pragma once
// The switches with which the automation machinery starts the program: -Embedding (a tool
// creates the Application object), /regserver and /unregserver (class registration).

#include <string_view>

#include "base/dispatch.h"

namespace host {

enum class AutomationSwitch { None, Embedding, RegServer, UnregServer };

// The switch when it is the only argument (compared without regard to case, "-" or "/").
AutomationSwitch AutomationSwitchOf(std::string_view commandLine);

// Writes (or removes) the class registration of veltaPortaB.Application; the exit status.
int RegisterServer(bool unregister);

// The object a tool creates: the first creation starts the run.
base::DispatchPtr CreateApplication();
// Ends the run when the tool is done with the object (nothing when it has ended already).
void EndAutomationRun();

}  // namespace host
