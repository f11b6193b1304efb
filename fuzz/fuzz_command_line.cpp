// The host's command-line walk on arbitrary text, run as the program runs it: in a program
// folder with the shipped INI file and knowledge base, the demo network in its home, and
// recording dialogs and shell.
#include <cstdint>
#include <string>

#include "base/error.h"
#include "base/procedure.h"
#include "support/host_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* run = new testing_support::HostRun({.demoNetwork = true, .knowledgeBase = true});
  std::string commandLine(reinterpret_cast<const char*>(data), size);
  commandLine.resize(commandLine.find('\0') == std::string::npos ? size : commandLine.find('\0'));  // as argv holds it
  run->ResetRun();
  try {
    run->Main(commandLine);
  } catch (const base::EndProgram&) {
    // The error operation asked to end the program.
  } catch (const base::Error&) {
    // Reported as the program reports it.
  }
  return 0;
}
