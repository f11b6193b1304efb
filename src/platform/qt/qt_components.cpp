#include "platform/qt/qt_components.h"

#include <cstdlib>

#include "platform/qt/qt_dialogs.h"

namespace platform::qt {

std::unique_ptr<services::dialogs::Dialogs> QtComponentFactory::CreateDialogs() {
  const char* answers = std::getenv("PORTAB_ANSWERS");
  if (answers != nullptr && *answers != '\0') return console_.CreateDialogs();
  return std::make_unique<QtDialogs>();
}

}  // namespace platform::qt
