#pragma once
// What the configuration controller needs of the main window around reading and writing.

#include <string>

namespace config {

// Implemented by the main window; the controller calls it only between its own steps.
class ConfigurationWindow {
 public:
  virtual ~ConfigurationWindow() = default;
  // The hourglass mouse pointer on or off (a window without one ignores it).
  virtual void SetHourglass(bool on) { (void)on; }
  // The main window enabled (takes user input) or disabled. By default it calls SetBusy(!enabled),
  // so that a window written against SetBusy alone still gets busy at the start of a read or
  // write and back at its end, once the status line says "Ready.".
  virtual void SetEnabled(bool enabled) { SetBusy(!enabled); }
  // The older member for both at once (the hourglass and the window disabled); the controller
  // sets them one by one and reaches this only through the default SetEnabled. Does nothing by
  // default: code that calls it on a window that implements SetHourglass and SetEnabled calls
  // those instead.
  virtual void SetBusy(bool busy) { (void)busy; }
  // The text of the status line.
  virtual void SetStatusLine(const std::string& text) = 0;
  // When the parameters were last read from or written to the device: "Last read from the
  // device: 13:57:02" (a window without a place for it ignores it).
  virtual void SetLastTransfer(const std::string& text) { (void)text; }
  // The loading flag: set while the parameter set is filled from LNS.
  virtual void SetLoading(bool loading) = 0;
  // Disables the Apply button and clears ParametersChanged.
  virtual void SetControls() = 0;
  // Brings the log into view (after a read or write that logged an error line).
  virtual void ShowLogger() = 0;
  // Hides the label of that index of the window's label array.
  virtual void HideLabel(int index) = 0;
  // Whether the user changed parameters since they were last read, loaded or written
  // (read/write).
  virtual bool ParametersChanged() const = 0;
  virtual void SetParametersChanged(bool changed) = 0;
};

}  // namespace config
