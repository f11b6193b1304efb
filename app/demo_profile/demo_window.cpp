#include "demo_profile/demo_window.h"

#include <cstdio>
#include <sstream>

#include "base/error.h"

namespace demo_profile {
namespace {

using namespace params::cParamEnums;
using namespace ui::window;

// The CP of that name in a collection, or none when the device lacks it.
std::shared_ptr<lns::ConfigProperty> CpNamed(const std::shared_ptr<lns::CpCollection>& cps, const std::string& name) {
  try {
    return cps ? cps->ItemByName(name) : nullptr;
  } catch (const base::Error&) {
    return nullptr;
  }
}

std::shared_ptr<lns::ConfigProperty> NvCpNamed(const std::shared_ptr<lns::AppDevice>& device, const std::string& nv,
                                               const std::string& cp) {
  try {
    return CpNamed(device->Interface()->NetworkVariables()->ItemByName(nv)->ConfigProperties(), cp);
  } catch (const base::Error&) {
    return nullptr;
  }
}

std::string Colour(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", colour);
  return text;
}

std::string State(const ValueControl& control) {
  return "fore " + Colour(control.ForeColor()) + ", back " + Colour(control.BackColor()) +
         (control.Enabled() ? ", enabled" : ", disabled");
}

struct SendTimeChoice {
  const char* caption;
  const char* cpValue;  // the whole CP in "RAW" form
};
constexpr SendTimeChoice kSendTimes[] = {{"1 s", "0\t10"}, {"5 s", "0\t50"}, {"30 s", "1\t44"}};

}  // namespace

DemoControls::DemoControls()
    : txtHoldTime(std::make_shared<TextBox>("txtParam", 0)),
      txtBrightness(std::make_shared<TextBox>("txtParam", 1)),
      cboStartDelay(std::make_shared<ComboBox>("cboParam", 0)),
      chkSecondStage(std::make_shared<CheckBox>("chkParam", 0)),
      sendTimeGroup(std::make_shared<OptionGroup>()) {
  chkSecondStage->SetCaption("Second stage");
  for (const auto& choice : kSendTimes) {
    optMaxSendTime.push_back(std::make_shared<OptionButton>("optParam", static_cast<int32_t>(optMaxSendTime.size())));
    optMaxSendTime.back()->SetCaption(choice.caption);
    OptionGroup::Join(sendTimeGroup, optMaxSendTime.back());
  }
}

void DemoControls::Place(ui::frmMain& form) const {
  form.controls.push_back({cboStartDelay, 0, 1, "Start delay"});
  form.controls.push_back({chkSecondStage, 0, 1, "Second stage"});
  form.controls.push_back({txtBrightness, 0, 1, "Brightness"});
  for (const auto& button : optMaxSendTime) form.controls.push_back({button, 0, 2, "Maximum send time"});
  form.controls.push_back({txtHoldTime, 1, 3, "Hold time"});
}

void DemoControls::Bind(const std::shared_ptr<lns::AppDevice>& device, const std::shared_ptr<lns::LonMarkObject>& object,
                        params::cParams& set) {
  const auto deviceCps = device->Interface()->ConfigProperties();

  auto hold = set.AddTextBoxParameter("HoldTime", txtHoldTime, CpNamed(object->ConfigProperties(), "HoldTime"),
                                              "HoldTime");
  hold->SetSnvtType(SNVT_time_sec);
  hold->SetRangeMax(600);
  hold->SetTextBoxTitle("Hold time");
  hold->SetWriteToLnsIfRequiredOnly(true);
  if (hold->Available()) {
    hold->ConsiderPartOfCpOnly(1, 2);
    hold->SetLockMode(LM_UNLOCKED);
  }

  auto brightness = set.AddTextBoxParameter("Brightness", txtBrightness, CpNamed(deviceCps, "Brightness"),
                                                    "Brightness");
  brightness->SetSnvtType(SNVT_lev_cont);
  brightness->SetTextBoxTitle("Brightness");

  auto delay = set.AddComboBoxParameter("StartDelay", cboStartDelay, CpNamed(deviceCps, "DeviceOptions"),
                                                "DeviceOptions");
  for (const auto& [text, data] : {std::pair{"Off", 0}, {"1 s", 10}, {"2 s", 20}, {"5 s", 50}}) {
    delay->AddComboBoxItem(text, data);
  }
  delay->SetInvalidItemString("<unknown>");
  delay->SetWriteToLnsIfRequiredOnly(true);
  if (delay->Available()) {
    delay->ConsiderPartOfCpOnly(1, 2);
    delay->SetLockMode(LM_UNLOCKED);
  }

  auto stage = set.AddCheckBoxParameter("SecondStage", chkSecondStage, CpNamed(deviceCps, "DeviceOptions"),
                                                "DeviceOptions");
  stage->SetValueChecked(20);
  stage->SetValueUnchecked(0);
  if (stage->Available()) {
    stage->ConsiderPartOfCpOnly(3, 2);
    stage->SetLockMode(LM_UNLOCKED);
  }

  auto sendTime = set.AddOptionButtonParameter("MaxSendTime", NvCpNamed(device, "nvoValue", "MaxSendTime"),
                                                       "MaxSendTime");
  for (size_t i = 0; i < optMaxSendTime.size(); ++i) sendTime->AddOptionButton(optMaxSendTime[i], kSendTimes[i].cpValue);
  if (sendTime->Available()) sendTime->SetLockMode(LM_UNLOCKED);
}

std::string ParametersReport(const params::cParams& set) {
  std::ostringstream out;
  for (int32_t i = 1; i <= set.TextBoxParameterCount(); ++i) {
    const auto p = set.TextBoxParameter(i);
    const auto& control = *p->TextBoxControl();
    out << "  text box \"" << p->Name() << "\": \"" << control.Text() << "\" " << p->UnitMnemonic() << ", lock mode "
        << p->LockMode() << ", " << State(control) << "\n";
  }
  for (int32_t i = 1; i <= set.ComboBoxParameterCount(); ++i) {
    const auto p = set.ComboBoxParameter(i);
    const auto& control = *p->ComboBoxControl();
    out << "  combo box \"" << p->Name() << "\": \"" << control.Text() << "\", lock mode " << p->LockMode() << ", "
        << State(control) << "\n";
  }
  for (int32_t i = 1; i <= set.CheckBoxParameterCount(); ++i) {
    const auto p = set.CheckBoxParameter(i);
    const auto& control = *p->CheckBoxControl();
    static constexpr const char* kStates[] = {"unchecked", "checked", "grey"};
    out << "  check box \"" << p->Name() << "\": " << kStates[control.Value()] << ", lock mode " << p->LockMode()
        << ", " << State(control) << "\n";
  }
  for (int32_t i = 1; i <= set.OptionButtonParameterCount(); ++i) {
    const auto p = set.OptionButtonParameter(i);
    std::string chosen = "none";
    for (int32_t b = 1; b <= p->OptionButtonsCount(); ++b) {
      if (p->OptionButton(b)->Value()) chosen = "\"" + p->OptionButton(b)->Caption() + "\"";
    }
    out << "  option buttons \"" << p->Name() << "\": " << chosen << ", lock mode " << p->LockMode() << ", "
        << (p->OptionButtonsCount() > 0 ? State(*p->OptionButton(1)) : std::string("no buttons")) << "\n";
  }
  return out.str();
}

std::vector<std::string> DemoWindow::ParametersToWrite() const {
  std::vector<std::string> names;
  for (const auto& p : parameters_.GetAllParamsShouldBeWrittenToLns()) names.push_back(p->Name());
  return names;
}

}  // namespace demo_profile
