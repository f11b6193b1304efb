#include "platform/qt/qt_front_end.h"

#include <QApplication>
#include <cstdlib>

#include "platform/qt/qt_dialogs.h"
#include "platform/qt/window_view.h"

namespace platform::qt {

QtFrontEnd::QtFrontEnd(std::string programName) : programName_(std::move(programName)) {
  argv_[0] = programName_.data();
}

// The window goes before the application object it belongs to.
QtFrontEnd::~QtFrontEnd() {
  Release();
  dialogs_.reset();
  application_.reset();
}

void QtFrontEnd::Release() {
  actions_.reset();
  if (dialogs_) dialogs_->SetParent(nullptr);
  view_.reset();
}

services::dialogs::Dialogs& QtFrontEnd::Dialogs(services::dialogs::Dialogs& console, bool answered) {
  if (!application_) application_ = std::make_unique<QApplication>(argc_, argv_);
  if (!dialogs_) dialogs_ = std::make_unique<QtDialogs>();
  return answered ? console : static_cast<services::dialogs::Dialogs&>(*dialogs_);
}

config::UserActions* QtFrontEnd::Show(config::MainWindow& window) {
  if (!application_) application_ = std::make_unique<QApplication>(argc_, argv_);
  view_ = std::make_unique<WindowView>(window);
  if (dialogs_) dialogs_->SetParent(view_.get());
  view_->show();
  const char* screenshots = std::getenv("PORTAB_SCREENSHOTS");  // a folder for pictures of the window
  actions_ = std::make_unique<WidgetActions>(*view_, screenshots != nullptr ? screenshots : "");
  return actions_.get();
}

void QtFrontEnd::Run() {
  if (application_) application_->exec();
}

}  // namespace platform::qt
