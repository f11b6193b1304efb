// portab-lns: creates and inspects the network databases of the embedded LNS server, and
// checks knowledge-base folders ("kb").

#include <unistd.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "knowledge/kb_checker.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/lns_tool.h"
#include "platform/lns_embedded/postgres_db.h"
#include "platform/registry/file_registry.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "kb") {
    return knowledge::RunKbTool(
        args, [] { return std::make_unique<platform::ini::ProfileIniFile>(); }, std::cout, std::cerr);
  }
  platform::lns_embedded::EnablePostgresServers();  // --server
  return platform::lns_embedded::RunLnsTool(args, platform::registry::PortabHome(), std::cout, std::cerr,
                                            {::isatty(STDOUT_FILENO) != 0, ::isatty(STDERR_FILENO) != 0});
}
