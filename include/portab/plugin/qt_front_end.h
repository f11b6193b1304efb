#pragma once
// The Qt window system of a profile plug-in's Qt build (library portab::qt): the application
// object, Qt message boxes and file dialogs, the main window as a Qt window and its event loop.

#include <memory>
#include <string>

#include "portab/plugin/plugin_entry.h"

namespace plugin {

class QtFrontEnd final : public WindowFrontEnd {
 public:
  // `programName` is the application's name in Qt. Nothing of Qt starts before the first
  // dialog or window is asked for.
  explicit QtFrontEnd(std::string programName);
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  // Qt message boxes and file dialogs, or `console` when the answers are given (`answered`).
  services::dialogs::Dialogs& Dialogs(services::dialogs::Dialogs& console, bool answered) override;
  // Shows the window; a window script acts through its widgets, and with PORTAB_SCREENSHOTS
  // naming a folder the window is saved there as PNG pictures after each page, tab and menu
  // action.
  config::UserActions* Show(config::MainWindow& window) override;
  // Runs Qt's event loop until the window is closed.
  void Run() override;
  // Closes and lets go of the shown window; the dialogs stay for the next command.
  void Release() override;

 private:
  struct Parts;
  std::string programName_;
  std::unique_ptr<Parts> parts_;
};

}  // namespace plugin
