#pragma once
// The switches with which the automation machinery starts the program: -Embedding (a tool
// creates the Application object), /regserver and /unregserver (class registration).

#include <string_view>

namespace host {

enum class AutomationSwitch { None, Embedding, RegServer, UnregServer };

// The switch when it is the only argument (compared without regard to case, "-" or "/").
AutomationSwitch AutomationSwitchOf(std::string_view commandLine);

// Serves the switch and returns the program's exit status.
int RunAutomationSwitch(AutomationSwitch which);

}  // namespace host
