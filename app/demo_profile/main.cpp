// portab-demo-profile: the profile plug-in of the demo network's function profile, the
// reference plug-in on the plug-in entry point. It is registered like any plug-in
// (/regserver) and started through automation by portab; on SendCommand it reports what it
// received, what the object holds and what each parameter's control shows after reading (and
// after the window): on standard error and in $PORTAB_HOME/demo-profile-report.txt.

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "base/atomic_file.h"
#include "base/text.h"
#include "demo_profile/demo_window.h"
#include "plugin/plugin_entry.h"
#ifdef PORTAB_WITH_QT
#include "plugin/qt_front_end.h"
#endif

namespace {

using plugin::Command;
using plugin::Session;
using plugin::WindowMoment;

const plugin::PlugInIdentity kIdentity{
    "portab-demo-profile", "veltaDemoProfile.Application", "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D20}",
    "SOFTWARE\\velta\\veltaDemoProfile", "portab demo profile plug-in", {3}};

void WriteReport(const std::string& report) {
  std::filesystem::create_directories(plugin::StateFolder());
  base::ReplaceFileAtomically(plugin::StateFolder() / "demo-profile-report.txt", report);
  std::cerr << report << std::flush;
}

// The object's CPs as bytes.
void ListCps(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject, std::ostringstream& report) {
  report << "  object \"" << lonMarkObject->Name() << "\" (class " << lonMarkObject->ClassId() << ", profile "
         << lonMarkObject->ProfileType() << ")\n";
  auto cps = lonMarkObject->ConfigProperties();
  for (int32_t i = 1; i <= cps->Count(); ++i) {
    auto cp = cps->Item(i);
    cp->SetValueFormat("RAW");
    report << "    CP " << i << " \"" << cp->Name() << "\": " << base::ReplaceAll(cp->Value(), "\t", " ") << "\n";
  }
}

// The demo's window: one parameter of each kind on the device's and the object's CPs (see
// demo_window.h), and the report of what each control shows.
class DemoProfile final : public plugin::ProfilePlugIn {
 public:
  void CommandReceived(const Command& command) override {
    report_.str({});
    report_ << "demo profile plug-in: SendCommand received\n"
            << "  command id " << command.commandId << ", class id " << command.classId << "\n"
            << "  object name \"" << command.objectName << "\"\n"
            << "  network name \"" << command.networkName << "\", remote " << (command.remote ? "yes" : "no")
            << ", network interface \"" << command.interfaceName << "\"\n";
  }

  void ObjectNotFound(const Command& command, const std::string& why) override {
    if (why == "the object") {
      report_ << "  the object \"" << command.objectName << "\" was not found\n";
    } else {
      report_ << "  " << why << " was not found\n";
    }
  }

  void BuildWindow(Session& session) override {
    ListCps(session.object, report_);
    controls_ = std::make_unique<demo_profile::DemoControls>();
    controls_->Bind(session.device, session.object, session.configuration.Parameters(),
                    &session.configuration.MC16());
    controls_->Place(session.form);
  }

  void WindowAt(Session& session, WindowMoment moment, int failedLines) override {
    const params::cParams& parameters = session.configuration.Parameters();
    const char* script = std::getenv("PORTAB_WINDOW_SCRIPT");
    switch (moment) {
      case WindowMoment::AfterRead:
        report_ << "  parameters after reading:\n" << demo_profile::ParametersReport(parameters);
        break;
      case WindowMoment::ScriptUnreadable:
        report_ << "  the window script \"" << script << "\" cannot be read\n";
        break;
      case WindowMoment::AfterScript:
        report_ << "  window script \"" << script << "\": " << failedLines << " lines not carried out\n"
                << "  parameters after the window script:\n"
                << demo_profile::ParametersReport(parameters);
        break;
      case WindowMoment::AfterClose:
        report_ << "  parameters after the window:\n" << demo_profile::ParametersReport(parameters);
        break;
    }
  }

  void CommandEnded(const Command&) override {
    controls_.reset();
    WriteReport(report_.str());
  }

 private:
  std::ostringstream report_;
  std::unique_ptr<demo_profile::DemoControls> controls_;
};

}  // namespace

int main(int argc, char** argv) {
  DemoProfile plugIn;
#ifdef PORTAB_WITH_QT
  plugin::QtFrontEnd qt(kIdentity.programName);
  return plugin::RunPlugIn(argc, argv, kIdentity, plugIn, &qt);
#else
  return plugin::RunPlugIn(argc, argv, kIdentity, plugIn, nullptr, "portab-demo-profile-qt");
#endif
}
