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
#include "ui/frm_main.h"
#include "ui/window/value_controls.h"

namespace demo_profile {

// The window's parameter controls and how they are bound to a parameter set.
struct DemoControls {
  DemoControls();
  // Creates the parameters in `set` on the CPs of `device` and `object` with their settings.
  void Bind(const std::shared_ptr<lns::AppDevice>& device, const std::shared_ptr<lns::LonMarkObject>& object,
            params::cParams& set);
  // Puts the controls on the pages of a window model: the device's parameters on the first
  // page's first sub-page, the object's on the second page.
  void Place(ui::frmMain& form) const;

  std::shared_ptr<ui::window::TextBox> txtHoldTime;
  std::shared_ptr<ui::window::TextBox> txtBrightness;
  std::shared_ptr<ui::window::ComboBox> cboStartDelay;
  std::shared_ptr<ui::window::CheckBox> chkSecondStage;
  std::vector<std::shared_ptr<ui::window::OptionButton>> optMaxSendTime;
  std::shared_ptr<ui::window::OptionGroup> sendTimeGroup;
};

// One line per parameter of `set`: what its control shows, its lock mode and colours.
std::string ParametersReport(const params::cParams& set);

// The controls with a parameter set of their own.
class DemoWindow : public DemoControls {
 public:
  void Bind(const std::shared_ptr<lns::AppDevice>& device, const std::shared_ptr<lns::LonMarkObject>& object) {
    DemoControls::Bind(device, object, parameters_);
  }
  std::string Report() const { return ParametersReport(parameters_); }
  // The names of the parameters that a write would send, in the set's order.
  std::vector<std::string> ParametersToWrite() const;
  params::cParams& Parameters() { return parameters_; }

 private:
  params::cParams parameters_;  // after the controls: it ends first
};

}  // namespace demo_profile
