#pragma once
// Start and end of a plug-in run.

#include <cstdint>
#include <string>

#include "platform/components.h"
#include "ui/logger.h"

namespace host::M_LcaPlugIn {

// What the logging component is handed at start: the log file "<executable>.LOG" in the
// program folder (PORTAB_HOME when that is not writable), version, language, product.
ui::LoggerSetup LoggerSetupFor(const platform::ProgramInfo& program);

// Creates the service components, sets up the logger, reads the settings, fills the
// command table and checks the plug-in INI file (message 1526 and StartFailed when missing).
void InitApp();
// Ends the run: writes the registration again (unless unregistering), closes what is open
// and releases the components in the order of their creation. Later calls do nothing.
void EndApp();

void OpenLnsAndFindObject(const std::string& objectName, int16_t accessMode);
void StartWithToolObject();

}  // namespace host::M_LcaPlugIn

namespace host::frmMain {
// Prepares the configuration for CurrentCommand and hands the command on.
void Display();
}  // namespace host::frmMain
