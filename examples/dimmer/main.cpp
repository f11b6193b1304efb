// dimmer-example: a profile plug-in for dimmer actuators (function profile index 6), built on
// the installed portab framework only. On command 13 it binds one parameter of every kind to
// the dimmer's CPs, lets the framework read them from the device, watches the output NV with a
// monitor point, saves the parameters to a parameter file, and writes what it saw to
// $PORTAB_HOME/dimmer-example-report.txt.

#include <portab/portab.h>
#ifdef DIMMER_WITH_QT
#include <portab/plugin/qt_front_end.h>
#endif

#include <iostream>
#include <sstream>

namespace {

using namespace params::cParamEnums;

const plugin::PlugInIdentity kIdentity{
    "dimmer-example",                           // program name: usage, --version, log file
    "veltaDimmerExample.Application",           // automation class portab creates
    "{3F6E2B1A-8C4D-4E5F-9A7B-1C2D3E4F5A60}",   // its class id
    "SOFTWARE\\velta\\veltaDimmerExample",      // where the window keeps its place
    "dimmer example profile plug-in",           // the automation object's Name
    {6}};                                       // function profile indexes served: dimmer

class DimmerPlugIn final : public plugin::ProfilePlugIn {
 public:
  void CommandReceived(const plugin::Command& command) override {
    report_.str({});
    report_ << "dimmer example: command " << command.commandId << " for \"" << command.objectName << "\"\n";
  }

  void ObjectNotFound(const plugin::Command&, const std::string& why) override {
    report_ << "  " << why << " was not found\n";
  }

  // The parameters, bound to the CPs of the device, its object and its output NV. A missing CP
  // of these is an error here (Need::Required): this plug-in serves only dimmers that have them.
  void BuildWindow(plugin::Session& session) override {
    using plugin::Need;
    params::cParams& set = session.configuration.Parameters();
    const auto& device = session.device;

    auto fade = set.AddTextBoxParameter("FadeTime", fadeTime_, plugin::ObjectCp(session.object, "FadeTime", Need::Required),
                                        "FadeTime");
    fade->SetSnvtType(SNVT_time_sec);
    fade->SetRangeMax(600);
    fade->SetTextBoxTitle("Fade time");

    auto mode = set.AddComboBoxParameter("DimMode", dimMode_, plugin::DeviceCp(device, "DimMode", Need::Required),
                                         "DimMode");
    mode->AddComboBoxItem("Linear", 0);
    mode->AddComboBoxItem("Logarithmic", 1);
    mode->AddComboBoxItem("Switched", 2);

    auto soft = set.AddCheckBoxParameter("SoftStart", softStart_, plugin::DeviceCp(device, "Options", Need::Required),
                                         "Options");
    soft->SetValueUnchecked(0);
    soft->SetValueChecked(1);

    auto powerOn = set.AddOptionButtonParameter(
        "PowerOnLevel", plugin::NvCp(device, "nvoValue", "PowerOnLevel", Need::Required), "PowerOnLevel");
    const std::pair<const char*, const char*> levels[] = {{"Off", "0\t0"}, {"Half", "100\t1"}, {"Full", "200\t1"}};
    for (const auto& level : levels) {
      auto button = std::make_shared<ui::window::OptionButton>("optPowerOn", static_cast<int32_t>(powerOnButtons_.size()));
      button->SetCaption(level.first);
      ui::window::OptionGroup::Join(powerOnGroup_, button);
      powerOn->AddOptionButton(button, level.second);
      powerOnButtons_.push_back(button);
    }

    set.Add1ByteParameter("MinLevel", plugin::DeviceCp(device, "MinLevel", Need::Required), "MinLevel");
    set.Add2ByteParameter("MaxLevel", plugin::DeviceCp(device, "MaxLevel", Need::Required), "MaxLevel");
    set.AddAsciiParameter("Location", plugin::DeviceCp(device, "Location", Need::Required), "Location");
    for (const auto& parameter : set.AllParameters()) {
      if (auto control = std::dynamic_pointer_cast<params::cControlParameter>(parameter)) control->SetLockMode(LM_UNLOCKED);
    }

    // The window: the switching settings on the first page, the timing on the second.
    session.form.controls.push_back({dimMode_, 0, 1, "Dimming curve"});
    session.form.controls.push_back({softStart_, 0, 1, "Soft start"});
    for (const auto& button : powerOnButtons_) session.form.controls.push_back({button, 0, 2, "Level at power-on"});
    session.form.controls.push_back({fadeTime_, 1, 1, "Fade time"});

    // The output NV as a monitor point.
    monitorPoints_ = std::make_unique<monitoring::cMonitorPoints>(session.context);
    monitorPoints_->AddMonitorPoint("Level", plugin::DeviceNv(device, "nvoValue", Need::Required));
  }

