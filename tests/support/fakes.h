#pragma once
// Recording stand-ins for the outside components. The records outlive the components, so a
// test can look at them after EndApp has released everything.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "services/components.h"
#include "services/dialogs.h"
#include "platform/process/shell.h"

namespace testing_support {

struct Records {
  std::vector<services::dialogs::MessageBox> messages;
  std::vector<services::dialogs::AboutBox> abouts;
  std::deque<services::dialogs::Answer> answers;  // next answers to questions
  std::deque<std::string> files;                  // next files chosen in file dialogs (none: cancelled)
  std::vector<services::dialogs::FileDialog> fileDialogs;
  std::vector<std::string> statusTexts;
  bool statusShown = false;
  std::vector<std::vector<std::string>> started;  // program and arguments
  std::vector<std::string> createdObjects;        // programmatic ids asked for
  bool deadObjectServer = false;                  // the object server does not answer
  std::function<base::DispatchPtr(const std::string&)> objectMaker;  // what CreateObject hands out
  std::optional<std::filesystem::path> opener;    // what FindProgram finds
};

class RecordingDialogs final : public services::dialogs::Dialogs {
 public:
  explicit RecordingDialogs(Records& records) : records_(records) {}
  services::dialogs::Answer Show(const services::dialogs::MessageBox& box) override;
  std::optional<std::string> ChooseFile(const services::dialogs::FileDialog& dialog) override;
  void ShowAbout(const services::dialogs::AboutBox& about) override { records_.abouts.push_back(about); }

 private:
  Records& records_;
};

class RecordingStatusWindow final : public services::dialogs::StatusWindow {
 public:
  explicit RecordingStatusWindow(Records& records) : records_(records) {}
  void Show() override { records_.statusShown = true; }
  void Close() override { records_.statusShown = false; }
  void SetStatusText(std::string_view text) override { records_.statusTexts.emplace_back(text); }
  void Reset() override {}
  void SetFont(std::string_view) override {}
  bool Visible() const override { return records_.statusShown; }
  std::string StatusText() const override {
    return records_.statusTexts.empty() ? "" : records_.statusTexts.back();
  }

 private:
  Records& records_;
};

class RecordingShell final : public services::process::Shell {
 public:
  explicit RecordingShell(Records& records) : records_(records) {}
  bool Start(const std::filesystem::path& program, const std::vector<std::string>& args) override;
  std::optional<std::filesystem::path> FindProgram(const std::string&) const override { return records_.opener; }

 private:
  Records& records_;
};

// Recording dialogs, status window and shell; the registry store in `registryFile`.
class TestFactory final : public services::ComponentFactory {
 public:
  TestFactory(Records& records, std::filesystem::path registryFile)
      : records_(records), registryFile_(std::move(registryFile)) {}
  std::unique_ptr<services::dialogs::StatusWindow> CreateStatusWindow() override;
  std::unique_ptr<services::dialogs::Dialogs> CreateDialogs() override;
  std::unique_ptr<services::registry::Registry> CreateRegistryAccess() override;
  std::unique_ptr<services::process::Shell> CreateShell() override;
  std::unique_ptr<lns::IniFile> CreateIniFile() override;
  std::shared_ptr<lns::ObjectServer> CreateObjectServer() override;
  std::unique_ptr<lns::NvTypeChanger> CreateNvTypeChanger() override;
  std::unique_ptr<services::automation::ComRegistration> CreateComRegistration(
      services::registry::Registry& registry) override;
  std::unique_ptr<services::automation::ObjectFactory> CreateObjectFactory(
      const services::registry::Registry& registry, std::shared_ptr<lns::ObjectServer> server) override;

 private:
  Records& records_;
  std::filesystem::path registryFile_;
};

}  // namespace testing_support
