// The write side of cParams: the whole set to LNS in one transaction, the external
// parameters into their CP buffers, and the set onto another LonMark object or device.

#include <functional>

#include "base/error.h"
#include "base/procedure.h"
#include "params/param_enums.h"
#include "params/params.h"
#include "services/dialogs.h"
#include "ui/res_strings.h"

namespace params {
namespace {

constexpr const char* kModule = "cParams";
constexpr uint32_t kBlack = 0;
constexpr uint32_t kGreen = 65280;

void Entry(const char* procedure) { base::LogEntry(kModule, base::Visibility::Public, procedure); }

// Starts a transaction on `system`; false (writing goes on without one) when none opens.
bool StartTransaction(const std::shared_ptr<lns::System>& system) {
  if (!system) return false;
  try {
    system->StartTransaction();
    return true;
  } catch (const std::exception& e) {
    // Not an error of the write: it goes on without a transaction.
    base::LogNote("No LNS transaction could be started, writing without one: " +
                  base::ToError(e, kModule).Description());
    return false;
  }
}

// Runs one parameter's or buffer's write; an error it raises (a value that overflows its
// number) is logged in red and the write of the set goes on, so that the buffers are still
// written and the transaction is still committed.
void GoingOnAfterError(const std::string& name, const std::function<void()>& write) {
  try {
    write();
  } catch (const std::exception& e) {
    base::LogSwallowedError("\"" + name + "\" was not written: " + base::ToError(e, kModule).Description());
  }
}

// Commits (or cancels) the transaction; a failure is logged in red, not raised.
void EndTransaction(const std::shared_ptr<lns::System>& system, bool commit) {
  try {
    if (commit) {
      system->CommitTransaction();
    } else {
      system->CancelTransaction();
    }
  } catch (const std::exception& e) {
    base::LogSwallowedError(std::string(commit ? "Committing" : "Cancelling") + " the LNS transaction failed: " +
                            base::ToError(e, kModule).Description());
  }
}

// The device whose interface holds a LonMark object (none when it cannot be found).
std::shared_ptr<lns::AppDevice> DeviceOf(const std::shared_ptr<lns::LonMarkObject>& object) {
  if (!object) return nullptr;
  lns::ObjectPtr node = object->Parent();
  for (int step = 0; node && step < 3; ++step) {
    if (auto device = std::dynamic_pointer_cast<lns::AppDevice>(node)) return device;
    node = node->Parent();
  }
  return nullptr;
}

// Binds a parameter or buffer back to its own CP when the write onto another target ends.
struct Rebind {
  std::shared_ptr<lns::ConfigProperty> own;
  std::function<void(std::shared_ptr<lns::ConfigProperty>)> bind;
  ~Rebind() { bind(own); }
};

std::shared_ptr<lns::DeviceTemplate> TemplateOf(const std::shared_ptr<lns::AppDevice>& device) {
  try {
    return device ? device->Template() : nullptr;
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace

void cParams::WriteToLns(bool writeCpNamesToLogger) {
  Entry("WriteToLns");
  if (writeCpNamesToLogger) {
    base::LogLine(ui::ResString(1553) + "  ", kBlack);
    for (const auto& name : GetAllCpNamesShouldBeWrittenToLns()) base::LogLine("    - " + name, kGreen);
  }
  const bool transaction = StartTransaction(system_);
  for (Kind kind : kKindOrder) {
    for (const auto& parameter : List(kind)) {
      if (parameter->Available() && !parameter->DontWriteToLns()) {
        GoingOnAfterError(parameter->Name(), [&] { parameter->WriteToLns(); });
      }
    }
  }
  WriteAllParamsToExtCps();
  for (const auto& configProp : configProps_) {
    if (configProp->Available() && !configProp->DontWriteToLns()) {
      GoingOnAfterError(configProp->Name(), [&] { configProp->WriteToLns(false); });
    }
  }
  // A failed commit is logged in red and otherwise ignored: the parameters count as written.
  if (transaction) EndTransaction(system_, true);
}

void cParams::WriteAllParamsToExtCps() {
  Entry("WriteAllParamsToExtCps");
  for (Kind kind : kKindOrder) {
    for (const auto& parameter : List(kind)) {
      if (parameter->Available() && parameter->CpIsExternal() && parameter->ConfigPropExt()->CpFetched()) {
        GoingOnAfterError(parameter->Name(), [&] { parameter->WriteToExtCp(); });
      }
    }
  }
}

// ---- onto another target ----

void cParams::ShowWriteError(const std::string& operation, const std::exception& error,
                             const std::string& cpIniName) const {
  const base::Error numbered = base::ToError(error, kModule);
  // No line numbers are kept: the line is given as 0.
  const std::string text = "Fehler in " + operation + " !!!\r\nNummer : " + std::to_string(numbered.Number()) +
                           "\r\nBeschreibung : " + numbered.Description() + "\r\nZeile : 0\r\nConfigProperty : " +
                           cpIniName;
  base::LogSwallowedError(base::ReplaceAll(text, "\r\n", " / "));
  if (dialogs_ != nullptr) {
    dialogs_->Show({text, messageTitle_, services::dialogs::Icon::Critical, services::dialogs::Buttons::Ok, 1});
  }
}

bool cParams::WriteParams(const ParameterList& parameters, const char* operation, const CpFinder& find) {
  std::string current;
  try {
    for (const auto& parameter : parameters) {
      if (!parameter->Available() || parameter->DontWriteToLns() || parameter->CpIsExternal()) continue;
      current = parameter->CpIniName();
      std::shared_ptr<lns::ConfigProperty> target = find(current);
      if (!target) {
        MissingCp.Emit(parameter->Name(), current);
        continue;
      }
      // Bound to the target's CP for the moment, then to its own again (also after an error).
      const Rebind rebind{parameter->ConfigProperty(), [&](std::shared_ptr<lns::ConfigProperty> cp) {
                            parameter->SetConfigProperty(std::move(cp));
                          }};
      parameter->SetConfigProperty(target);
      parameter->WriteToLns();
    }
    return true;
  } catch (const std::exception& e) {
    ShowWriteError(operation, e, current);
    return false;
  }
}

cParams::CpFinder cParams::LmoFinder(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                                     const lns::IniFile& iniFile, const std::string& section) const {
  auto deviceTemplate = std::make_shared<std::shared_ptr<lns::DeviceTemplate>>(TemplateOf(DeviceOf(lonMarkObject)));
  return [this, lonMarkObject, &iniFile, section, deviceTemplate](const std::string& cpIniName) {
    std::shared_ptr<lns::ConfigProperty> cp;
    bool succeed = false;
    FetchLmoCp(cpIniName, section, iniFile, *deviceTemplate, lonMarkObject, cp, &succeed);
    return succeed ? cp : nullptr;
  };
}

cParams::CpFinder cParams::DevFinder(const std::shared_ptr<lns::AppDevice>& appDevice, const lns::IniFile& iniFile,
                                     const std::string& section) const {
  auto deviceTemplate = std::make_shared<std::shared_ptr<lns::DeviceTemplate>>(TemplateOf(appDevice));
  return [this, appDevice, &iniFile, section, deviceTemplate](const std::string& cpIniName) {
    std::shared_ptr<lns::ConfigProperty> cp;
    bool succeed = false;
    FetchDevCp(cpIniName, section, iniFile, *deviceTemplate, appDevice, cp, &succeed);
    return succeed ? cp : nullptr;
  };
}

bool cParams::WriteParamsToLnsLmo(const ParameterList& parameters, const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                                  const lns::IniFile& iniFile, const std::string& iniFileCpSection) {
  Entry("WriteParamsToLnsLmo");
  return WriteParams(parameters, "WriteParamsToLnsLmo", LmoFinder(lonMarkObject, iniFile, iniFileCpSection));
}

bool cParams::WriteToTarget(const CpFinder& find, const char* paramsOperation, const char* buffersOperation) {
  const bool transaction = StartTransaction(system_);
  bool succeeded = true;
  for (Kind kind : kKindOrder) {
    if (!WriteParams(List(kind), paramsOperation, find)) {
      succeeded = false;
      break;
    }
  }
  if (succeeded) {
    succeeded = WriteBuffersToPlaces(buffersOperation, [&](cConfigProp& configProp) { return find(configProp.CpIniName()); });
  }
  if (transaction) EndTransaction(system_, succeeded);
  return succeeded;
}

bool cParams::WriteToLnsLmo(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject, const lns::IniFile& iniFile,
                            const std::string& iniFileCpSection) {
  Entry("WriteToLnsLmo");
  return WriteToTarget(LmoFinder(lonMarkObject, iniFile, iniFileCpSection), "WriteParamsToLnsLmo",
                       "WriteExtCpsToLnsLmo");
}

bool cParams::WriteToLnsDev(const std::shared_ptr<lns::AppDevice>& appDevice, const lns::IniFile& iniFile,
                            const std::string& iniFileCpSection) {
  Entry("WriteToLnsDev");
  return WriteToTarget(DevFinder(appDevice, iniFile, iniFileCpSection), "WriteParamsToLnsDev", "WriteExtCpsToLnsDev");
}

// The CP at the place of `configProp`'s own CP (same owner kind and position) on a device.
std::shared_ptr<lns::ConfigProperty> cParams::GetNewCpDev(cConfigProp& configProp,
                                                          const std::shared_ptr<lns::AppDevice>& appDevice,
                                                          bool& failed) const {
  try {
    const uint8_t index = configProp.GetCpIndex();
    const lns::ObjectPtr owner = configProp.GetSuperiorObject();
    if (!owner || index == 0) return nullptr;
    auto deviceInterface = appDevice->Interface();
    switch (owner->ClassId()) {
      case lns::class_id::kAppDevice:
        return deviceInterface->ConfigProperties()->Item(index);
      case lns::class_id::kLonMarkObject: {
        const int32_t position = std::dynamic_pointer_cast<lns::LonMarkObject>(owner)->Index() + 1;
        return deviceInterface->LonMarkObjects()->Item(position)->ConfigProperties()->Item(index);
      }
      case lns::class_id::kNetworkVariable: {
        const int32_t position = std::dynamic_pointer_cast<lns::NetworkVariable>(owner)->Index() + 1;
        return deviceInterface->NetworkVariables()->Item(position)->ConfigProperties()->Item(index);
      }
      default:
        return nullptr;
    }
  } catch (const std::exception& e) {
    ShowWriteError("GetNewCpDev", e, configProp.CpIniName());
    failed = true;
    return nullptr;
  }
}

std::shared_ptr<lns::ConfigProperty> cParams::GetNewCpLmo(cConfigProp& configProp,
                                                          const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                                                          bool& failed) const {
  try {
    const uint8_t index = configProp.GetCpIndex();
    const lns::ObjectPtr owner = configProp.GetSuperiorObject();
    if (!owner || index == 0) return nullptr;
    switch (owner->ClassId()) {
      case lns::class_id::kLonMarkObject:
        return lonMarkObject->ConfigProperties()->Item(index);
      case lns::class_id::kNetworkVariable: {
        const int32_t member = std::dynamic_pointer_cast<lns::NetworkVariable>(owner)->LonMarkMemberIndex() + 1;
        return lonMarkObject->NetworkVariables()->Item(member)->ConfigProperties()->Item(index);
      }
      default:
        return nullptr;
    }
  } catch (const std::exception& e) {
    ShowWriteError("GetNewCpLmo", e, configProp.CpIniName());
    failed = true;
    return nullptr;
  }
}

bool cParams::WriteBuffersToPlaces(const char* operation,
                                   const std::function<std::shared_ptr<lns::ConfigProperty>(cConfigProp&)>& place) {
  std::string current;
  try {
    for (const auto& configProp : configProps_) {
      if (!configProp->Available()) continue;
      current = configProp->CpIniName();
      std::shared_ptr<lns::ConfigProperty> target = place(*configProp);
      if (!target) continue;
      const Rebind rebind{configProp->ConfigProperty(), [&](std::shared_ptr<lns::ConfigProperty> cp) {
                            configProp->SetConfigProperty(std::move(cp));
                          }};
      configProp->SetConfigProperty(target);
      configProp->WriteToLns(true);
    }
    return true;
  } catch (const std::exception& e) {
    ShowWriteError(operation, e, current);
    return false;
  }
}

bool cParams::WriteExtCpsToLnsDevEx(const std::shared_ptr<lns::AppDevice>& appDevice) {
  Entry("WriteExtCpsToLnsDevEx");
  bool failed = false;
  const bool written = WriteBuffersToPlaces(
      "WriteExtCpsToLnsDevEx", [&](cConfigProp& configProp) { return GetNewCpDev(configProp, appDevice, failed); });
  return written && !failed;
}

bool cParams::WriteExtCpsToLnsLmoEx(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject) {
  Entry("WriteExtCpsToLnsLmoEx");
  bool failed = false;
  const bool written = WriteBuffersToPlaces(
      "WriteExtCpsToLnsLmoEx", [&](cConfigProp& configProp) { return GetNewCpLmo(configProp, lonMarkObject, failed); });
  return written && !failed;
}

}  // namespace params
