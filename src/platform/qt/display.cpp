#include "platform/qt/display.h"

#include <unistd.h>

#include <cstdlib>
#include <initializer_list>

#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/sql_db.h"
#include "platform/process/shell.h"
#include "platform/registry/file_registry.h"

namespace platform::qt {

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

void BecomeQtBuildWhenNeeded(const char* qtBuild, char** argv) {
  const bool serverNeeded = !lns_embedded::ServerConnectorAvailable() && lns_embedded::ServerNamed(registry::PortabHome() / "lns");
  if (!DisplayAvailable() && !serverNeeded) return;
  const auto program = process::CurrentExecutable().parent_path() / qtBuild;
  if (::access(program.c_str(), X_OK) == 0) ::execv(program.c_str(), argv);
}

}  // namespace platform::qt
