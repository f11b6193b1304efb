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
  // The main window enabled (takes user input) or disabled (a window that cannot be disabled
  // ignores it).
  virtual void SetEnabled(bool enabled) { (void)enabled; }
  // Both at once: busy is the hourglass and the window disabled; not busy, the hourglass off
  // and then the window enabled. The controller sets them one by one, with the status line
  // between them at the end of a read or write.
  virtual void SetBusy(bool busy) {
    SetHourglass(busy);
    SetEnabled(!busy);
  }
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
