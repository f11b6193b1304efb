#include "demo_profile/demo_window.h"

#include <cstdio>
#include <sstream>

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "params/param_enums.h"
#include "plugin/cp_lookup.h"

namespace demo_profile {
namespace {

using namespace params::cParamEnums;
using namespace ui::window;

std::string Colour(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", colour);
  return text;
}

std::string State(const ValueControl& control) {
  return "fore " + Colour(control.ForeColor()) + ", back " + Colour(control.BackColor()) +
         (control.Enabled() ? ", enabled" : ", disabled");
}

constexpr const char* kParameterType = "MODP_PORTA";

// The built-in descriptions. The option buttons' values are whole CPs, bytes separated by blanks.
ControlDescription Fallback(std::string title, int16_t page, int16_t subPage, float max,
                            std::vector<std::pair<std::string, std::string>> items = {}) {
  return {std::move(title), page, subPage, 0, max, std::move(items)};
}

// One description's kind, title and place; false when the knowledge base lacks it.
bool ReadPlace(const knowledge::cMC16& kb, int32_t type, const std::string& name, ControlDescription& into,
               int32_t& kind) {
  std::string title;
  std::string pos;
  if (!kb.ParameterControlSettings(0, type, name, kind, title, pos)) return false;
  into.title = title;
  into.page = base::CInt(base::Val(base::Field(pos, 1, ",")));
  into.subPage = base::CInt(base::Val(base::Field(pos, 2, ",")));
  return true;
}

void ReadKindSettings(const knowledge::cMC16& kb, int32_t type, const std::string& name, int32_t kind,
                      ControlDescription& into) {
  if (kind == CPCT_TextBox || kind == CPCT_TextBox2) {
    int32_t factor = 0;
    float resolution = 0;
    std::string unit;
    kb.ParameterTextboxSettings(0, type, name, into.rangeMin, into.rangeMax, factor, resolution, unit);
    return;
  }
  knowledge::Strings items;
  if (!kb.ParameterComboBoxSettings(0, type, name, items) || items.Count() == 0) return;
  into.items.clear();
  for (const auto& item : items) {
    const size_t tilde = item.rfind('~');
    into.items.emplace_back(item.substr(0, tilde), item.substr(tilde + 1));
  }
}

}  // namespace

ControlDescription Describe(const knowledge::cMC16* kb, const std::string& name, ControlDescription fallback) {
  if (kb == nullptr) return fallback;
  ControlDescription described = fallback;
  try {
    const int32_t type = kb->GetValueByEnumString(kParameterType);
    int32_t kind = -1;
    if (ReadPlace(*kb, type, name, described, kind)) {
      ReadKindSettings(*kb, type, name, kind, described);
      return described;
    }
  } catch (const base::Error& e) {
    base::LogLine("The control description of " + std::string(kParameterType) + "." + name +
                      " cannot be read: " + e.what(),
                  base::kRedLine, true);
    return fallback;
  }
  base::LogLine("The knowledge base has no control description of " + std::string(kParameterType) + "." + name +
                    "; the built-in one is used",
                base::kRedLine, true);
  return fallback;
}

DemoControls::DemoControls()
    : txtHoldTime(std::make_shared<TextBox>("txtParam", 0)),
      txtBrightness(std::make_shared<TextBox>("txtParam", 1)),
      cboStartDelay(std::make_shared<ComboBox>("cboParam", 0)),
      chkSecondStage(std::make_shared<CheckBox>("chkParam", 0)),
      holdTime(Fallback("Hold time", 1, 3, 600)),
      brightness(Fallback("Brightness", 0, 1, 100)),
      startDelay(Fallback("Start delay", 0, 1, 0, {{"Off", "0"}, {"1 s", "10"}, {"2 s", "20"}, {"5 s", "50"}})),
      secondStage(Fallback("Second stage", 0, 1, 0, {{"Off", "0"}, {"On", "20"}})),
      maxSendTime(Fallback("Maximum send time", 0, 2, 0, {{"1 s", "0 10"}, {"5 s", "0 50"}, {"30 s", "1 44"}})) {
  MakeSendTimeButtons();
}

void DemoControls::MakeSendTimeButtons() {
  sendTimeGroup = std::make_shared<OptionGroup>();
  optMaxSendTime.clear();
  for (const auto& item : maxSendTime.items) {
    optMaxSendTime.push_back(std::make_shared<OptionButton>("optParam", static_cast<int32_t>(optMaxSendTime.size())));
    optMaxSendTime.back()->SetCaption(item.first);
    OptionGroup::Join(sendTimeGroup, optMaxSendTime.back());
  }
}

void DemoControls::Place(ui::frmMain& form) const {
  form.controls.push_back({cboStartDelay, startDelay.page, startDelay.subPage, startDelay.title});
  form.controls.push_back({chkSecondStage, secondStage.page, secondStage.subPage, secondStage.title});
  form.controls.push_back({txtBrightness, brightness.page, brightness.subPage, brightness.title});
  for (const auto& button : optMaxSendTime) {
    form.controls.push_back({button, maxSendTime.page, maxSendTime.subPage, maxSendTime.title});
  }
  form.controls.push_back({txtHoldTime, holdTime.page, holdTime.subPage, holdTime.title});
}

void DemoControls::Bind(const std::shared_ptr<lns::AppDevice>& device, const std::shared_ptr<lns::LonMarkObject>& object,
                        params::cParams& set, const knowledge::cMC16* kb) {
  holdTime = Describe(kb, "HoldTime", holdTime);
  brightness = Describe(kb, "Brightness", brightness);
  startDelay = Describe(kb, "StartDelay", startDelay);
  secondStage = Describe(kb, "SecondStage", secondStage);
  maxSendTime = Describe(kb, "MaxSendTime", maxSendTime);
  if (secondStage.items.size() < 2) secondStage.items = {{"Off", "0"}, {"On", "20"}};
  chkSecondStage->SetCaption(secondStage.title);
  MakeSendTimeButtons();

  auto hold = set.AddTextBoxParameter("HoldTime", txtHoldTime, plugin::ObjectCp(object, "HoldTime"),
                                              "HoldTime");
  hold->SetSnvtType(SNVT_time_sec);
  hold->SetRangeMin(holdTime.rangeMin);
  hold->SetRangeMax(holdTime.rangeMax);
  hold->SetTextBoxTitle(holdTime.title);
  hold->SetWriteToLnsIfRequiredOnly(true);
  if (hold->Available()) {
    hold->ConsiderPartOfCpOnly(1, 2);
    hold->SetLockMode(LM_UNLOCKED);
  }

  auto brightnessParameter = set.AddTextBoxParameter("Brightness", txtBrightness, plugin::DeviceCp(device, "Brightness"),
                                                    "Brightness");
  brightnessParameter->SetSnvtType(SNVT_lev_cont);
  brightnessParameter->SetRangeMin(brightness.rangeMin);
  brightnessParameter->SetRangeMax(brightness.rangeMax);
  brightnessParameter->SetTextBoxTitle(brightness.title);

  auto delay = set.AddComboBoxParameter("StartDelay", cboStartDelay, plugin::DeviceCp(device, "DeviceOptions"),
                                                "DeviceOptions");
  for (const auto& [text, data] : startDelay.items) delay->AddComboBoxItem(text, base::CLng(base::Val(data)));
  delay->SetInvalidItemString("<unknown>");
  delay->SetWriteToLnsIfRequiredOnly(true);
  if (delay->Available()) {
    delay->ConsiderPartOfCpOnly(1, 2);
    delay->SetLockMode(LM_UNLOCKED);
  }

  auto stage = set.AddCheckBoxParameter("SecondStage", chkSecondStage, plugin::DeviceCp(device, "DeviceOptions"),
                                                "DeviceOptions");
  stage->SetValueUnchecked(base::CLng(base::Val(secondStage.items[0].second)));
  stage->SetValueChecked(base::CLng(base::Val(secondStage.items[1].second)));
  if (stage->Available()) {
    stage->ConsiderPartOfCpOnly(3, 2);
    stage->SetLockMode(LM_UNLOCKED);
  }

  auto sendTime = set.AddOptionButtonParameter("MaxSendTime", plugin::NvCp(device, "nvoValue", "MaxSendTime"),
                                                       "MaxSendTime");
  for (size_t i = 0; i < optMaxSendTime.size(); ++i) {
    sendTime->AddOptionButton(optMaxSendTime[i], base::ReplaceAll(maxSendTime.items[i].second, " ", "\t"));
  }
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
