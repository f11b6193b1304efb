#pragma once
// The template commands of portab-lns, for device templates read from device interface files:
//   template import <file.xif> [--network <network>] [--name <name>]
//   template list <network>
//   template show <network> <program ID> [--json]
//   template remove <network> <program ID>
//   template export <network> <program ID> --xif <file.xif>
// (template check, which asks a device, is one of the LON/IP commands.)

#include <ostream>
#include <string>
#include <vector>

#include "platform/lns_embedded/embedded_server.h"

namespace platform::lns_embedded {

class TemplateCommands {
 public:
  TemplateCommands(EmbeddedObjectServer& server, std::ostream& out) : server_(server), out_(out) {}
  // Runs `template <args>`; returns the exit status. Bad command lines raise ToolUsageError,
  // everything else base::Error naming the file, network or template.
  int Run(const std::vector<std::string>& args);

 private:
  int Import(const std::vector<std::string>& args);
  int List(const std::vector<std::string>& args);
  int Show(const std::vector<std::string>& args);
  int Remove(const std::vector<std::string>& args);
  int Export(const std::vector<std::string>& args);

  EmbeddedObjectServer& server_;
  std::ostream& out_;
};

}  // namespace platform::lns_embedded
