#pragma once
// cParams: the registry of CP value buffers and parameters. One ordered, keyed collection
// per parameter kind, one of all parameters in order of creation, one of CP buffers; the
// lookups and the questions asked over the whole set; the fetch of CPs named in the plug-in
// INI file; reading the whole set from LNS.

#include <array>
#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "portab/base/collection.h"
#include "portab/base/signal.h"
#include "portab/lns/ini_file.h"
#include "portab/lns/lns_objects.h"
#include "portab/lns/nv_type_info.h"
#include "portab/params/config_prop.h"
#include "portab/params/param_checkbox.h"
#include "portab/params/param_combobox.h"
#include "portab/params/param_optbtn.h"
#include "portab/params/param_raw.h"
#include "portab/params/param_textbox.h"
#include "portab/params/parameter.h"

namespace services::dialogs {
class Dialogs;
}

namespace params {

// Parameters and CP buffers, keyed by name where the set keeps them.
using ParameterList = base::Collection<ParameterPtr>;
using ConfigPropList = base::Collection<std::shared_ptr<cConfigProp>>;

// The kinds in the fixed order of every whole-set pass.
enum class Kind { OneByte, TwoByte, CheckBox, ComboBox, OptionButton, TextBox, Ascii };
inline constexpr std::array<Kind, 7> kKindOrder{Kind::OneByte,      Kind::TwoByte, Kind::CheckBox, Kind::ComboBox,
                                                 Kind::OptionButton, Kind::TextBox, Kind::Ascii};

class cParams {
 public:
  // The section of the plug-in INI file that places CPs (its name ends with one blank).
  static constexpr const char* kCpSection = "velta Porta CPs 1.0 ";

  int16_t ClassId() const;  // PA_PARAMETERS

  // Where the CP buffers' FetchCp looks CPs up: the host's plug-in INI file and device template.
  void SetFetchContext(const lns::IniFile* iniFile, std::shared_ptr<lns::DeviceTemplate>* deviceTemplate);

  // The system whose transaction the writes use (none: they write without one) (read/write).
  const std::shared_ptr<lns::System>& System() const { return system_; }
  void SetSystem(std::shared_ptr<lns::System> system) { system_ = std::move(system); }

  // Where the parameters' messages go (none: no message is shown), with the main window's
  // title, and where text boxes look up the scaling of NV types.
  void SetUserInterface(services::dialogs::Dialogs* dialogs, std::string messageTitle);
  // As set above.
  services::dialogs::Dialogs* Dialogs() const { return dialogs_; }
  const std::string& MessageTitle() const { return messageTitle_; }
  void SetNvTypeInfo(const lns::NvTypeInformation* information) { nvTypeInfo_ = information; }
  const lns::NvTypeInformation* NvTypeInfo() const { return nvTypeInfo_; }

