#pragma once
// The demo profile plug-in's window: its parameter controls and the parameter set that binds
// them to the demo device's CPs, one parameter of each kind with a control:
//   "HoldTime"     text box, the LonMark object's CP "HoldTime" (seconds, 0.1 s steps)
//   "StartDelay"   combo box, bytes 1-2 of the device CP "DeviceOptions"
//   "SecondStage"  check box, bytes 3-4 of "DeviceOptions" (20 checked, 0 unchecked)
//   "MaxSendTime"  option buttons, the whole CP "MaxSendTime" of the NV "nvoValue"
//   "Brightness"   text box on a CP the demo device lacks: grey and without a value
// A CP that the device lacks leaves its parameter unavailable.
// Titles, places, ranges, list items and option buttons come from the knowledge base's
// control descriptions of the module parameters "MODP_PORTA.<name>" when one is given; the
// built-in ones below stand in for a missing knowledge base or description.

#include <memory>
#include <string>
#include <vector>

#include "knowledge/mc16.h"
#include "lns/lns_objects.h"
#include "params/params.h"
#include "ui/frm_main.h"
#include "ui/window/value_controls.h"

namespace demo_profile {

// What a control description says of one parameter: title, place, range and list items
// (shown text and value).
struct ControlDescription {
  std::string title;
  int16_t page = 0;
  int16_t subPage = 1;
  float rangeMin = 0;
  float rangeMax = 0;
  std::vector<std::pair<std::string, std::string>> items;
};

// The description of module parameter `name` of type "MODP_PORTA" in `kb`; `fallback` when
// there is no knowledge base or it does not describe the parameter (a red line is logged).
ControlDescription Describe(const knowledge::cMC16* kb, const std::string& name, ControlDescription fallback);

// The window's parameter controls and how they are bound to a parameter set.
struct DemoControls {
  DemoControls();
  // Creates the parameters in `set` on the CPs of `device` and `object` with their settings,
  // described by the knowledge base `kb` when given.
  void Bind(const std::shared_ptr<lns::AppDevice>& device, const std::shared_ptr<lns::LonMarkObject>& object,
            params::cParams& set, const knowledge::cMC16* kb = nullptr);
  // Puts the controls on the pages of a window model: the device's parameters on the first
  // page's first sub-page, the object's on the second page.
  void Place(ui::frmMain& form) const;

  std::shared_ptr<ui::window::TextBox> txtHoldTime;
  std::shared_ptr<ui::window::TextBox> txtBrightness;
  std::shared_ptr<ui::window::ComboBox> cboStartDelay;
  std::shared_ptr<ui::window::CheckBox> chkSecondStage;
  std::vector<std::shared_ptr<ui::window::OptionButton>> optMaxSendTime;
  std::shared_ptr<ui::window::OptionGroup> sendTimeGroup;
  ControlDescription holdTime, brightness, startDelay, secondStage, maxSendTime;

 private:
  void MakeSendTimeButtons();
};

// One line per parameter of `set`: what its control shows, its lock mode and colours.
std::string ParametersReport(const params::cParams& set);

// The controls with a parameter set of their own.
class DemoWindow : public DemoControls {
 public:
  void Bind(const std::shared_ptr<lns::AppDevice>& device, const std::shared_ptr<lns::LonMarkObject>& object,
            const knowledge::cMC16* kb = nullptr) {
    DemoControls::Bind(device, object, parameters_, kb);
  }
  std::string Report() const { return ParametersReport(parameters_); }
  // The names of the parameters that a write would send, in the set's order.
  std::vector<std::string> ParametersToWrite() const;
  params::cParams& Parameters() { return parameters_; }

 private:
  params::cParams parameters_;  // after the controls: it ends first
};

}  // namespace demo_profile
