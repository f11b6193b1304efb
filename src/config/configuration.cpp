#include "config/configuration.h"

#include "base/error.h"
#include "base/procedure.h"
#include "base/product.h"
#include "config/plugin_fetch.h"
#include "lns/fetch.h"
#include "platform/dialogs/dialogs.h"
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
        mc16_->SetConfigFileName(context_.iniFile->ReadString("Config", lns::M_PlugIn::kCpSection));
      }
    });
    scope.Step([&] {
      if (!mc16_->Init1()) return;
      std::shared_ptr<params::cParam1Byte> version;
      if (parameters_->List(params::Kind::OneByte).Exists("ParamVersion")) {
        version = parameters_->Parameter1ByteByName("ParamVersion");
      }
      mc16_->SetVersion(version ? static_cast<uint8_t>(version->Value()) : 0);
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
  scope.Run([&] { parameters_->ReadFromLns(); });
}

bool cConfiguration::checkValues() {
  base::LogEntry("cConfiguration", Visibility::Public, "checkValues");
  if (!parameters_->AnyParameterValueIsInvalid()) return true;
  if (context_.dialogs != nullptr) {
    context_.dialogs->Show({ui::ResString(1420), context_.windowCaption, platform::dialogs::Icon::Critical,
                            platform::dialogs::Buttons::Ok, 1});
  }
  return false;
}

void cConfiguration::WriteSettings() {
  base::RunProcedure(kErrorModule, Visibility::Public, "WriteSettings", [](base::ErrorScope&) {
    throw base::NotAvailable("cConfiguration.WriteSettings", "Writing parameters to LNS");
  });
}

void cConfiguration::ReadParameters() {
  base::RunProcedure("frmMain", Visibility::Private, "ReadParameters", [](base::ErrorScope&) {
    throw base::NotAvailable("cConfiguration.ReadParameters", "The read command of the main window");
  });
}

bool cConfiguration::WriteParameters() {
  base::RunProcedure("frmMain", Visibility::Private, "WriteParameters", [](base::ErrorScope&) {
    throw base::NotAvailable("cConfiguration.WriteParameters", "The write command of the main window");
  });
  return false;
}

}  // namespace config