  // ---- creation (a duplicate name of the same kind raises 457 and adds nothing) ----
  // The kinds with a control set its Tag to the name and connect its events to the set's
  // event operations below, as the main window's handlers do.
  // A parameter on an LNS CP (`cp`, with its name in the plug-in INI file) is available when
  // `cp` is given; one on a CP buffer (ExtCp) is available when the buffer is. A control kind
  // without its CP is locked grey without a value. A new text box shows a plain number
  // (ST_unsigned).
  std::shared_ptr<cParamTextBox> AddTextBoxParameter(const std::string& name,
                                                     std::shared_ptr<ui::window::TextBox> textBoxControl,
                                                     std::shared_ptr<lns::ConfigProperty> cp, const std::string& cpIniName);
  std::shared_ptr<cParamComboBox> AddComboBoxParameter(const std::string& name,
                                                       std::shared_ptr<ui::window::ComboBox> comboBoxControl,
                                                       std::shared_ptr<lns::ConfigProperty> cp,
                                                       const std::string& cpIniName);
  std::shared_ptr<cParamCheckBox> AddCheckBoxParameter(const std::string& name,
                                                       std::shared_ptr<ui::window::CheckBox> checkBoxControl,
                                                       std::shared_ptr<lns::ConfigProperty> cp,
                                                       const std::string& cpIniName);
  // Its buttons come later through AddOptionButton; their clicks reach the set by Tag.
  std::shared_ptr<cParamOptBtn> AddOptionButtonParameter(const std::string& name,
                                                         std::shared_ptr<lns::ConfigProperty> cp,
                                                         const std::string& cpIniName);
  std::shared_ptr<cParamTextBox> AddTextBoxParameterExtCp(const std::string& name,
                                                          std::shared_ptr<ui::window::TextBox> textBoxControl,
                                                          std::shared_ptr<cConfigProp> configProp);
  std::shared_ptr<cParamComboBox> AddComboBoxParameterExtCp(const std::string& name,
                                                            std::shared_ptr<ui::window::ComboBox> comboBoxControl,
                                                            std::shared_ptr<cConfigProp> configProp);
  std::shared_ptr<cParam1Byte> Add1ByteParameter(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                 const std::string& cpIniName);
  std::shared_ptr<cParam2Byte> Add2ByteParameter(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                 const std::string& cpIniName);
  std::shared_ptr<cParamASCII> AddAsciiParameter(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                 const std::string& cpIniName);
  std::shared_ptr<cParam1Byte> Add1ByteParameterExtCp(const std::string& name, std::shared_ptr<cConfigProp> configProp);
  std::shared_ptr<cParam2Byte> Add2ByteParameterExtCp(const std::string& name, std::shared_ptr<cConfigProp> configProp);
  std::shared_ptr<cParamASCII> AddAsciiParameterExtCp(const std::string& name, std::shared_ptr<cConfigProp> configProp);
  // A CP buffer on `cp` (available when it is given); 457 for a name in use.
  std::shared_ptr<cConfigProp> AddConfigProp(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                             const std::string& cpIniName);
  // Adds an existing buffer under its own name; false (nothing added) for a name in use.
  bool AddConfigPropEx(std::shared_ptr<cConfigProp>& configProp);

  // ---- lookups: positions from 1 (error 9 outside), names (error 5 when missing) ----
  // Per kind: by position, by name, and how many.
  std::shared_ptr<cParam1Byte> Parameter1Byte(int32_t index) const;
  std::shared_ptr<cParam1Byte> Parameter1ByteByName(std::string_view name) const;
  int32_t Parameter1ByteCount() const;
  std::shared_ptr<cParam2Byte> Parameter2Byte(int32_t index) const;
  std::shared_ptr<cParam2Byte> Parameter2ByteByName(std::string_view name) const;
  int32_t Parameter2ByteCount() const;
  std::shared_ptr<cParamASCII> ParameterAscii(int32_t index) const;
  std::shared_ptr<cParamASCII> ParameterAsciiByName(std::string_view name) const;
  int32_t ParameterAsciiCount() const;
  std::shared_ptr<cParamTextBox> TextBoxParameter(int32_t index) const;
  std::shared_ptr<cParamTextBox> TextBoxParameterByName(std::string_view name) const;
  int32_t TextBoxParameterCount() const { return List(Kind::TextBox).Count(); }
  std::shared_ptr<cParamComboBox> ComboBoxParameter(int32_t index) const;
  std::shared_ptr<cParamComboBox> ComboBoxParameterByName(std::string_view name) const;
  int32_t ComboBoxParameterCount() const { return List(Kind::ComboBox).Count(); }
  std::shared_ptr<cParamCheckBox> CheckBoxParameter(int32_t index) const;
  std::shared_ptr<cParamCheckBox> CheckBoxParameterByName(std::string_view name) const;
  int32_t CheckBoxParameterCount() const { return List(Kind::CheckBox).Count(); }
  std::shared_ptr<cParamOptBtn> OptionButtonParameter(int32_t index) const;
  std::shared_ptr<cParamOptBtn> OptionButtonParameterByName(std::string_view name) const;
  int32_t OptionButtonParameterCount() const { return List(Kind::OptionButton).Count(); }
  // The first parameter whose control has that Index, or none.
  std::shared_ptr<cParamTextBox> TextBoxParameterByControlIndex(int32_t controlIndex) const;
  std::shared_ptr<cParamComboBox> ComboBoxParameterByControlIndex(int32_t controlIndex) const;

