#include "params/params.h"

#include "base/error.h"
#include "base/procedure.h"
#include "base/product.h"
#include "base/text.h"
#include "params/cp_part.h"
#include "params/param_enums.h"

namespace params {
namespace {

constexpr const char* kModule = "cParams";

void Entry(const char* procedure) { base::LogEntry(kModule, base::Visibility::Public, procedure); }

std::function<void(cParamTextBox&)> TextBoxAttacher(const std::shared_ptr<ui::window::TextBox>& control,
                                                    const std::string& name) {
  return [control, name](cParamTextBox& parameter) {
    parameter.SetTextBoxControl(control);
    if (control) control->SetTag(name);
  };
}

std::function<void(cParamComboBox&)> ComboBoxAttacher(const std::shared_ptr<ui::window::ComboBox>& control,
                                                      const std::string& name) {
  return [control, name](cParamComboBox& parameter) {
    parameter.SetComboBoxControl(control);
    if (control) control->SetTag(name);
  };
}

[[noreturn]] void RaiseFetchError(const std::string& text) {
  throw base::Error(base::err::kCpNvNotPlaced, base::kProductName, text);
}

}  // namespace

int16_t cParams::ClassId() const { return cParamEnums::PA_PARAMETERS; }

void cParams::SetFetchContext(const lns::IniFile* iniFile, std::shared_ptr<lns::DeviceTemplate>* deviceTemplate) {
  fetchIni_ = iniFile;
  fetchTemplate_ = deviceTemplate;
}

// ---- creation ----

void cParams::Register(Kind kind, const ParameterPtr& parameter) {
  MutableList(kind).Add(parameter, parameter->Name());  // a duplicate raises 457 before anything is added
  allParameters_.Add(parameter);
}

// Creates a parameter and fills it in the order the parameter kinds rely on: parent; then
// name and CP name followed by the LNS CP, or the CP buffer followed by the name; the
// control; availability (a control kind locks a missing CP's control grey); the collections.
template <typename T>
std::shared_ptr<T> cParams::AddParameter(Kind kind, const char* procedure, const std::string& name,
                                         std::shared_ptr<lns::ConfigProperty> cp, const std::string& cpIniName,
                                         std::shared_ptr<cConfigProp> configProp,
                                         const std::function<void(T&)>& attachControl) {
  Entry(procedure);
  auto parameter = std::make_shared<T>();
  parameter->parent_ = this;
  bool available = false;
  if (configProp) {
    available = configProp->Available();
    parameter->configPropExt_ = std::move(configProp);
    parameter->name_ = name;
  } else {
    parameter->name_ = name;
    if (cp) {
      parameter->cpIniName_ = cpIniName;
      parameter->SetConfigProperty(std::move(cp));
      available = true;
    }
  }
  if (attachControl) attachControl(*parameter);
  static_cast<cParameter&>(*parameter).SetAvailable(available);
  Register(kind, parameter);
  return parameter;
}

std::shared_ptr<cParam1Byte> cParams::Add1ByteParameter(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                        const std::string& cpIniName) {
  return AddParameter<cParam1Byte>(Kind::OneByte, "Add1ByteParameter", name, std::move(cp), cpIniName, nullptr, {});
}

std::shared_ptr<cParam2Byte> cParams::Add2ByteParameter(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                        const std::string& cpIniName) {
  return AddParameter<cParam2Byte>(Kind::TwoByte, "Add2ByteParameter", name, std::move(cp), cpIniName, nullptr, {});
}

std::shared_ptr<cParamASCII> cParams::AddAsciiParameter(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                        const std::string& cpIniName) {
  return AddParameter<cParamASCII>(Kind::Ascii, "AddAsciiParameter", name, std::move(cp), cpIniName, nullptr, {});
}

std::shared_ptr<cParam1Byte> cParams::Add1ByteParameterExtCp(const std::string& name,
                                                             std::shared_ptr<cConfigProp> configProp) {
  return AddParameter<cParam1Byte>(Kind::OneByte, "Add1ByteParameterExtCp", name, nullptr, "",
                                   std::move(configProp), {});
}

std::shared_ptr<cParam2Byte> cParams::Add2ByteParameterExtCp(const std::string& name,
                                                             std::shared_ptr<cConfigProp> configProp) {
  return AddParameter<cParam2Byte>(Kind::TwoByte, "Add2ByteParameterExtCp", name, nullptr, "",
                                   std::move(configProp), {});
}

std::shared_ptr<cParamASCII> cParams::AddAsciiParameterExtCp(const std::string& name,
                                                             std::shared_ptr<cConfigProp> configProp) {
  return AddParameter<cParamASCII>(Kind::Ascii, "AddAsciiParameterExtCp", name, nullptr, "",
                                   std::move(configProp), {});
}

// ---- the kinds with a control ----

std::shared_ptr<cParamTextBox> cParams::AddTextBoxParameter(const std::string& name,
                                                            std::shared_ptr<ui::window::TextBox> textBoxControl,
                                                            std::shared_ptr<lns::ConfigProperty> cp,
                                                            const std::string& cpIniName) {
  auto parameter = AddParameter<cParamTextBox>(Kind::TextBox, "AddTextBoxParameter", name, std::move(cp), cpIniName,
                                               nullptr, TextBoxAttacher(textBoxControl, name));
  Connect(textBoxControl);
  parameter->SetSnvtType(cParamEnums::ST_unsigned);
  return parameter;
}

std::shared_ptr<cParamTextBox> cParams::AddTextBoxParameterExtCp(const std::string& name,
                                                                 std::shared_ptr<ui::window::TextBox> textBoxControl,
                                                                 std::shared_ptr<cConfigProp> configProp) {
  auto parameter = AddParameter<cParamTextBox>(Kind::TextBox, "AddTextBoxParameterExtCp", name, nullptr, "",
                                               std::move(configProp),
                                               TextBoxAttacher(textBoxControl, name));
  Connect(textBoxControl);
  parameter->SetSnvtType(cParamEnums::ST_unsigned);
  return parameter;
}

std::shared_ptr<cParamComboBox> cParams::AddComboBoxParameter(const std::string& name,
                                                              std::shared_ptr<ui::window::ComboBox> comboBoxControl,
                                                              std::shared_ptr<lns::ConfigProperty> cp,
                                                              const std::string& cpIniName) {
  auto parameter = AddParameter<cParamComboBox>(Kind::ComboBox, "AddComboBoxParameter", name, std::move(cp),
                                                cpIniName, nullptr, ComboBoxAttacher(comboBoxControl, name));
  Connect(comboBoxControl);
  return parameter;
}

std::shared_ptr<cParamComboBox> cParams::AddComboBoxParameterExtCp(const std::string& name,
                                                                   std::shared_ptr<ui::window::ComboBox> comboBoxControl,
                                                                   std::shared_ptr<cConfigProp> configProp) {
  auto parameter = AddParameter<cParamComboBox>(Kind::ComboBox, "AddComboBoxParameterExtCp", name, nullptr, "",
                                                std::move(configProp),
                                                ComboBoxAttacher(comboBoxControl, name));
  Connect(comboBoxControl);
  return parameter;
}

std::shared_ptr<cParamCheckBox> cParams::AddCheckBoxParameter(const std::string& name,
                                                              std::shared_ptr<ui::window::CheckBox> checkBoxControl,
                                                              std::shared_ptr<lns::ConfigProperty> cp,
                                                              const std::string& cpIniName) {
  std::function<void(cParamCheckBox&)> attach = [&](cParamCheckBox& parameter) {
    parameter.SetCheckBoxControl(checkBoxControl);
    if (checkBoxControl) checkBoxControl->SetTag(name);
  };
  auto parameter = AddParameter<cParamCheckBox>(Kind::CheckBox, "AddCheckBoxParameter", name, std::move(cp),
                                                cpIniName, nullptr, attach);
  Connect(checkBoxControl);
  return parameter;
}

std::shared_ptr<cParamOptBtn> cParams::AddOptionButtonParameter(const std::string& name,
                                                                std::shared_ptr<lns::ConfigProperty> cp,
                                                                const std::string& cpIniName) {
  return AddParameter<cParamOptBtn>(Kind::OptionButton, "AddOptionButtonParameter", name, std::move(cp), cpIniName,
                                    nullptr, {});
}

std::shared_ptr<cConfigProp> cParams::AddConfigProp(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                    const std::string& cpIniName) {
  Entry("AddConfigProp");
  auto configProp = std::make_shared<cConfigProp>();
  configProp->parent_ = this;
  configProp->name_ = name;
  configProp->cpIniName_ = cpIniName;
  const bool given = cp != nullptr;
  if (given) configProp->SetConfigProperty(std::move(cp));
  configProp->available_ = given;
  configProps_.Add(configProp, name);
  return configProp;
}

bool cParams::AddConfigPropEx(std::shared_ptr<cConfigProp>& configProp) {
  Entry("AddConfigPropEx");
  // A buffer without a name could not be found again.
  if (!configProp || configProp->Name().empty() || configProps_.Exists(configProp->Name())) return false;
  configProps_.Add(configProp, configProp->Name());
  return true;
}

// ---- lookups ----

template <typename T>
std::shared_ptr<T> cParams::Typed(const ParameterPtr& parameter) const {
  return std::static_pointer_cast<T>(parameter);
}

std::shared_ptr<cParam1Byte> cParams::Parameter1Byte(int32_t index) const {
  return Typed<cParam1Byte>(List(Kind::OneByte).Item(index));
}
std::shared_ptr<cParam1Byte> cParams::Parameter1ByteByName(std::string_view name) const {
  return Typed<cParam1Byte>(List(Kind::OneByte).Item(name));
}
int32_t cParams::Parameter1ByteCount() const { return List(Kind::OneByte).Count(); }
std::shared_ptr<cParam2Byte> cParams::Parameter2Byte(int32_t index) const {
  return Typed<cParam2Byte>(List(Kind::TwoByte).Item(index));
}
std::shared_ptr<cParam2Byte> cParams::Parameter2ByteByName(std::string_view name) const {
  return Typed<cParam2Byte>(List(Kind::TwoByte).Item(name));
}
int32_t cParams::Parameter2ByteCount() const { return List(Kind::TwoByte).Count(); }
std::shared_ptr<cParamASCII> cParams::ParameterAscii(int32_t index) const {
  return Typed<cParamASCII>(List(Kind::Ascii).Item(index));
}
std::shared_ptr<cParamASCII> cParams::ParameterAsciiByName(std::string_view name) const {
  return Typed<cParamASCII>(List(Kind::Ascii).Item(name));
}
int32_t cParams::ParameterAsciiCount() const { return List(Kind::Ascii).Count(); }

std::shared_ptr<cParamTextBox> cParams::TextBoxParameter(int32_t index) const {
  return Typed<cParamTextBox>(List(Kind::TextBox).Item(index));
}
std::shared_ptr<cParamTextBox> cParams::TextBoxParameterByName(std::string_view name) const {
  return Typed<cParamTextBox>(List(Kind::TextBox).Item(name));
}
std::shared_ptr<cParamComboBox> cParams::ComboBoxParameter(int32_t index) const {
  return Typed<cParamComboBox>(List(Kind::ComboBox).Item(index));
}
std::shared_ptr<cParamComboBox> cParams::ComboBoxParameterByName(std::string_view name) const {
  return Typed<cParamComboBox>(List(Kind::ComboBox).Item(name));
}
std::shared_ptr<cParamCheckBox> cParams::CheckBoxParameter(int32_t index) const {
  return Typed<cParamCheckBox>(List(Kind::CheckBox).Item(index));
}
std::shared_ptr<cParamCheckBox> cParams::CheckBoxParameterByName(std::string_view name) const {
  return Typed<cParamCheckBox>(List(Kind::CheckBox).Item(name));
}
std::shared_ptr<cParamOptBtn> cParams::OptionButtonParameter(int32_t index) const {
  return Typed<cParamOptBtn>(List(Kind::OptionButton).Item(index));
}
std::shared_ptr<cParamOptBtn> cParams::OptionButtonParameterByName(std::string_view name) const {
  return Typed<cParamOptBtn>(List(Kind::OptionButton).Item(name));
}

std::shared_ptr<cParamTextBox> cParams::TextBoxParameterByControlIndex(int32_t controlIndex) const {
  for (const auto& parameter : List(Kind::TextBox)) {
    auto textBox = Typed<cParamTextBox>(parameter);
    if (textBox->TextBoxControl() && textBox->TextBoxControl()->Index() == controlIndex) return textBox;
  }
  return nullptr;
}

std::shared_ptr<cParamComboBox> cParams::ComboBoxParameterByControlIndex(int32_t controlIndex) const {
  for (const auto& parameter : List(Kind::ComboBox)) {
    auto comboBox = Typed<cParamComboBox>(parameter);
    if (comboBox->ComboBoxControl() && comboBox->ComboBoxControl()->Index() == controlIndex) return comboBox;
  }
  return nullptr;
}

bool cParams::ConfigPropExists(std::string_view name, std::shared_ptr<cConfigProp>* configProp) const {
  if (!configProps_.Exists(name)) return false;
  if (configProp != nullptr) *configProp = configProps_.Item(name);
  return true;
}

ConfigPropList cParams::ConfigPropsByNamePrefix(std::string_view prefix) const {
  ConfigPropList found;
  const std::string wanted = base::ToUpperAscii(prefix);
  for (const auto& cp : configProps_) {
    if (base::ToUpperAscii(cp->Name()).compare(0, wanted.size(), wanted) == 0) found.Add(cp, cp->Name());
  }
  return found;
}

ParameterPtr cParams::ParameterAllByName(std::string_view name, int32_t parameterType) const {
  auto find = [&](Kind kind) -> ParameterPtr {
    const auto& list = List(kind);
    return list.Exists(name) ? list.Item(name) : nullptr;
  };
  switch (parameterType) {
    case cParamEnums::PA_CLASSID_TEXTBOX_PARAMETER: return find(Kind::TextBox);
    case cParamEnums::PA_CLASSID_COMBOBOX_PARAMTER: return find(Kind::ComboBox);
    case cParamEnums::PA_CLASSID_CHECKBOX_PARAMETER: return find(Kind::CheckBox);
    case cParamEnums::PA_CLASSID_OPTIONBUTTON_PARAMETER: return find(Kind::OptionButton);
    case cParamEnums::PA_CLASSID_1BYTE_PARAMETER: return find(Kind::OneByte);
    case cParamEnums::PA_CLASSID_2BYTE_PARAMETER: return find(Kind::TwoByte);
    default: break;
  }
  // ASCII parameters are not searched.
  for (Kind kind : {Kind::OneByte, Kind::TwoByte, Kind::CheckBox, Kind::ComboBox, Kind::OptionButton, Kind::TextBox}) {
    if (auto found = find(kind)) return found;
  }
  return nullptr;
}

bool cParams::ParameterAllExists(std::string_view name, ParameterPtr* parameter) const {
  ParameterPtr found = ParameterAllByName(name, cParamEnums::PA_PARAMETERS);
  if (parameter != nullptr) *parameter = found;
  return found != nullptr;
}

// ---- questions ----

bool cParams::AnyParameterValueIsInvalid() const {
  bool invalid = false;
  for (Kind kind : {Kind::TextBox, Kind::ComboBox}) {
    for (const auto& parameter : List(kind)) {
      if (parameter->Available() && parameter->ValueIsInvalid()) invalid = true;
    }
  }
  return invalid;
}

ParameterList cParams::GetAllParamsShouldBeWrittenToLns() const {
  ParameterList result;
  for (Kind kind : kKindOrder) {
    for (const auto& parameter : List(kind)) {
      if (parameter->Available() && !parameter->DontWriteToLns() && parameter->WritingToLnsIsRequired()) {
        result.Add(parameter);
      }
    }
  }
  return result;
}

base::Collection<std::shared_ptr<lns::ConfigProperty>> cParams::GetAllCpsShouldBeWrittenToLns() const {
  base::Collection<std::shared_ptr<lns::ConfigProperty>> cps;
  std::vector<std::string> names;
  for (const auto& parameter : GetAllParamsShouldBeWrittenToLns()) {
    std::shared_ptr<lns::ConfigProperty> cp = parameter->ConfigProperty();
    if (!cp && parameter->ConfigPropExt()) cp = parameter->ConfigPropExt()->ConfigProperty();
    if (!cp) continue;
    const std::string name = cp->Name();
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    names.push_back(name);
    cps.Add(cp);
  }
  return cps;
}

base::Collection<std::string> cParams::GetAllCpNamesShouldBeWrittenToLns() const {
  base::Collection<std::string> names;
  for (const auto& cp : GetAllCpsShouldBeWrittenToLns()) names.Add(cp->Name());
  return names;
}

// ---- the user interface and control events ----

void cParams::SetUserInterface(services::dialogs::Dialogs* dialogs, std::string messageTitle) {
  dialogs_ = dialogs;
  messageTitle_ = std::move(messageTitle);
}

void cParams::TextBox_Change_Event(ui::window::TextBox& textBoxControl) {
  base::RunProcedure(kModule, base::Visibility::Public, "TextBox_Change_Event",
                     [&](base::ErrorScope&) { TextBoxParameterByName(textBoxControl.Tag())->TextBox_Change_Event(); });
}

void cParams::TextBox_KeyPress_Event(ui::window::TextBox& textBoxControl, int16_t& keyAscii) {
  base::RunProcedure(kModule, base::Visibility::Public, "TextBox_KeyPress_Event", [&](base::ErrorScope&) {
    TextBoxParameterByName(textBoxControl.Tag())->TextBox_KeyPress_Event(keyAscii);
  });
}

void cParams::TextBox_LostFocus_Event(ui::window::TextBox& textBoxControl) {
  base::RunProcedure(kModule, base::Visibility::Public, "TextBox_LostFocus_Event", [&](base::ErrorScope&) {
    TextBoxParameterByName(textBoxControl.Tag())->TextBox_LostFocus_Event();
  });
}

void cParams::TextBox_Validate_Event(ui::window::TextBox& textBoxControl, bool& cancel) {
  base::RunProcedure(kModule, base::Visibility::Public, "TextBox_Validate_Event", [&](base::ErrorScope&) {
    TextBoxParameterByName(textBoxControl.Tag())->TextBox_Validate_Event(cancel);
  });
}

void cParams::ComboBox_Change_Event(ui::window::ComboBox& comboBoxControl) {
  base::RunProcedure(kModule, base::Visibility::Public, "ComboBox_Change_Event", [&](base::ErrorScope&) {
    for (const auto& parameter : List(Kind::ComboBox)) {
      auto comboBox = Typed<cParamComboBox>(parameter);
      if (comboBox->ComboBoxControl().get() == &comboBoxControl) return comboBox->ComboBox_Change_Event();
    }
  });
}

void cParams::CheckBox_Click_Event(ui::window::CheckBox& checkBoxControl) {
  base::RunProcedure(kModule, base::Visibility::Public, "CheckBox_Click_Event", [&](base::ErrorScope&) {
    for (const auto& parameter : List(Kind::CheckBox)) {
      auto checkBox = Typed<cParamCheckBox>(parameter);
      if (checkBox->CheckBoxControl().get() == &checkBoxControl) return checkBox->CheckBox_Click_Event();
    }
  });
}

void cParams::OptionButton_Click_Event(ui::window::OptionButton& optionButtonControl) {
  base::RunProcedure(kModule, base::Visibility::Public, "OptionButton_Click_Event", [&](base::ErrorScope&) {
    auto group = OptionButtonParameterByName(optionButtonControl.Tag());
    for (int32_t i = 1; i <= group->OptionButtonsCount(); ++i) {
      if (group->OptionButton(i).get() == &optionButtonControl) return group->OptionButton_Click_Event(i);
    }
  });
}

bool cParams::FirstConnection(const std::shared_ptr<const void>& control) {
  if (!control) return false;
  std::erase_if(connectedControls_, [](const auto& connected) { return connected.expired(); });
  for (const auto& connected : connectedControls_) {
    if (connected.lock() == control) return false;
  }
  connectedControls_.push_back(control);
  return true;
}

void cParams::Route(ControlEvent kind, const std::function<void()>& event) {
  if (hooks_.forward && !hooks_.forward(kind)) return;
  event();
  if (hooks_.forwarded) hooks_.forwarded(kind);
}

void cParams::Connect(const std::shared_ptr<ui::window::TextBox>& control) {
  using ui::window::TextBox;
  if (!FirstConnection(control)) return;
  controlConnections_.Connect(control, &TextBox::Change, [this](TextBox& c) {
    Route(ControlEvent::TextBoxChange, [&] { TextBox_Change_Event(c); });
  });
  controlConnections_.Connect(control, &TextBox::KeyPress, [this](TextBox& c, int16_t& key) {
    Route(ControlEvent::TextBoxKeyPress, [&] { TextBox_KeyPress_Event(c, key); });
  });
  controlConnections_.Connect(control, &TextBox::Validate, [this](TextBox& c, bool& cancel) {
    Route(ControlEvent::TextBoxValidate, [&] { TextBox_Validate_Event(c, cancel); });
  });
  controlConnections_.Connect(control, &TextBox::LostFocus, [this](TextBox& c) {
    Route(ControlEvent::TextBoxLostFocus, [&] { TextBox_LostFocus_Event(c); });
  });
}

void cParams::Connect(const std::shared_ptr<ui::window::ComboBox>& control) {
  if (!FirstConnection(control)) return;
  controlConnections_.Connect(control, &ui::window::ComboBox::Click, [this](ui::window::ComboBox& c) {
    Route(ControlEvent::ComboBoxClick, [&] { ComboBox_Change_Event(c); });
  });
}

void cParams::Connect(const std::shared_ptr<ui::window::CheckBox>& control) {
  if (!FirstConnection(control)) return;
  controlConnections_.Connect(control, &ui::window::CheckBox::Click, [this](ui::window::CheckBox& c) {
    Route(ControlEvent::CheckBoxClick, [&] { CheckBox_Click_Event(c); });
  });
}

void cParams::Connect(const std::shared_ptr<ui::window::OptionButton>& control) {
  if (!FirstConnection(control)) return;
  controlConnections_.Connect(control, &ui::window::OptionButton::Click, [this](ui::window::OptionButton& c) {
    Route(ControlEvent::OptionButtonClick, [&] { OptionButton_Click_Event(c); });
  });
}

// ---- fetching ----

void cParams::FetchLmoCp(const std::string& cpName, const std::string& section, const lns::IniFile& iniFile,
                         std::shared_ptr<lns::DeviceTemplate>& deviceTemplate,
                         const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                         std::shared_ptr<lns::ConfigProperty>& configProperty, bool* succeed) const {
  Entry("FetchLmoCp");
  const int16_t position = iniFile.ReadCpPosition(cpName, section, deviceTemplate);
  if (position < 1) {
    if (succeed == nullptr) RaiseFetchError("INI - File Error : " + cpName);
    *succeed = false;
    return;
  }
  const int16_t nvPosition = iniFile.ReadField(cpName, section, deviceTemplate, 2);
  // A position past a collection's end is an unexpected error for the error operation.
  base::ErrorScope scope(kModule, "FetchLmoCp");
  scope.Run([&] {
    std::shared_ptr<lns::CpCollection> cps = nvPosition > 0
                                                 ? lonMarkObject->NetworkVariables()->Item(nvPosition)->ConfigProperties()
                                                 : lonMarkObject->ConfigProperties();
    configProperty = cps->Item(position);
    if (succeed != nullptr) *succeed = true;
  });
}

void cParams::FetchDevCp(const std::string& cpName, const std::string& section, const lns::IniFile& iniFile,
                         std::shared_ptr<lns::DeviceTemplate>& deviceTemplate,
                         const std::shared_ptr<lns::AppDevice>& appDevice,
                         std::shared_ptr<lns::ConfigProperty>& configProperty, bool* succeed) const {
  Entry("FetchDevCp");
  if (succeed != nullptr) *succeed = true;
  const int16_t cpPosition = iniFile.ReadField(cpName, section, deviceTemplate, 1);
  const int16_t objectPosition = iniFile.ReadField(cpName, section, deviceTemplate, 2);
  const int16_t nvPosition = iniFile.ReadField(cpName, section, deviceTemplate, 3);
  auto fail = [&](const std::string& text) {
    if (succeed == nullptr) RaiseFetchError(text);
    *succeed = false;
  };
  if (cpPosition < 1) return fail("INI - File Error : " + cpName);
  auto objectFetchText = "INI-File Error (CP, Object-Fetch): " + cpName + " / Object-Index=" + std::to_string(objectPosition);
  auto nvFetchText = "INI-File Error (CP, NV-Fetch): " + cpName + " / NV-Index=" + std::to_string(nvPosition);
  std::shared_ptr<lns::CpCollection> cps;
  if (objectPosition > 0) {
    std::shared_ptr<lns::LonMarkObject> object;
    try {
      object = appDevice->Interface()->LonMarkObjects()->Item(objectPosition);
    } catch (const base::Error&) {
      return fail(objectFetchText);
    }
    if (nvPosition > 0) {
      try {
        cps = object->NetworkVariables()->Item(nvPosition)->ConfigProperties();
      } catch (const base::Error&) {
        return fail(nvFetchText);
      }
    } else {
      cps = object->ConfigProperties();
    }
  } else if (nvPosition > 0) {
    try {
      cps = appDevice->Interface()->NetworkVariables()->Item(nvPosition)->ConfigProperties();
    } catch (const base::Error&) {
      return fail(nvFetchText);
    }
  } else {
    cps = appDevice->Interface()->ConfigProperties();
  }
  try {
    configProperty = cps->Item(cpPosition);
  } catch (const base::Error&) {
    return fail("INI-File Error (CP, CP-Fetch): " + cpName + " / CP-Index=" + std::to_string(cpPosition));
  }
}

bool cParams::HasFetchContext(const lns::ObjectPtr& owner, bool* succeed) const {
  const bool usable = fetchIni_ != nullptr && fetchTemplate_ != nullptr && owner;
  if (!usable && succeed != nullptr) *succeed = false;
  return usable;
}

void cParams::FetchLmoCp(const std::string& cpName, const std::string& section,
                         const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                         std::shared_ptr<lns::ConfigProperty>& configProperty, bool* succeed) const {
  if (HasFetchContext(lonMarkObject, succeed)) {
    FetchLmoCp(cpName, section, *fetchIni_, *fetchTemplate_, lonMarkObject, configProperty, succeed);
  }
}

void cParams::FetchDevCp(const std::string& cpName, const std::string& section,
                         const std::shared_ptr<lns::AppDevice>& appDevice,
                         std::shared_ptr<lns::ConfigProperty>& configProperty, bool* succeed) const {
  if (HasFetchContext(appDevice, succeed)) {
    FetchDevCp(cpName, section, *fetchIni_, *fetchTemplate_, appDevice, configProperty, succeed);
  }
}

// ---- reading the whole set ----

void cParams::ReadFromLns() {
  Entry("ReadFromLns");
  // Parameters that share an LNS CP take its value from one server read.
  const cp_part::ReadPassCache readPass;
  for (Kind kind : kKindOrder) {
    for (const auto& parameter : List(kind)) {
      if (parameter->ConfigProperty() && parameter->Available() && !parameter->DontReadFromLns()) {
        parameter->ReadFromLns();
      }
    }
  }
  for (const auto& configProp : configProps_) configProp->ReadFromLns();
  for (Kind kind : kKindOrder) {
    for (const auto& parameter : List(kind)) {
      if (parameter->Available() && parameter->CpIsExternal() && parameter->ConfigPropExt()->CpFetched()) {
        parameter->ReadFromExtCp();
      }
    }
  }
}

}  // namespace params
