#include "config/plugin_fetch.h"

#include "base/procedure.h"
#include "lns/fetch.h"

namespace config::M_PlugInSpecific {
namespace {

using base::Visibility;
constexpr const char* kModule = "M_PlugInSpecific";

// The CP named cpIniName of the run's device or LonMark object; nullptr when not found.
std::shared_ptr<lns::ConfigProperty> FetchCp(const lns::PlugInContext& context, const std::string& cpIniName,
                                             bool fromDevice, bool lonMarkObjectByNvField, bool& found) {
  std::shared_ptr<lns::ConfigProperty> cp;
  found = false;
  if (context.iniFile == nullptr) return nullptr;
  auto& deviceTemplate = const_cast<lns::PlugInContext&>(context).deviceTemplate;
  if (fromDevice) {
    lns::M_PlugIn::FetchDevCp(cpIniName, lns::M_PlugIn::kCpSection, *context.iniFile, deviceTemplate, context.device,
                              cp, &found);
  } else if (lonMarkObjectByNvField) {
    lns::M_PlugIn::FetchLmoCp2(cpIniName, lns::M_PlugIn::kCpSection, *context.iniFile, deviceTemplate,
                               context.lonMarkObject, cp, &found);
  } else {
    lns::M_PlugIn::FetchLmoCp(cpIniName, lns::M_PlugIn::kCpSection, *context.iniFile, deviceTemplate,
                              context.lonMarkObject, cp, &found);
  }
  return found ? cp : nullptr;
}

}  // namespace

bool FetchCpToConfigProp(const lns::PlugInContext& context, params::cParams& parameters, const std::string& cpIniName,
                         std::shared_ptr<params::cConfigProp>& configProp, const std::string& name, bool fromDevice) {
  base::LogEntry(kModule, Visibility::Public, "FetchCpToConfigProp");
  bool found = false;
  auto cp = FetchCp(context, cpIniName, fromDevice, true, found);
  configProp = parameters.AddConfigProp(name.empty() ? cpIniName : name, cp, cpIniName);
  configProp->SetSuperiorLnsObject(fromDevice ? lns::ObjectPtr(context.device) : lns::ObjectPtr(context.lonMarkObject));
  return found;
}

bool FetchCpTo2ByteParameter(const lns::PlugInContext& context, params::cParams& parameters,
                             const std::string& cpIniName, std::shared_ptr<params::cParam2Byte>& parameter,
                             const std::string& name, bool fromDevice) {
  base::LogEntry(kModule, Visibility::Public, "FetchCpTo2ByteParameter");
  bool found = false;
  auto cp = FetchCp(context, cpIniName, fromDevice, false, found);
  parameter = parameters.Add2ByteParameter(name.empty() ? cpIniName : name, cp, cpIniName);
  return found;
}

bool AddConfigPropTo1ByteParameter(params::cParams& parameters, const std::shared_ptr<params::cConfigProp>& configProp,
                                   std::shared_ptr<params::cParam1Byte>& parameter, const std::string& name) {
  base::LogEntry(kModule, Visibility::Public, "AddConfigPropTo1ByteParameter");
  parameter = parameters.Add1ByteParameterExtCp(name, configProp);
  return configProp->Available();
}

}  // namespace config::M_PlugInSpecific
