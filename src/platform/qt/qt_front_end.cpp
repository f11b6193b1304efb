#include "plugin/qt_front_end.h"

#include <QApplication>
#include <cstdlib>

#include "platform/qt/colour_scheme.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/window_view.h"

namespace plugin {

using platform::qt::QtDialogs;
using platform::qt::WidgetActions;
using platform::qt::WindowView;

// Qt's objects, in the order they are let go: the window before the application it belongs to.
struct QtFrontEnd::Parts {
  int argc = 1;
  char* argv[2] = {nullptr, nullptr};
  std::unique_ptr<QApplication> application;
  std::unique_ptr<QtDialogs> dialogs;
  std::unique_ptr<WindowView> view;
  std::unique_ptr<WidgetActions> actions;

  void StartApplication() {
    if (application) return;
    application = std::make_unique<QApplication>(argc, argv);
    platform::qt::ApplyColourScheme();
  }
};

QtFrontEnd::QtFrontEnd(std::string programName)
    : programName_(std::move(programName)), parts_(std::make_unique<Parts>()) {
  parts_->argv[0] = programName_.data();
}

QtFrontEnd::~QtFrontEnd() {
  Release();
  parts_->dialogs.reset();
  parts_->application.reset();
}

void QtFrontEnd::Release() {
  parts_->actions.reset();
  if (parts_->dialogs) parts_->dialogs->SetParent(nullptr);
  parts_->view.reset();
}

services::dialogs::Dialogs& QtFrontEnd::Dialogs(services::dialogs::Dialogs& console, bool answered) {
  parts_->StartApplication();
  if (!parts_->dialogs) parts_->dialogs = std::make_unique<QtDialogs>();
  return answered ? console : static_cast<services::dialogs::Dialogs&>(*parts_->dialogs);
}

config::UserActions* QtFrontEnd::Show(config::MainWindow& window) {
  parts_->StartApplication();
  parts_->view = std::make_unique<WindowView>(window);
  if (parts_->dialogs) parts_->dialogs->SetParent(parts_->view.get());
  parts_->view->show();
  const char* screenshots = std::getenv("PORTAB_SCREENSHOTS");  // a folder for pictures of the window
  parts_->actions = std::make_unique<WidgetActions>(*parts_->view, screenshots != nullptr ? screenshots : "");
  return parts_->actions.get();
}

void QtFrontEnd::Run() {
  if (parts_->application) parts_->application->exec();
}

}  // namespace plugin
