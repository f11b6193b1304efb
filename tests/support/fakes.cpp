#include "support/fakes.h"

#include "base/error.h"
#include "platform/automation/class_registry.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/registry/file_registry.h"

namespace testing_support {

services::dialogs::Answer RecordingDialogs::Show(const services::dialogs::MessageBox& box) {
  records_.messages.push_back(box);
  const auto offered = services::dialogs::AnswersOf(box.buttons);
  if (offered.size() > 1 && !records_.answers.empty()) {
    const auto answer = records_.answers.front();
    records_.answers.pop_front();
    return answer;
  }
  return offered[static_cast<size_t>(box.defaultButton - 1)];
}

std::optional<std::string> RecordingDialogs::ChooseFile(const services::dialogs::FileDialog& dialog) {
  records_.fileDialogs.push_back(dialog);
  if (records_.files.empty()) return std::nullopt;
  std::string file = records_.files.front();
  records_.files.pop_front();
  return file;
}

bool RecordingShell::Start(const std::filesystem::path& program, const std::vector<std::string>& args) {
  std::vector<std::string> call{program.string()};
  call.insert(call.end(), args.begin(), args.end());
  records_.started.push_back(std::move(call));
  return true;
}

std::unique_ptr<services::dialogs::StatusWindow> TestFactory::CreateStatusWindow() {
  return std::make_unique<RecordingStatusWindow>(records_);
}
std::unique_ptr<services::dialogs::Dialogs> TestFactory::CreateDialogs() {
  return std::make_unique<RecordingDialogs>(records_);
}
std::unique_ptr<services::registry::Registry> TestFactory::CreateRegistryAccess() {
  return std::make_unique<platform::registry::FileRegistry>(registryFile_);
}
std::unique_ptr<lns::IniFile> TestFactory::CreateIniFile() { return std::make_unique<platform::ini::ProfileIniFile>(); }
namespace {
// An object server that raises on every call.
class DeadServer final : public lns::ObjectServer {
 public:
  lns::ObjectPtr Parent() const override { return nullptr; }
  std::string Name() const override { Fail(); }
  void Open(int16_t) override { Fail(); }
  void Close() override {}
  bool IsOpen() const override { return false; }
  std::string Text() const override { Fail(); }
  bool Remote() const override { return false; }
  std::shared_ptr<lns::NetworkCollection> Networks() override { Fail(); }
  void SetNvUpdateHandler(lns::NvUpdateHandler) override {}
  int PumpEvents() override { return 0; }

 private:
  [[noreturn]] static void Fail() { throw base::Error(462, "LNS", "The object server does not answer"); }
};
}  // namespace

std::shared_ptr<lns::ObjectServer> TestFactory::CreateObjectServer() {
  if (records_.deadObjectServer) return std::make_shared<DeadServer>();
  return std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(registryFile_.parent_path() / "lns");
}
std::unique_ptr<lns::NvTypeChanger> TestFactory::CreateNvTypeChanger() {
  return std::make_unique<platform::lns_embedded::EmbeddedNvTypeChanger>();
}
std::unique_ptr<services::automation::ComRegistration> TestFactory::CreateComRegistration(
    services::registry::Registry& registry) {
  return std::make_unique<platform::automation::RegistryComRegistration>(registry);
}

namespace {
// Hands out what the test's objectMaker makes, and records the request.
class RecordingObjectFactory final : public services::automation::ObjectFactory {
 public:
  explicit RecordingObjectFactory(Records& records) : records_(records) {}
  base::DispatchPtr CreateObject(const std::string& progId) override {
    records_.createdObjects.push_back(progId);
    base::DispatchPtr object = records_.objectMaker ? records_.objectMaker(progId) : nullptr;
    if (!object) throw base::Error(429, "Automation", "Cannot create \"" + progId + "\"");
    return object;
  }

 private:
  Records& records_;
};
}  // namespace

std::unique_ptr<services::automation::ObjectFactory> TestFactory::CreateObjectFactory(
    const services::registry::Registry&, std::shared_ptr<lns::ObjectServer>) {
  return std::make_unique<RecordingObjectFactory>(records_);
}

std::unique_ptr<services::process::Shell> TestFactory::CreateShell() {
  return std::make_unique<RecordingShell>(records_);
}

}  // namespace testing_support