  // The CP buffers: by position, by name, how many, and whether one has that name (`configProp`
  // gets it when given).
  std::shared_ptr<cConfigProp> ConfigProps(int32_t index) const { return configProps_.Item(index); }
  std::shared_ptr<cConfigProp> ConfigPropByName(std::string_view name) const { return configProps_.Item(name); }
  int32_t ConfigPropsCount() const { return configProps_.Count(); }
  bool ConfigPropExists(std::string_view name, std::shared_ptr<cConfigProp>* configProp = nullptr) const;
  // The buffers whose name starts with `prefix` (compared upper-cased); "" takes all.
  ConfigPropList ConfigPropsByNamePrefix(std::string_view prefix) const;

  // Every parameter in order of creation (the set's own collection).
  ParameterList& AllParameters() { return allParameters_; }
  // By kind class id (1001..1006), or for any other value the first found in the order
  // one byte, two bytes, check box, combo box, option buttons, text box; none when missing.
  // ASCII parameters are not searched.
  ParameterPtr ParameterAllByName(std::string_view name, int32_t parameterType = 0) const;
  // Whether a parameter of any kind (ASCII aside) has that name; `parameter` gets it (or none).
  bool ParameterAllExists(std::string_view name, ParameterPtr* parameter = nullptr) const;

  // ---- questions over the set ----
  // Whether an available text box or combo box parameter holds an invalid value.
  bool AnyParameterValueIsInvalid() const;
  // The available parameters the next write would write (not DontWriteToLns, writing
  // required), in kind order; their LNS CPs (a buffer's CP for one on a buffer), each once by
  // name; and those CPs' names.
  ParameterList GetAllParamsShouldBeWrittenToLns() const;
  base::Collection<std::shared_ptr<lns::ConfigProperty>> GetAllCpsShouldBeWrittenToLns() const;
  base::Collection<std::string> GetAllCpNamesShouldBeWrittenToLns() const;

  // ---- control events, handed to the parameter that owns the control ----
  // The events of the connected controls pass the window's hooks: `forward` decides whether
  // an event reaches the set at all (none: every event does), `forwarded` runs after one did.
  enum class ControlEvent { TextBoxChange, TextBoxKeyPress, TextBoxLostFocus, TextBoxValidate, ComboBoxClick,
                            CheckBoxClick, OptionButtonClick };
  struct ControlEventHooks {
    std::function<bool(ControlEvent)> forward;
    std::function<void(ControlEvent)> forwarded;
  };
  void SetControlEventHooks(ControlEventHooks hooks) { hooks_ = std::move(hooks); }  // replaces the hooks

  // The text box events and the option button click find the parameter by the control's
  // Tag, the combo box and check box events by the control itself (a control of no
  // parameter is ignored). Each runs as a procedure: an error (5 for a Tag that names no
  // parameter) goes to the logging component's error operation.
  void TextBox_Change_Event(ui::window::TextBox& textBoxControl);
  void TextBox_KeyPress_Event(ui::window::TextBox& textBoxControl, int16_t& keyAscii);
  void TextBox_LostFocus_Event(ui::window::TextBox& textBoxControl);
  void TextBox_Validate_Event(ui::window::TextBox& textBoxControl, bool& cancel);
  void ComboBox_Change_Event(ui::window::ComboBox& comboBoxControl);
  void CheckBox_Click_Event(ui::window::CheckBox& checkBoxControl);
  void OptionButton_Click_Event(ui::window::OptionButton& optionButtonControl);

  // ---- the parameters of one kind, for the whole-set passes ----
  // The parameters of one kind in order of creation, keyed by name.
  const ParameterList& List(Kind kind) const { return lists_[static_cast<size_t>(kind)]; }

