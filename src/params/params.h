#pragma once
// cParams: the registry of CP value buffers and parameters. One ordered, keyed collection
// per parameter kind, one of all parameters in order of creation, one of CP buffers; the
// lookups and the questions asked over the whole set; the fetch of CPs named in the plug-in
// INI file; reading the whole set from LNS.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/collection.h"
#include "lns/ini_file.h"
#include "lns/lns_objects.h"
#include "params/config_prop.h"
#include "params/param_raw.h"
#include "params/parameter.h"

namespace params {

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

  int16_t ClassId() const;

  // Where the CP buffers' FetchCp looks CPs up: the host's plug-in INI file and device template.
  void SetFetchContext(const lns::IniFile* iniFile, std::shared_ptr<lns::DeviceTemplate>* deviceTemplate);

  const std::shared_ptr<lns::System>& System() const { return system_; }
  void SetSystem(std::shared_ptr<lns::System> system) { system_ = std::move(system); }

  // ---- creation (a duplicate name of the same kind raises 457 and adds nothing) ----
  std::shared_ptr<cParam1Byte> Add1ByteParameter(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                 const std::string& cpIniName);
  std::shared_ptr<cParam2Byte> Add2ByteParameter(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                 const std::string& cpIniName);
  std::shared_ptr<cParamASCII> AddAsciiParameter(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                                 const std::string& cpIniName);
  std::shared_ptr<cParam1Byte> Add1ByteParameterExtCp(const std::string& name, std::shared_ptr<cConfigProp> configProp);
  std::shared_ptr<cParam2Byte> Add2ByteParameterExtCp(const std::string& name, std::shared_ptr<cConfigProp> configProp);
  std::shared_ptr<cParamASCII> AddAsciiParameterExtCp(const std::string& name, std::shared_ptr<cConfigProp> configProp);
  std::shared_ptr<cConfigProp> AddConfigProp(const std::string& name, std::shared_ptr<lns::ConfigProperty> cp,
                                             const std::string& cpIniName);
  // Adds an existing buffer under its own name; false (nothing added) for a name in use.
  bool AddConfigPropEx(std::shared_ptr<cConfigProp>& configProp);

  // ---- lookups: positions from 1 (error 9 outside), names (error 5 when missing) ----
  std::shared_ptr<cParam1Byte> Parameter1Byte(int32_t index) const;
  std::shared_ptr<cParam1Byte> Parameter1ByteByName(std::string_view name) const;
  int32_t Parameter1ByteCount() const;
  std::shared_ptr<cParam2Byte> Parameter2Byte(int32_t index) const;
  std::shared_ptr<cParam2Byte> Parameter2ByteByName(std::string_view name) const;
  int32_t Parameter2ByteCount() const;
  std::shared_ptr<cParamASCII> ParameterAscii(int32_t index) const;
  std::shared_ptr<cParamASCII> ParameterAsciiByName(std::string_view name) const;
  int32_t ParameterAsciiCount() const;
  int32_t TextBoxParameterCount() const { return List(Kind::TextBox).Count(); }
  int32_t ComboBoxParameterCount() const { return List(Kind::ComboBox).Count(); }
  int32_t CheckBoxParameterCount() const { return List(Kind::CheckBox).Count(); }
  int32_t OptionButtonParameterCount() const { return List(Kind::OptionButton).Count(); }

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
  ParameterPtr ParameterAllByName(std::string_view name, int32_t parameterType = 0) const;
  bool ParameterAllExists(std::string_view name, ParameterPtr* parameter = nullptr) const;

  // ---- questions over the set ----
  bool AnyParameterValueIsInvalid() const;
  ParameterList GetAllParamsShouldBeWrittenToLns() const;
  base::Collection<std::shared_ptr<lns::ConfigProperty>> GetAllCpsShouldBeWrittenToLns() const;
  base::Collection<std::string> GetAllCpNamesShouldBeWrittenToLns() const;

  // ---- the parameters of one kind, for the whole-set passes ----
  const ParameterList& List(Kind kind) const { return lists_[static_cast<size_t>(kind)]; }

  // ---- fetching CPs named in the plug-in INI file ----
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

  // Brings every parameter up to date from LNS: LNS parameters, CP buffers, then the
  // parameters on CP buffers.
  void ReadFromLns();

 private:
  // Whether the fetch context and the owner are there; otherwise `succeed` becomes false.
  bool HasFetchContext(const lns::ObjectPtr& owner, bool* succeed) const;
  ParameterList& MutableList(Kind kind) { return lists_[static_cast<size_t>(kind)]; }
  template <typename T>
  std::shared_ptr<T> AddBound(Kind kind, const char* procedure, const std::string& name,
                              std::shared_ptr<lns::ConfigProperty> cp, const std::string& cpIniName);
  template <typename T>
  std::shared_ptr<T> AddExternal(Kind kind, const char* procedure, const std::string& name,
                                 std::shared_ptr<cConfigProp> configProp);
  void Register(Kind kind, const ParameterPtr& parameter);
  template <typename T>
  std::shared_ptr<T> Typed(const ParameterPtr& parameter) const;

  std::array<ParameterList, 7> lists_;
  ParameterList allParameters_;
  ConfigPropList configProps_;
  std::shared_ptr<lns::System> system_;
  const lns::IniFile* fetchIni_ = nullptr;
  std::shared_ptr<lns::DeviceTemplate>* fetchTemplate_ = nullptr;
};

}  // namespace params
