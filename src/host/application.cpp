#include "host/application.h"

#include <cmath>

#include "base/error.h"
#include "base/procedure.h"
#include "base/product.h"
#include "base/text.h"
#include "host/m_lca_plugin.h"
#include "host/m_plugin.h"
#include "host/registration.h"
#include "host/run_state.h"
#include "lns/lns_dispatch.h"

namespace host {
namespace {

constexpr const char* kSource = "veltaPortaB.Application";

[[noreturn]] void ReadOnly() {
  throw base::Error(base::err::kReadOnlyProperty, kSource, "Write not supported. This property is read-only.");
}

// Window properties answer 0 and ignore writes while the start failed or without a window.
bool Failed() { return RunState().StartFailed || !RunState().MainWindow; }
ui::frmMain& Window() { return *RunState().MainWindow; }

}  // namespace

Application::Application() : base::DispatchTable(kSource) {
  auto& s = RunState();
  if (!s.Initialized) M_LcaPlugIn::InitApp();

  // The members in the order of the class's interface.
  AddWindowProperty("Height", &ui::frmMain::height);
  AddReadOnly("LcaVersion", [] { return base::Variant(M_PlugIn::kLcaVersion); }, ReadOnly);
  AddWindowProperty("Left", &ui::frmMain::left);
  AddReadOnly("ManufacturerId", [] { return base::Variant(M_PlugIn::kManufacturerId); }, ReadOnly);
  AddReadOnly("ManufacturerName", [] { return base::Variant(RunState().ManufacturerName); }, ReadOnly);
  AddProperty(
      "Minimized", [] { return base::Variant(!Failed() && Window().windowState == 1); },
      [this](const base::Variant& value) {
        if (Failed()) return;
        auto& window = Window();
        if (value.ToBool()) {
          if (window.windowState != 1) rememberedWindowState_ = window.windowState;
          window.windowState = 1;
        } else {
          window.windowState = rememberedWindowState_;
        }
      });
  AddReadOnly("Name", [] { return base::Variant(base::kProductName); }, ReadOnly);
  AddProperty(
      "NetworkInterfaceName", [] { return base::Variant(RunState().NetworkInterfaceName); },
      [](const base::Variant& value) { RunState().NetworkInterfaceName = value.ToString(); });
  AddProperty(
      "Remote", [] { return base::Variant(RunState().Remote); },
      [](const base::Variant& value) { RunState().Remote = value.ToBool(); });
  AddProperty(
      "NetworkName", [] { return base::Variant(std::string()); },
      [](const base::Variant& value) { (void)value.ToString(); });  // accepted, not kept
  AddWindowProperty("Top", &ui::frmMain::top);
  AddReadOnly("Version", [] { return base::Variant(RunState().Version); }, ReadOnly);
  AddProperty(
      "Visible", [] { return base::Variant(!Failed() && Window().visible); },
      [](const base::Variant& value) { (void)value.ToBool(); });  // accepted and ignored
  AddWindowProperty("Width", &ui::frmMain::width);
  AddMethod("SendCommand", [](std::vector<base::Variant>& args) {
    if (args.size() != 3) throw base::Error(base::err::kInvalidCallOrKey, kSource, "SendCommand takes 3 arguments");
    int32_t commandId = args[0].ToInt32();
    int16_t classId = args[1].ToInt16();
    std::string objectName = args[2].ToString();
    // One server serves one run: once it has ended, its window, logger and connection are gone.
    // (After a refused start, commands are ignored as before.)
    if (RunState().Ended && !RunState().StartFailed) {
      throw base::Error(base::err::kInvalidCallOrKey, kSource,
                        "The run of this plug-in has ended; create a new object for another command");
    }
    M_PlugIn::SendCommand(commandId, classId, objectName);
    args = {base::Variant(commandId), base::Variant(classId), base::Variant(objectName)};
    return base::Variant();
  });
  AddProperty(
      "LnsObjectByTool",
      [] {
        auto& object = RunState().Lns.lonMarkObject;
        return object ? base::Variant(base::DispatchPtr(std::make_shared<lns::LnsObjectDispatch>(object)))
                      : base::Variant();
      },
      [](const base::Variant& value) {
        // Only a LonMark object (class 28) is taken; the write itself never fails.
        try {
          base::DispatchPtr object = value.ToObject();
          if (!object || object->Get("ClassId").ToInt16() != 28) return;
          auto lonMarkObject = std::dynamic_pointer_cast<lns::LonMarkObject>(lns::LnsObjectOf(object));
          if (!lonMarkObject) return;
          RunState().Lns.lonMarkObject = lonMarkObject;
          RunState().ToolObjectGiven = true;
        } catch (const base::Error&) {
        }
      });
  AddProperty("ProgramIdsToRegister", nullptr,
              [](const base::Variant& value) { RunState().ProgramIdsToRegister = value.ToString(); });
  AddProperty("RegResult", nullptr, [](const base::Variant& value) { RunState().RegResult = value.ToObject(); });
}

void Application::AddWindowProperty(const char* name, double ui::frmMain::*field) {
  AddProperty(
      name,
      [field] {
        if (Failed()) return base::Variant(int32_t{0});
        return base::Variant(base::CLng(std::nearbyint(Window().*field)));
      },
      [field](const base::Variant& value) {
        if (!Failed()) Window().*field = static_cast<double>(value.ToInt32());
      });
}

bool RunGoesOn() {
  const auto& s = RunState();
  return s.Initialized && !s.Ended && ((s.MainWindow && s.MainWindow->visible) || s.CurrentCommand != 0);
}

}  // namespace host