  // ---- fetching CPs named in the plug-in INI file ----
  // A CP the INI file does not place, or (device CPs) a position past a collection's end,
  // sets `succeed` false, or without `succeed` raises error 10000. For a LonMark object a
  // position past a collection's end goes to the error operation instead.
  // CP position (field 1) and NV position (field 2) of the LonMark object's CPs.
  void FetchLmoCp(const std::string& cpName, const std::string& section, const lns::IniFile& iniFile,
                  std::shared_ptr<lns::DeviceTemplate>& deviceTemplate,
                  const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                  std::shared_ptr<lns::ConfigProperty>& configProperty, bool* succeed = nullptr) const;
  // CP position (1), LonMark object position (2) and NV position (3) of a device CP.
  void FetchDevCp(const std::string& cpName, const std::string& section, const lns::IniFile& iniFile,
                  std::shared_ptr<lns::DeviceTemplate>& deviceTemplate,
                  const std::shared_ptr<lns::AppDevice>& appDevice,
                  std::shared_ptr<lns::ConfigProperty>& configProperty, bool* succeed = nullptr) const;
  // The same with the fetch context's INI file and device template (false without one).
  void FetchLmoCp(const std::string& cpName, const std::string& section,
                  const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                  std::shared_ptr<lns::ConfigProperty>& configProperty, bool* succeed) const;
  void FetchDevCp(const std::string& cpName, const std::string& section,
                  const std::shared_ptr<lns::AppDevice>& appDevice,
                  std::shared_ptr<lns::ConfigProperty>& configProperty, bool* succeed) const;

  // Brings every parameter up to date from LNS: the available LNS parameters not marked
  // DontReadFromLns, every CP buffer (see cConfigProp::ReadFromLns), then the available
  // parameters on buffers that have their CP.
  // Parameters that share an LNS CP take it from one server read. Failed reads are logged.
  void ReadFromLns();

  // ---- writing (params_write.cpp) ----
  // In one LNS transaction (without one when none can be started): the parameters bound to
  // LNS CPs, then the external parameters into their buffers, then the buffers, each at most
  // once. With `writeCpNamesToLogger` the CPs to be written are logged first.
  void WriteToLns(bool writeCpNamesToLogger = false);
  // Writes every available parameter on a CP buffer that has its CP into the buffer.
  void WriteAllParamsToExtCps();
  // The set onto another LonMark object or device, each CP found there by its INI name, in one
  // transaction that is committed only when everything was written. An unexpected error shows
  // a message box naming the operation and gives false.
  bool WriteToLnsLmo(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject, const lns::IniFile& iniFile,
                     const std::string& iniFileCpSection);
  bool WriteToLnsDev(const std::shared_ptr<lns::AppDevice>& appDevice, const lns::IniFile& iniFile,
                     const std::string& iniFileCpSection);
  // The given parameters onto another LonMark object, without a transaction (parameters on
  // CP buffers are skipped); an unexpected error as above.
  bool WriteParamsToLnsLmo(const ParameterList& parameters, const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                           const lns::IniFile& iniFile, const std::string& iniFileCpSection);
  // The CP buffers onto the CPs at the same places of another device or LonMark object.
  bool WriteExtCpsToLnsDevEx(const std::shared_ptr<lns::AppDevice>& appDevice);
  bool WriteExtCpsToLnsLmoEx(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject);
  // Raised when the target of those writes lacks a parameter's CP: parameter name, CP INI name.
  base::Signal<const std::string&, const std::string&> MissingCp;

  // ---- the parameter set file (params_file.cpp) ----
  // Writes the file atomically (a temporary file renamed over it): false when it could not
  // be written, and then a file that was there is left as it was.
  bool WriteToFile(const std::string& fileName, const std::string& plugInName, const std::string& programId,
                   const std::string& dataFileVersion) const;
  // Checks the file's header and loads its values; the result is an eLoadFromFileErrors value.
  // Without an INI file factory it raises kNotAvailable; a value that is no number (a check
  // box, 13) or does not fit (6) raises, with the values before it loaded.
  int32_t LoadFromFile(const std::string& fileName, const lns::IniFile& plugInIniFile, const std::string& plugInName,
                       const std::string& programId, const std::string& dataFileVersion);
  // How LoadFromFile makes the INI file object that reads the file.
  void SetIniFileFactory(std::function<std::unique_ptr<lns::IniFile>()> factory) { newIniFile_ = std::move(factory); }

