// portab-demo-profile: the profile plug-in of the demo network's function profile. It is
// registered like any plug-in (/regserver) and started through automation by portab; on
// SendCommand it connects to the object it was given, reads the object's CPs, binds its
// window's parameters to them, reads them from LNS and reports what it received, what the
// object holds and what each parameter's control shows: on standard error and in
// $PORTAB_HOME/demo-profile-report.txt.

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "base/dispatch.h"
#include "base/error.h"
#include "base/text.h"
#include "demo_profile/demo_window.h"
#include "lns/object_names.h"
#include "platform/automation/class_registry.h"
#include "platform/automation/object_client.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/process/shell.h"
#include "platform/registry/file_registry.h"

namespace {

constexpr const char* kProgId = "veltaDemoProfile.Application";
constexpr const char* kClassId = "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D20}";

void WriteReport(const std::string& report) {
  const auto home = platform::registry::PortabHome();
  std::filesystem::create_directories(home);
  const auto file = home / "demo-profile-report.txt";
  const auto temp = home / ("demo-profile-report.txt.tmp." + std::to_string(::getpid()));
  {
    std::ofstream out(temp, std::ios::trunc);
    out << report;
  }
  std::filesystem::rename(temp, file);
  std::cerr << report << std::flush;
}

// What the object of the command holds: its CPs, as bytes.
std::string ObjectReport(const std::string& objectName) {
  auto server = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(platform::registry::PortabHome() / "lns");
  const lns::ObjectPtr object = lns::ResolveObjectName(*server, objectName);
  auto lonMarkObject = std::dynamic_pointer_cast<lns::LonMarkObject>(object);
  if (!lonMarkObject) return "  the object \"" + objectName + "\" was not found\n";
  std::ostringstream report;
  report << "  object \"" << lonMarkObject->Name() << "\" (class " << lonMarkObject->ClassId() << ", profile "
         << lonMarkObject->ProfileType() << ")\n";
  auto cps = lonMarkObject->ConfigProperties();
  for (int32_t i = 1; i <= cps->Count(); ++i) {
    auto cp = cps->Item(i);
    cp->SetValueFormat("RAW");
    report << "    CP " << i << " \"" << cp->Name() << "\": " << base::ReplaceAll(cp->Value(), "\t", " ") << "\n";
  }
  // The LonMark object lies in its device's collection of objects, in the device's interface.
  auto device = std::dynamic_pointer_cast<lns::AppDevice>(lonMarkObject->Parent()->Parent()->Parent());
  if (!device) return report.str() + "  the object's device was not found\n";
  demo_profile::DemoWindow window;
  window.Bind(device, lonMarkObject);
  window.Parameters().ReadFromLns();
  report << "  parameters after reading:\n" << window.Report();
  return report.str();
}

class DemoProfile final : public base::DispatchTable {
 public:
  DemoProfile() : base::DispatchTable(kProgId) {
    AddProperty("Name", [] { return base::Variant("portab demo profile plug-in"); });
    AddProperty("Remote", [this] { return base::Variant(remote_); }, [this](const base::Variant& v) { remote_ = v.ToBool(); });
    AddProperty(
        "NetworkInterfaceName", [this] { return base::Variant(interface_); },
        [this](const base::Variant& v) { interface_ = v.ToString(); });
    AddProperty("NetworkName", [this] { return base::Variant(network_); }, [this](const base::Variant& v) { network_ = v.ToString(); });
    AddProperty("Visible", [this] { return base::Variant(visible_); }, [this](const base::Variant& v) { visible_ = v.ToBool(); });
    AddMethod("SendCommand", [this](std::vector<base::Variant>& args) {
      if (args.size() != 3) throw base::Error(base::err::kInvalidCallOrKey, kProgId, "SendCommand takes 3 arguments");
      std::ostringstream report;
      report << "demo profile plug-in: SendCommand received\n"
             << "  command id " << args[0].ToInt32() << ", class id " << args[1].ToInt16() << "\n"
             << "  object name \"" << args[2].ToString() << "\"\n"
             << "  network name \"" << network_ << "\", remote " << (remote_ ? "yes" : "no")
             << ", network interface \"" << interface_ << "\"\n"
             << ObjectReport(args[2].ToString());
      WriteReport(report.str());
      return base::Variant();
    });
  }

 private:
  bool remote_ = false;
  bool visible_ = false;
  std::string interface_;
  std::string network_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string argument = argc == 2 ? argv[1] : "";
  try {
    platform::registry::FileRegistry registry(platform::registry::DefaultRegistryFile());
    if (base::EqualsNoCase(argument, "/regserver")) {
      platform::automation::RegisterClass(registry, {kProgId, kClassId, platform::process::CurrentExecutable(), {}});
      return 0;
    }
    if (base::EqualsNoCase(argument, "/unregserver")) {
      platform::automation::UnregisterClass(registry, kProgId, kClassId);
      return 0;
    }
    if (base::EqualsNoCase(argument, "-Embedding") || base::EqualsNoCase(argument, "/Embedding")) {
      platform::automation::ServeObject(std::make_shared<DemoProfile>(), [] { return true; }, nullptr);
      return 0;
    }
  } catch (const base::Error& e) {
    std::cerr << "portab-demo-profile: error " << e.Number() << ": " << e.Description() << "\n";
    return 1;
  }
  std::cerr << "usage: portab-demo-profile /regserver | /unregserver | -Embedding\n";
  return 2;
}
