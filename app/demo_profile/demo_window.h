#pragma once
// The demo profile plug-in's window: its parameter controls and the parameter set that binds
// them to the demo device's CPs, one parameter of each kind with a control:
//   "HoldTime"     text box, the LonMark object's CP "HoldTime" (seconds, 0.1 s steps)
//   "StartDelay"   combo box, bytes 1-2 of the device CP "DeviceOptions"
//   "SecondStage"  check box, bytes 3-4 of "DeviceOptions" (20 checked, 0 unchecked)
//   "MaxSendTime"  option buttons, the whole CP "MaxSendTime" of the NV "nvoValue"
//   "Brightness"   text box on a CP the demo device lacks: grey and without a value
// A CP that the device lacks leaves its parameter unavailable.

#include <memory>
#include <string>
#include <vector>

#include "lns/lns_objects.h"
#include "params/params.h"
#include "ui/window/value_controls.h"

namespace demo_profile {

class DemoWindow {
 public:
  DemoWindow();

  // Creates the parameters on the CPs of `device` and `object` and gives them their settings.
  void Bind(const std::shared_ptr<lns::AppDevice>& device, const std::shared_ptr<lns::LonMarkObject>& object);
  // One line per parameter: what its control shows, its lock mode and colours.
  std::string Report() const;
  // The names of the parameters that a write would send, in the set's order.
  std::vector<std::string> ParametersToWrite() const;

  params::cParams& Parameters() { return parameters_; }

  std::shared_ptr<ui::window::TextBox> txtHoldTime;
  std::shared_ptr<ui::window::TextBox> txtBrightness;
  std::shared_ptr<ui::window::ComboBox> cboStartDelay;
  std::shared_ptr<ui::window::CheckBox> chkSecondStage;
  std::vector<std::shared_ptr<ui::window::OptionButton>> optMaxSendTime;

 private:
  std::shared_ptr<ui::window::OptionGroup> sendTimeGroup_;
  params::cParams parameters_;  // after the controls: it ends first
};

}  // namespace demo_profile
