#include "host/m_plugin.h"

#include "base/error.h"
#include "base/procedure.h"
#include "base/product.h"
#include "base/text.h"
#include "host/m_lca_plugin.h"
#include "host/registration.h"
#include "host/run_state.h"
#include "ui/help.h"
#include "ui/res_strings.h"

namespace host::M_PlugIn {
namespace {

using base::Visibility;
using services::dialogs::Icon;
constexpr const char* kModule = "M_PlugIn";

// The outside component started for command 50 when no program ids are given.
constexpr const char* kNetworkRegistrationClass = "{B1FC39AB-AE7A-442A-8852-257E5E4E204D}";

enum class WalkResult { Continue, Stop };

struct CommandLineValues {
  bool objectNameSeen = false;
};

void RunWithoutLns(bool showStatusWindow) {
  auto& s = RunState();
  s.CurrentCommand = kCurrentCommandNoLns;
  if (showStatusWindow) s.StatusWindow->Show();
  frmMain::Display();
}

// Acts on one "keyword:value" piece of the command line.
WalkResult ActOnPiece(const std::string& piece, CommandLineValues& seen) {
  auto& s = RunState();
  const std::string keyword = base::ToUpperAscii(base::TrimBlanks(base::Field(piece, 1, ":")));
  const std::string value = base::Field(piece, 2, ":");
  if (keyword == "REG") {
    ui::SetLanguageOffset(base::CInt(base::Val(value)));
    ui::SaveLanguageSetting(*s.RegistryAccess, s.PlugInKey);
    M_LcaPlugIn::EndApp();
    return WalkResult::Stop;
  }
  if (keyword == "UNREG") {
    s.Unregistering = true;
    Unregister();
    DeleteOwnRegistryKey();
    M_LcaPlugIn::EndApp();
    return WalkResult::Stop;
  }
  if (keyword == "CLASSID") {
    s.ClassId = base::CInt(base::Val(value));
  } else if (keyword == "COMMANDID") {
    s.CommandId = base::CLng(base::Val(value));
  } else if (keyword == "REMOTE") {
    s.Remote = true;
  } else if (keyword == "NI") {
    s.NetworkInterfaceName = value;
  } else if (keyword == "OBJECTNAME") {
    s.ObjectName = value;
    seen.objectNameSeen = true;
  } else if (keyword == "S" || keyword == "DEVL2093") {
    RunWithoutLns(keyword == "S");
    return WalkResult::Stop;
  }
  return WalkResult::Continue;
}

// The object server's text line for the About box (none when the server cannot tell it).
std::optional<std::string> ServerText() {
  const auto& server = RunState().Lns.objectServer;
  if (!server) return std::nullopt;
  try {
    return server->Text();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Without an object name: the About box, then the program registers itself and ends.
void AboutAndSelfRegistration() {
  auto& s = RunState();
  ui::ShowAbout(*s.Dialogs, ServerText(), s.Program.executable.parent_path().string());
  s.Shell->Start(s.Program.executable, {"/regserver"});
  M_LcaPlugIn::EndApp();
}

// The component started for command 50 without program ids: it shows the commands the
// plug-in offers for registration, then it is released.
void StartNetworkRegistrationComponent() {
  base::RunProcedure(kModule, Visibility::Private, "StartNetworkRegistrationComponent", [](base::ErrorScope&) {
    base::LogNote(std::string("Component ") + kNetworkRegistrationClass + " started");
    const auto& table = RunState().CommandTable;
    std::string text;
    for (int i = 1; i <= 4; ++i) {
      const auto& command = table[static_cast<size_t>(i)];
      if (!command.Enabled) continue;
      if (!text.empty()) text += "\r\n";
      text += std::to_string(command.CommandId) + " / " + std::to_string(command.ClassId) + ": " + command.Name;
    }
    ShowMessage(text, Icon::Information, table[1].Description);
    base::LogNote(std::string("Component ") + kNetworkRegistrationClass + " released");
  });
}

void RegisterCommand(const std::string& objectName, int16_t accessMode) {
  auto& s = RunState();
  if (!s.ProgramIdsToRegister.empty()) {
    s.StatusWindow->SetStatusText(ui::ResString(1513));
    RegisterInNetworks(objectName, accessMode);
  } else {
    StartNetworkRegistrationComponent();
  }
  M_LcaPlugIn::EndApp();
}

void Refuse(int32_t commandId, int16_t classId) {
  auto& s = RunState();
  ShowMessage("The transmitted CommandId (" + std::to_string(commandId) + ") is not\r\nsupported for  ClassId " +
                  std::to_string(classId) + " !",
              Icon::Exclamation, base::kProductName);
  s.StartFailed = true;
  M_LcaPlugIn::EndApp();
}

}  // namespace

int16_t AccessMode(bool remote, std::string_view networkInterfaceName) {
  if (!remote) return 0;
  return networkInterfaceName == "Internet" ? 2 : 1;
}

void Main(std::string_view commandLine, bool startedByAutomation) {
  if (startedByAutomation) return;  // the work arrives through the Application object
  auto& s = RunState();
  M_LcaPlugIn::InitApp();
  if (s.StartFailed) return;
  base::LogEntry(kModule, Visibility::Public, "Main");
  base::ErrorScope scope(kModule, "Main");
  scope.Run([&] {
    CommandLineValues seen;
    const auto pieces = base::Split(commandLine, "/");
    // The text before the first "/" is never looked at; an empty piece ends the walk.
    for (size_t i = 1; i < pieces.size() && !pieces[i].empty(); ++i) {
      WalkResult result = WalkResult::Continue;
      scope.Step([&] { result = ActOnPiece(pieces[i], seen); });
      if (result == WalkResult::Stop) return;
    }
    if (!seen.objectNameSeen) {
      scope.Step([] { AboutAndSelfRegistration(); });
      return;
    }
    int32_t commandId = s.CommandId;
    int16_t classId = s.ClassId;
    std::string objectName = s.ObjectName;
    scope.Step([&] { ValidateCommand(commandId, classId, objectName); });
  });
}

void SendCommand(int32_t& commandId, int16_t& classId, std::string& objectName) {
  base::LogEntry("Application", Visibility::Public, "SendCommand");
  auto& s = RunState();
  if (s.StartFailed) return;
  s.CommandId = commandId;
  s.ClassId = classId;
  s.ObjectName = objectName;
  ValidateCommand(commandId, classId, objectName);
}

void ValidateCommand(int32_t commandId, int16_t classId, const std::string& objectName) {
  base::RunProcedure(kModule, Visibility::Public, "ValidateCommand", [&](base::ErrorScope& scope) {
    auto& s = RunState();
    const int16_t accessMode = AccessMode(s.Remote, s.NetworkInterfaceName);
    if (commandId == kCommandRegister) {
      scope.Step([&] { RegisterCommand(objectName, accessMode); });
      return;
    }
    const int index = FindCommand(s.CommandTable, commandId, classId);
    if (index == 0) {
      scope.Step([&] { Refuse(commandId, classId); });
      return;
    }
    if (!s.ToolObjectGiven) {
      s.StatusWindow->SetStatusText(ui::ResString(1504, 2));
      s.CurrentCommand = index;
      scope.Step([&] { M_LcaPlugIn::OpenLnsAndFindObject(objectName, accessMode); });
    } else {
      scope.Step([] { M_LcaPlugIn::StartWithToolObject(); });
    }
  });
}

}  // namespace host::M_PlugIn
