#pragma once
// Command entry: the command line, SendCommand and the validation of a command.

#include <cstdint>
#include <string>
#include <string_view>

namespace host::M_PlugIn {

// 0 without REMOTE; 2 with REMOTE over the interface named exactly "Internet"; 1 otherwise.
int16_t AccessMode(bool remote, std::string_view networkInterfaceName);

// The process entry: `commandLine` is the program's arguments joined by blanks;
// `startedByAutomation` when a tool started the program to create its Application object.
void Main(std::string_view commandLine, bool startedByAutomation);

// Runs a command unless the run has already failed to start.
void SendCommand(int32_t& commandId, int16_t& classId, std::string& objectName);

// Starts the handler of a command, or refuses it.
void ValidateCommand(int32_t commandId, int16_t classId, const std::string& objectName);

}  // namespace host::M_PlugIn
