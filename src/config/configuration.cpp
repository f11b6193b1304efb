#include "config/configuration.h"

#include <ctime>

#include "base/error.h"
#include "base/procedure.h"
#include "base/product.h"
#include "config/plugin_fetch.h"
#include "knowledge/ini_fields.h"
#include "lns/fetch.h"
#include "services/dialogs.h"
#include "ui/logger.h"
#include "ui/res_strings.h"

namespace config {
namespace {

using base::Visibility;
constexpr const char* kErrorModule = "M_PlugInSpecific";

}  // namespace

cConfiguration::cConfiguration(lns::PlugInContext& context)
    : context_(context),
      parameters_(std::make_unique<params::cParams>()),
      mc16_(std::make_unique<knowledge::cMC16>(context)) {
  parameters_->SetSystem(context_.system);
  parameters_->SetFetchContext(context_.iniFile, &context_.deviceTemplate);
  parameters_->SetUserInterface(context_.dialogs, context_.windowCaption);
  if (context_.newIniFile) parameters_->SetIniFileFactory(context_.newIniFile);
  if (context_.objectServer) parameters_->SetNvTypeInfo(context_.objectServer->NvTypeInfo());
}

void cConfiguration::FetchCPs() {
  base::LogEntry("M_PlugIn", Visibility::Public, "FetchCPs");
  base::ErrorScope scope(kErrorModule, "FetchCPs");
  scope.Run([&] {
    std::shared_ptr<params::cConfigProp> versionBuffer;
    scope.Step([&] {
      if (!M_PlugInSpecific::FetchCpToConfigProp(context_, *parameters_, "ParamVersion", versionBuffer, "", true)) return;
      versionBuffer->SetWriteToLnsIfRequiredOnly(true);
      std::shared_ptr<params::cParam1Byte> version;
      M_PlugInSpecific::AddConfigPropTo1ByteParameter(*parameters_, versionBuffer, version, "ParamVersion");
      if (versionBuffer->Available()) version->ReadFromExtCp();
    });
    scope.Step([&] {
      if (context_.iniFile != nullptr) {
        const std::string name =
            context_.iniFile->ReadStringForTemplate("Config", lns::M_PlugIn::kCpSection, context_.deviceTemplate);
        if (name.empty()) knowledge::ReportMissingEntry(*context_.iniFile, lns::M_PlugIn::kCpSection, "Config");
        mc16_->SetConfigFileName(name);
      }
    });
    scope.Step([&] {
      if (!mc16_->Init1()) return;
      // Without the "ParamVersion" parameter (the device lacks the CP) the knowledge base
      // stays at its defaults: no version, no files opened.
      if (!parameters_->List(params::Kind::OneByte).Exists("ParamVersion")) return;
      mc16_->SetVersion(static_cast<uint8_t>(parameters_->Parameter1ByteByName("ParamVersion")->Value()));
      mc16_->Init2();
    });
    scope.Step([&] {
      std::shared_ptr<params::cParam2Byte> fpt;
      if (M_PlugInSpecific::FetchCpTo2ByteParameter(context_, *parameters_, "FptIndex", fpt, "", false)) {
        fpt->ReadFromLns(false);
      } else if (context_.startFailed != nullptr) {
        *context_.startFailed = true;
      }
    });
  });
}

void cConfiguration::ReadSettings() {
  base::LogEntry("M_PlugIn", Visibility::Public, "ReadSettings");
  base::ErrorScope scope(kErrorModule, "ReadSettings");
  const int errorsBefore = base::SwallowedErrors() + base::ErrorsReported();
  scope.Run([&] { parameters_->ReadFromLns(); });
  ShowLastTransfer(base::SwallowedErrors() + base::ErrorsReported() == errorsBefore ? kLastRead : kLastReadWithErrors);
}

bool cConfiguration::checkValues() {
  base::LogEntry("cConfiguration", Visibility::Public, "checkValues");
  if (!parameters_->AnyParameterValueIsInvalid()) return true;
  if (context_.dialogs != nullptr) {
    context_.dialogs->Show({ui::ResString(1420), context_.windowCaption, services::dialogs::Icon::Critical,
                            services::dialogs::Buttons::Ok, 1});
  }
  return false;
}

void cConfiguration::WriteSettings() {
  base::LogEntry("M_PlugIn", Visibility::Public, "WriteSettings");
  base::ErrorScope scope(kErrorModule, "WriteSettings");
  const int errorsBefore = base::SwallowedErrors() + base::ErrorsReported();
  scope.Run([&] {
    const auto& system = parameters_->System();
    base::IgnoringErrors([&] {
      if (system) system->BeginBatch(100);
    });
    base::IgnoringErrors([&] { parameters_->WriteToLns(true); });
    base::IgnoringErrors([&] {
      if (system) system->EndBatch();
    });
  });
  ShowLastTransfer(base::SwallowedErrors() + base::ErrorsReported() == errorsBefore ? kLastWritten
                                                                                   : kLastWrittenWithErrors);
}

void cConfiguration::MarkTransferProblems() {
  const params::cParams& set = *parameters_;
  const auto mark = [](ui::window::ValueControl* control, const params::cParameter& parameter) {
    if (control != nullptr) control->SetProblem(parameter.TransferProblem());
  };
  for (int32_t i = 1; i <= set.TextBoxParameterCount(); ++i) {
    mark(set.TextBoxParameter(i)->TextBoxControl().get(), *set.TextBoxParameter(i));
  }
  for (int32_t i = 1; i <= set.ComboBoxParameterCount(); ++i) {
    mark(set.ComboBoxParameter(i)->ComboBoxControl().get(), *set.ComboBoxParameter(i));
  }
  for (int32_t i = 1; i <= set.CheckBoxParameterCount(); ++i) {
    mark(set.CheckBoxParameter(i)->CheckBoxControl().get(), *set.CheckBoxParameter(i));
  }
  for (int32_t i = 1; i <= set.OptionButtonParameterCount(); ++i) {
    const auto parameter = set.OptionButtonParameter(i);  // the group's first button carries the mark
    if (parameter->OptionButtonsCount() > 0) mark(parameter->OptionButton(1).get(), *parameter);
  }
}

void cConfiguration::ShowLastTransfer(int16_t textId) {
  MarkTransferProblems();
  if (window_ == nullptr) return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char clock[16];
  std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
  window_->SetLastTransfer(base::FormatPlaceholders(ui::ResString(textId), {clock}));
}

void cConfiguration::ReadParameters() {
  base::RunProcedure("frmMain", Visibility::Private, "ReadParameters", [&](base::ErrorScope& scope) {
    if (window_ == nullptr) return;
    if (window_->ParametersChanged()) {
      const std::string object = context_.lonMarkObject ? context_.lonMarkObject->Name() : std::string();
      const std::string question = base::FormatPlaceholders(ui::ResString(1428, 1), {object});
      if (Ask(question) != services::dialogs::Answer::Yes) return;
    }
    StartBusy(scope, ui::ResString(1501, 1), ui::ResString(1550, 1));
    scope.Step([&] { window_->SetLoading(true); });
    scope.Step([&] { ReadSettings(); });
    scope.Step([&] { window_->SetLoading(false); });
    scope.Step([&] { base::LogLine(ui::ResString(1550, 2), ui::colour::kBlue, false, 1); });
    scope.Step([&] { ShowLoggerOnErrors(); });
    scope.Step([&] { window_->SetControls(); });
    scope.Step([&] { checkValues(); });
    EndBusy(scope);
  });
}

bool cConfiguration::WriteParameters() {
  bool written = false;
  base::RunProcedure("frmMain", Visibility::Private, "WriteParameters", [&](base::ErrorScope& scope) {
    if (window_ == nullptr || !checkValues()) return;
    StartBusy(scope, ui::ResString(1500, 1), ui::ResString(1551, 1));
    scope.Step([&] { WriteSettings(); });
    scope.Step([&] { base::LogLine(ui::ResString(1551, 2), ui::colour::kBlue, false, 1); });
    scope.Step([&] { written = !ShowLoggerOnErrors(); });
    scope.Step([&] { window_->HideLabel(30); });
    EndBusy(scope);
    scope.Step([&] { window_->SetParametersChanged(false); });
  });
  return written;
}

// Hourglass on, window disabled, the status line and the blue start line, in this order.
void cConfiguration::StartBusy(base::ErrorScope& scope, const std::string& status, const std::string& logLine) {
  scope.Step([&] { window_->SetHourglass(true); });
  scope.Step([&] { window_->SetEnabled(false); });
  scope.Step([&] { window_->SetStatusLine(status); });
  scope.Step([&] { base::LogLine(logLine, ui::colour::kBlue); });
}

// Hourglass off, "Ready.", and only then the window enabled: whoever waits for the window to
// come back finds the status line already final.
void cConfiguration::EndBusy(base::ErrorScope& scope) {
  scope.Step([&] { window_->SetHourglass(false); });
  scope.Step([&] { window_->SetStatusLine(ui::ResString(1517)); });
  scope.Step([&] { window_->SetEnabled(true); });
}

bool cConfiguration::ShowLoggerOnErrors() {
  base::ProcedureLog* log = base::CurrentProcedureLog();
  const bool errors = log != nullptr && log->ErrorLogged();
  if (errors) window_->ShowLogger();
  if (log != nullptr) log->SetErrorLogged(false);
  return errors;
}

services::dialogs::Answer cConfiguration::Ask(const std::string& question) const {
  if (context_.dialogs == nullptr) return services::dialogs::Answer::No;
  return context_.dialogs->Show({question, context_.windowCaption, services::dialogs::Icon::Question,
                                 services::dialogs::Buttons::YesNo, 2});
}

}  // namespace config
