// portab-lns: creates and inspects the network databases of the embedded LNS server.

#include <iostream>
#include <string>
#include <vector>

#include "platform/lns_embedded/lns_tool.h"
#include "platform/registry/file_registry.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return platform::lns_embedded::RunLnsTool(args, platform::registry::PortabHome(), std::cout, std::cerr);
}
