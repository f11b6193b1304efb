#include "knowledge/mc16.h"

#include "base/error.h"
#include "base/paths.h"
#include "base/procedure.h"
#include "base/product.h"
#include "base/text.h"
#include "knowledge/ini_fields.h"
#include "knowledge/profile_plugins.h"
#include "services/automation.h"
#include "services/dialogs.h"
#include "services/registry.h"

namespace knowledge {
namespace {

constexpr const char* kModule = "cMC16";
constexpr const char* kProgramId = "veltaPortaB.Application";

struct FileKind {
  KbFile file;
  const char* key;            // the key in the Config file's version section
  const char* kindName;       // the kind as messages name it ("<kind> File does not exist.")
  bool verbatim;              // the INI component's Boolean file option
};

constexpr std::array<FileKind, 8> kVersionFiles{{
    {KbFile::Modules, "Modules", "Modules", false},
    {KbFile::Channels, "Channels", "Channels", false},
    {KbFile::Objects, "Objects", "Objects", false},
    {KbFile::GroupObjects, "GroupObjects", "Group Objects", false},
    {KbFile::Controls, "Controls", "Controls", true},
    {KbFile::Enums, "Enums", "Enums", false},
    {KbFile::Resources, "Resources", "Resources", true},
    {KbFile::CommandTable, "CommandTable", "Command Table", false},
}};

// The default value of a key's subkey: "" when missing.
std::string ReadDefaultValue(const services::registry::Registry* registry, const std::string& key) {
  if (registry == nullptr) return {};
  return registry->ReadValue(services::registry::Hive::ClassesRoot, key, "").value_or("");
}

}  // namespace

std::string M_Registry::GetServerDirectory(const services::registry::Registry* registry,
                                           const std::filesystem::path& executable) {
  base::LogEntry("M_Registry", base::Visibility::Public, "GetServerDirectory");
  const std::string clsid = ReadDefaultValue(registry, std::string(kProgramId) + "\\Clsid");
  const std::string server = clsid.empty() ? "" : ReadDefaultValue(registry, "Clsid\\" + clsid + "\\LocalServer32");
  if (server.empty()) return {};
  const std::string path = base::NativePath(server);
  const std::string fileName = base::TokenFromRight(path, 1, "/");
  if (base::FoldCase(fileName) == kDevelopmentExecutable) {
    return base::WithTrailingSeparator(executable.parent_path().string());
  }
  return path.substr(0, path.size() - fileName.size());
}

cMC16::cMC16(const lns::PlugInContext& context) : context_(context) {
  for (auto& file : files_) file = context_.newIniFile ? context_.newIniFile() : nullptr;
  for (const auto& file : files_) {
    if (!file) throw base::Error(base::err::kInternal, kModule, "The INI file component is missing");
  }
}

void cMC16::ResolveFolder() {
  if (!pinnedFolder_.empty()) {
    folder_ = pinnedFolder_;
    return;
  }
  folder_ = M_Registry::GetServerDirectory(context_.registry, context_.executable) + "Config/";
}

// A missing file gets its kind's message and the full name; a file that exists but is no
// INI file gets "<Kind> File can not be read." with the full name and what is wrong, in the
// message box and as a red log line.
bool cMC16::CheckExists(KbFile which) {
  lns::IniFile& file = File(which);
  // An empty file name names the folder: that is a missing file, as for a missing entry.
  const bool exists = file.FileExists();
  const std::string damage = exists ? file.Damage() : std::string();
  if (exists && damage.empty()) return true;
  std::string kindName = "Config";
  for (const auto& kind : kVersionFiles) {
    if (kind.file == which) kindName = kind.kindName;
  }
  std::string text = kindName + " File does not exist.\r\n\r\n" + file.GetFile();
  if (exists) {
    text = kindName + " File can not be read.\r\n\r\n" + file.GetFile() + "\r\n" + damage;
    base::LogSwallowedError(kindName + " File can not be read. " + file.GetFile() + ": " + damage);
  }
  if (context_.dialogs != nullptr) {
    context_.dialogs->Show({text, base::kProductName, services::dialogs::Icon::Critical, services::dialogs::Buttons::Ok, 1});
  }
  return false;
}

bool cMC16::Init1() {
  base::LogEntry(kModule, base::Visibility::Public, "Init1");
  ResolveFolder();
  File(KbFile::Config).SetFile(folder_ + configFileName_);
  File(KbFile::Config).SetVerbatim(false);
  return CheckExists(KbFile::Config);
}

bool cMC16::Init2() {
  base::LogEntry(kModule, base::Visibility::Public, "Init2");
  ResolveFolder();
  const std::string section = "Version_" + std::to_string(version_);
  for (const auto& kind : kVersionFiles) {
    const std::string name = ReadIniField(File(KbFile::Config), section, kind.key, -1);
    if (name.empty()) ReportMissingEntry(File(KbFile::Config), section, kind.key);
    File(kind.file).SetFile(folder_ + name);
    File(kind.file).SetVerbatim(kind.verbatim);
  }
  bool allThere = true;
  for (const auto& kind : kVersionFiles) allThere = CheckExists(kind.file) && allThere;
  return allThere;
}

uint8_t cMC16::DefaultVersion() {
  base::LogEntry(kModule, base::Visibility::Public, "DefaultVersion");
  const double value = base::Val(ReadIniField(File(KbFile::Config), "General", "DefaultVersion", -1));
  if (value <= 0 || value > 255) return 0;
  return base::CByte(value);
}

bool cMC16::StartPlugIn(int32_t fptIndex) {
  base::LogEntry(kModule, base::Visibility::Public, "StartPlugIn");
  return StartRegisteredPlugIn(File(KbFile::Objects), fptIndex, context_.commandId, context_.classId,
                               context_.objectName, true);
}

bool cMC16::StartPlugInEx(int32_t fptIndex, bool groupObject, const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                          int32_t commandId) {
  base::LogEntry(kModule, base::Visibility::Public, "StartPlugInEx");
  std::string objectName = context_.objectName + "/";
  try {
    if (lonMarkObject) objectName += lonMarkObject->Name();
  } catch (const base::Error&) {
  }
  return StartRegisteredPlugIn(File(groupObject ? KbFile::GroupObjects : KbFile::Objects), fptIndex, commandId,
                               lns::class_id::kLonMarkObject, objectName, !groupObject);
}

bool cMC16::StartRegisteredPlugIn(lns::IniFile& file, int32_t fptIndex, int32_t commandId, int16_t classId,
                                  const std::string& objectName, bool registeredAsFallback) {
  std::string progId = file.ReadString(std::to_string(fptIndex), "Plug-in");
  // A profile plug-in installed apart from the knowledge base registers itself for its profiles.
  if (progId.empty() && registeredAsFallback && context_.registry != nullptr) {
    progId = RegisteredProfilePlugIn(*context_.registry, fptIndex);
  }
  const std::string profile = "function profile " + std::to_string(fptIndex);
  if (progId.empty()) {
    base::LogSwallowedError("No plug-in serves " + profile +
                            ": the knowledge base's \"Plug-in\" section names none and none is registered for it.");
    return false;
  }
  if (context_.objectFactory == nullptr) return false;
  base::DispatchPtr plugIn;
  try {
    plugIn = context_.objectFactory->CreateObject(progId);
  } catch (const base::Error& e) {
    base::LogSwallowedError("The plug-in " + progId + " of " + profile + " cannot be started: " + e.Description());
    return false;
  }
  if (!plugIn) return false;
  // From here on a failing step is skipped and the next one runs; the plug-in's error is logged.
  auto step = [&](const std::function<void()>& statement) {
    try {
      statement();
    } catch (const base::Error& e) {
      base::LogSwallowedError("The plug-in " + progId + " of " + profile + ": error " +
                              base::ErrorNumberText(e.Number()) + ": " + e.Description());
    }
  };
  step([&] {
    if (context_.objectServer && context_.objectServer->Remote()) {
      plugIn->Put("NetworkInterfaceName", "Internet");
      plugIn->Put("Remote", true);
    }
  });
  step([&] { plugIn->Put("NetworkName", context_.network ? context_.network->Name() : std::string()); });
  step([&] {
    std::vector<base::Variant> args{commandId, classId, objectName};
    plugIn->Invoke("SendCommand", args);
  });
  step([&] { plugIn->Put("Visible", true); });
  plugIn.reset();  // release
  return true;
}

}  // namespace knowledge
