#include "support/fakes.h"

#include "platform/ini/profile_ini_file.h"
#include "platform/registry/file_registry.h"

namespace testing_support {

platform::dialogs::Answer RecordingDialogs::Show(const platform::dialogs::MessageBox& box) {
  records_.messages.push_back(box);
  const auto offered = platform::dialogs::AnswersOf(box.buttons);
  if (offered.size() > 1 && !records_.answers.empty()) {
    const auto answer = records_.answers.front();
    records_.answers.pop_front();
    return answer;
  }
  return offered[static_cast<size_t>(box.defaultButton - 1)];
}

bool RecordingShell::Start(const std::filesystem::path& program, const std::vector<std::string>& args) {
  std::vector<std::string> call{program.string()};
  call.insert(call.end(), args.begin(), args.end());
  records_.started.push_back(std::move(call));
  return true;
}

std::unique_ptr<platform::dialogs::StatusWindow> TestFactory::CreateStatusWindow() {
  return std::make_unique<RecordingStatusWindow>(records_);
}
std::unique_ptr<platform::dialogs::Dialogs> TestFactory::CreateDialogs() {
  return std::make_unique<RecordingDialogs>(records_);
}
std::unique_ptr<platform::registry::Registry> TestFactory::CreateRegistryAccess() {
  return std::make_unique<platform::registry::FileRegistry>(registryFile_);
}
std::unique_ptr<lns::IniFile> TestFactory::CreateIniFile() { return std::make_unique<platform::ini::ProfileIniFile>(); }
std::unique_ptr<platform::process::Shell> TestFactory::CreateShell() {
  return std::make_unique<RecordingShell>(records_);
}

}  // namespace testing_support
