#pragma once
// The Qt window system of a profile plug-in's Qt build: the application object, Qt message
// boxes and file dialogs, the main window as a Qt window and its event loop.

#include <memory>
#include <string>

#include "platform/plugin/plugin_entry.h"

class QApplication;

namespace platform::qt {

class QtDialogs;
class WindowView;
class WidgetActions;

class QtFrontEnd final : public plugin::WindowFrontEnd {
 public:
  // `programName` is the application's name in Qt.
  explicit QtFrontEnd(std::string programName);
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  services::dialogs::Dialogs& Dialogs(services::dialogs::Dialogs& console, bool answered) override;
  // Shows the window; a window script acts through its widgets, and with PORTAB_SCREENSHOTS
  // naming a folder the window is saved there as PNG pictures after each page, tab and menu
  // action.
  config::UserActions* Show(config::MainWindow& window) override;
  void Run() override;
  void Release() override;

 private:
  std::string programName_;
  int argc_ = 1;
  char* argv_[2] = {nullptr, nullptr};
  std::unique_ptr<QApplication> application_;
  std::unique_ptr<QtDialogs> dialogs_;
  std::unique_ptr<WindowView> view_;
  std::unique_ptr<WidgetActions> actions_;
};

}  // namespace platform::qt