  void WindowAt(plugin::Session& session, plugin::WindowMoment moment, int) override {
    if (moment == plugin::WindowMoment::ScriptUnreadable) return;
    const bool afterRead = moment == plugin::WindowMoment::AfterRead;
    report_ << (afterRead ? "  parameters read from the device:\n" : "  parameters after the window:\n");
    ReportParameters(session.configuration.Parameters());
    if (!afterRead) return;
    report_ << "  monitor point Level: " << monitorPoints_->GetMonitorPointByName("Level")->Value() << "\n";
    // A parameter file of the values read, as the window's Save command writes it.
    const auto file = plugin::StateFolder() / "dimmer-example.par";
    const bool saved = session.configuration.Parameters().WriteToFile(file.string(), "veltaPortaB",
                                                                      session.device->Template()->ProgramId(), "1.0");
    report_ << "  parameter file " << file.string() << (saved ? " written" : " NOT written") << "\n";
  }

  void CommandEnded(const plugin::Command&) override {
    monitorPoints_.reset();
    std::filesystem::create_directories(plugin::StateFolder());
    base::ReplaceFileAtomically(plugin::StateFolder() / "dimmer-example-report.txt", report_.str());
    std::cerr << report_.str() << std::flush;
  }

 private:
  void ReportParameters(const params::cParams& set) {
    report_ << "    FadeTime " << fadeTime_->Text() << " " << set.TextBoxParameterByName("FadeTime")->UnitMnemonic() << "\n"
            << "    DimMode \"" << dimMode_->Text() << "\"\n"
            << "    SoftStart " << (softStart_->Value() == 1 ? "on" : "off") << "\n"
            << "    PowerOnLevel " << ChosenPowerOnLevel() << "\n"
            << "    MinLevel " << set.Parameter1ByteByName("MinLevel")->Value() << "\n"
            << "    MaxLevel " << set.Parameter2ByteByName("MaxLevel")->Value() << "\n"
            << "    Location \"" << set.ParameterAsciiByName("Location")->Value() << "\"\n";
  }

  std::string ChosenPowerOnLevel() const {
    for (const auto& button : powerOnButtons_) {
      if (button->Value()) return button->Caption();
    }
    return "none";
  }

  std::ostringstream report_;
  std::shared_ptr<ui::window::TextBox> fadeTime_ = std::make_shared<ui::window::TextBox>("txtFadeTime", 0);
  std::shared_ptr<ui::window::ComboBox> dimMode_ = std::make_shared<ui::window::ComboBox>("cboDimMode", 0);
  std::shared_ptr<ui::window::CheckBox> softStart_ = std::make_shared<ui::window::CheckBox>("chkSoftStart", 0);
  std::shared_ptr<ui::window::OptionGroup> powerOnGroup_ = std::make_shared<ui::window::OptionGroup>();
  std::vector<std::shared_ptr<ui::window::OptionButton>> powerOnButtons_;
  std::unique_ptr<monitoring::cMonitorPoints> monitorPoints_;
};

}  // namespace

// Built twice: the plain program, and with DIMMER_WITH_QT the Qt build, which the plain one
// becomes when a display is there.
int main(int argc, char** argv) {
  DimmerPlugIn plugIn;
#ifdef DIMMER_WITH_QT
  plugin::QtFrontEnd qt(kIdentity.programName);
  return plugin::RunPlugIn(argc, argv, kIdentity, plugIn, &qt);
#else
  return plugin::RunPlugIn(argc, argv, kIdentity, plugIn, nullptr, "dimmer-example-qt");
#endif
}
