#include "host/registration.h"

#include "base/error.h"
#include "base/paths.h"
#include "base/procedure.h"
#include "base/product.h"
#include "base/text.h"
#include "host/run_state.h"
#include "ui/res_strings.h"

namespace host::M_PlugIn {

using base::Visibility;
using services::dialogs::Icon;

namespace {

// The registration of the Application class with the plug-in's descriptive data.
services::automation::ClassRegistration LocalRegistration() {
  auto& s = RunState();
  services::automation::ClassRegistration registration{kProgramId, kClassId, s.Program.executable, {}};
  registration.details = {
      {"ProgIdPrefix", kProgIdPrefix},
      {"ClassName", kClassName},
      {"Description", ui::ResString(1801)},
      {"LcaVersion", kLcaVersion},
      {"Manufacturer", ui::ResString(1802)},
      {"ProductName", ui::ResString(1809)},
      {"RegistrationValue", std::to_string(s.CommandTable[1].RegValue)},
      {"Version", s.Version},
  };
  return registration;
}

// Walks the records of one program entry; false when a registration failed.
bool RegisterRecords(int32_t entryIndex, const lns::ProgramEntry& entry, bool& anyRecord) {
  auto& s = RunState();
  bool ok = true;
  for (int32_t recordIndex = 1;; ++recordIndex) {
    const lns::ProgramRecord record = s.IniFile->ProgramRecordAt(entryIndex, recordIndex);
    if (record.end) break;
    anyRecord = true;
    for (int i = 1; i <= 4; ++i) {
      const PlugInCommand& command = s.CommandTable[static_cast<size_t>(i)];
      if (!command.Enabled) continue;
      lns::PlugInRegistration registration;
      registration.commandId = command.CommandId;
      registration.classId = command.ClassId;
      registration.registrationValue = command.RegValue;
      registration.name = command.Name;
      registration.description = command.Description;
      registration.programId = kProgramId;
      registration.version = s.Version;
      registration.manufacturerId = kManufacturerId;
      registration.deviceProgramId = entry.keyText;
      registration.fileName = entry.fileName;
      registration.deviceTemplate = record.values.empty() ? "" : record.values[0];
      registration.scope = record.values.size() > 1 ? static_cast<int32_t>(base::Val(record.values[1])) : 0;
      if (!s.LnsConnector.RegisterCommand(s.Lns, registration)) ok = false;
    }
  }
  return ok;
}

// Walks the program entries of the plug-in INI file; true when at least one record was
// registered and nothing failed.
bool RegisterProgramEntries() {
  auto& s = RunState();
  bool anyRecord = false;
  bool ok = true;
  for (int32_t index = 1;; ++index) {
    const lns::ProgramEntry entry = s.IniFile->ProgramEntryAt(index);
    if (entry.end) break;
    if (!s.ProgramIdsToRegister.empty() &&
        base::FoldCase(s.ProgramIdsToRegister).find(base::FoldCase(entry.keyText)) == std::string::npos) {
      continue;
    }
    if (!base::FileExists(base::ResolveIn(s.Program.programFolder, entry.fileName))) break;
    ok = RegisterRecords(index, entry, anyRecord) && ok;
  }
  return anyRecord && ok;
}

}  // namespace

void Register() {
  base::RunProcedure("M_PlugIn", Visibility::Public, "Register", [](base::ErrorScope&) {
    RunState().ComRegistration->Register(LocalRegistration());
  });
}

void Unregister() {
  base::RunProcedure("M_PlugIn", Visibility::Public, "Unregister", [](base::ErrorScope&) {
    RunState().ComRegistration->Unregister(kProgramId, kClassId);
  });
}

void DeleteOwnRegistryKey() {
  base::RunProcedure("M_PlugIn", Visibility::Public, "DeleteOwnRegistryKey", [](base::ErrorScope&) {
    auto& s = RunState();
    s.RegistryAccess->DeleteKeyTree(services::registry::Hive::LocalMachine, s.PlugInKey);
  });
}

void RegisterInNetworks(const std::string& objectName, int16_t accessMode) {
  base::RunProcedure("M_PlugIn", Visibility::Public, "RegisterInNetworks", [&](base::ErrorScope&) {
    auto& s = RunState();
    s.StatusWindow->SetStatusText(ui::ResString(1513));
    s.StatusWindow->Reset();
    if (!s.RegResult) s.StatusWindow->Show();
    const lns::ParsedObjectName name = s.ObjectNameParser.Parse(objectName);
    bool success = false;
    if (name.ok && s.LnsConnector.OpenServer(s.Lns, accessMode) &&
        s.LnsConnector.OpenNetwork(s.Lns, name.networkName, s.Remote)) {
      s.StatusWindow->SetStatusText(ui::ResString(1519));
      success = RegisterProgramEntries();
    }
    if (s.RegResult) {
      s.RegResult->Put("RegResult", base::Variant(int16_t{success ? int16_t{0} : int16_t{-1}}));
    } else if (!success) {
      ShowMessage(ui::ResString(1435, 2), Icon::Critical, base::kProductName);
    }
  });
}

}  // namespace host::M_PlugIn