 private:
  // Whether the fetch context and the owner are there; otherwise `succeed` becomes false.
  bool HasFetchContext(const lns::ObjectPtr& owner, bool* succeed) const;
  ParameterList& MutableList(Kind kind) { return lists_[static_cast<size_t>(kind)]; }
  void Register(Kind kind, const ParameterPtr& parameter);
  template <typename T>
  std::shared_ptr<T> Typed(const ParameterPtr& parameter) const;

  using CpFinder = std::function<std::shared_ptr<lns::ConfigProperty>(const std::string& cpIniName)>;
  CpFinder LmoFinder(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject, const lns::IniFile& iniFile,
                     const std::string& section) const;
  CpFinder DevFinder(const std::shared_ptr<lns::AppDevice>& appDevice, const lns::IniFile& iniFile,
                     const std::string& section) const;
  bool WriteParams(const ParameterList& parameters, const char* operation, const CpFinder& find);
  bool WriteToTarget(const CpFinder& find, const char* paramsOperation, const char* buffersOperation);
  bool WriteBuffersToPlaces(const char* operation,
                            const std::function<std::shared_ptr<lns::ConfigProperty>(cConfigProp&)>& place);
  // The CP at the place of the buffer's own CP on the target; none (and `failed` set after
  // the error box) when looking for it failed.
  std::shared_ptr<lns::ConfigProperty> GetNewCpDev(cConfigProp& configProp,
                                                   const std::shared_ptr<lns::AppDevice>& appDevice, bool& failed) const;
  std::shared_ptr<lns::ConfigProperty> GetNewCpLmo(cConfigProp& configProp,
                                                   const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                                                   bool& failed) const;
  // The German error box of the writes onto another target ("Fehler in <operation> !!!").
  void ShowWriteError(const std::string& operation, const std::exception& error, const std::string& cpIniName) const;
  std::string FileLine(Kind kind, const IParameter& parameter) const;
  void LoadValue(Kind kind, IParameter& parameter, const std::string& text);

  template <typename T>
  std::shared_ptr<T> AddParameter(Kind kind, const char* procedure, const std::string& name,
                                  std::shared_ptr<lns::ConfigProperty> cp, const std::string& cpIniName,
                                  std::shared_ptr<cConfigProp> configProp, const std::function<void(T&)>& attachControl);
  // False when the control is missing or connected already.
  bool FirstConnection(const std::shared_ptr<const void>& control);
  void Connect(const std::shared_ptr<ui::window::TextBox>& control);
  void Connect(const std::shared_ptr<ui::window::ComboBox>& control);
  void Connect(const std::shared_ptr<ui::window::CheckBox>& control);
  // The control kinds connect a control they are given later.
  friend class cParamTextBox;
  friend class cParamComboBox;
  friend class cParamCheckBox;
  friend class cParamOptBtn;
  void Connect(const std::shared_ptr<ui::window::OptionButton>& control);

  std::array<ParameterList, 7> lists_;
  ParameterList allParameters_;
  ConfigPropList configProps_;
  std::shared_ptr<lns::System> system_;
  const lns::IniFile* fetchIni_ = nullptr;
  std::shared_ptr<lns::DeviceTemplate>* fetchTemplate_ = nullptr;
  services::dialogs::Dialogs* dialogs_ = nullptr;
  std::string messageTitle_;
  const lns::NvTypeInformation* nvTypeInfo_ = nullptr;
  ControlEventHooks hooks_;
  // Runs `event` when the window's hooks let `kind` through.
  void Route(ControlEvent kind, const std::function<void()>& event);
  std::function<std::unique_ptr<lns::IniFile>()> newIniFile_;
  std::vector<std::weak_ptr<const void>> connectedControls_;  // each control is connected once
  base::Connections controlConnections_;  // ends first: the controls are still held
};

}  // namespace params
