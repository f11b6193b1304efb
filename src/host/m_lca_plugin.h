#pragma once
// Start and end of a plug-in run.

#include <cstdint>
#include <string>

#include "lns/lns_objects.h"
#include "services/components.h"
#include "ui/logger.h"

namespace host::M_LcaPlugIn {

// What the logging component is handed at start: the log file "<executable>.LOG" in the
// program folder (PORTAB_HOME when that is not writable), version, language, product.
ui::LoggerSetup LoggerSetupFor(const services::ProgramInfo& program);

// Creates the service components, sets up the logger, reads the settings, fills the
// command table, checks the plug-in INI file (message 1526 and StartFailed when missing)
// and loads the main window hidden with its object server.
void InitApp();
// Ends the run: writes the registration again (unless unregistering), switches monitoring
// off, closes the LNS objects (unless the tool handed them over), unloads the window and
// releases everything in the order of creation. Later calls do nothing.
void EndApp();

// Connects to the device and LonMark object of the name; each failing stage shows its
// message (1508, 1436, 1437, 1491), sets StartFailed and ends the run.
void OpenLnsAndFindObject(const std::string& objectName, int16_t accessMode);
// The tool handed over the LonMark object: the other LNS objects are found from it.
void StartWithToolObject();
// Steps up the parents until one has the class id; nullptr when there is none.
lns::ObjectPtr FindParentByClassId(const lns::ObjectPtr& start, int16_t classId);
// Whether the device (the run's device when none is given) answers; a check within ten
// seconds of the last real one answers as that one did, unless forced.
bool DeviceIsAccessible(const std::shared_ptr<lns::AppDevice>& device, bool force);

}  // namespace host::M_LcaPlugIn

namespace host::frmMain {
// Prepares the configuration for CurrentCommand, hands the command on to the plug-in of
// the object's function profile and ends the run.
void Display();
// The window is closed by the user: the unload question, then the unload and the end of
// the run. False when the closing was cancelled.
bool Close();
// Unloads the window (position stored, status line 1507) and ends the run.
void Unload();
}  // namespace host::frmMain
