#include "platform/lns_embedded/template_commands.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

#include "base/error.h"
#include "lns/lns_errors.h"
#include "platform/device_interface/xif_writer.h"
#include "platform/lns_embedded/lonip_commands.h"
#include "platform/lns_embedded/network_dialect.h"
#include "platform/lns_embedded/template_store.h"

namespace platform::lns_embedded {
namespace {

constexpr const char* kForms =
    "template import <file.xif> [--network <network>] [--name <name>] | template list <network> | "
    "template show <network> <program ID> [--json] | template remove <network> <program ID> | "
    "template export <network> <program ID> --xif <file.xif> | template check <network> <program ID> <device path>";

[[noreturn]] void Usage(const std::string& what) { throw ToolUsageError(what); }

std::string ProgramIdArgument(const std::string& text) {
  const auto id = ProgramIdOf(text);
  if (!id) Usage("\"" + text + "\" is not a program ID (16 hexadecimal digits, as 9F:FF:FF:08:1C:0A:04:01)");
  return *id;
}

// Writes `text` to `path` through a temporary file in the same folder, so that a reader finds
// the old file or the new one, never a part.
void WriteAtomically(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
      std::remove(temporary.c_str());
      throw base::Error(base::err::kPathFileAccess, "portab-lns", "Cannot write " + path);
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw base::Error(base::err::kPathFileAccess, "portab-lns", "Cannot write " + path);
  }
}

std::string Counted(size_t n, const char* what) { return std::to_string(n) + " " + what; }

}  // namespace

int TemplateCommands::Run(const std::vector<std::string>& args) {
  const std::string verb = args.empty() ? "" : args[0];
  if (verb == "import") return Import(args);
  if (verb == "list") return List(args);
  if (verb == "show") return Show(args);
  if (verb == "remove") return Remove(args);
  if (verb == "export") return Export(args);
  Usage(std::string("expected: portab-lns ") + kForms);
}

int TemplateCommands::Import(const std::vector<std::string>& args) {
  if (args.size() < 2 || args.size() % 2 != 0) Usage("expected: portab-lns template import <file.xif> [--network <network>] [--name <name>]");
  std::string network, name = TemplateNameOf(args[1]);
  for (size_t i = 2; i < args.size(); i += 2) {
    if (args[i] == "--network") {
      network = args[i + 1];
    } else if (args[i] == "--name") {
      name = args[i + 1];
    } else {
      Usage("expected: portab-lns template import <file.xif> [--network <network>] [--name <name>]");
    }
  }
  const auto xif = ReadXifFile(args[1]);
  const size_t cps = xif.device.cps.size();
  if (network.empty()) {
    // Read and checked only: what the file makes, without a network to keep it.
    out_ << args[1] << ": a well-formed device interface file; importing it needs --network <network>\n";
    out_ << TemplateText({name, ProgramIdOf(xif.device.programId).value_or(xif.device.programId), xif});
    return 0;
  }
  auto database = server_.Database(network);
  SqlDb& db = database->Db();
  InWriteTransaction(db, [&] { StoreTemplate(db, xif, name); });
  out_ << "imported template \"" << name << "\" (program ID " << *ProgramIdOf(xif.device.programId) << ", "
       << Counted(xif.device.nvs.size(), "NVs") << ", " << Counted(cps, "CPs") << ") into " << database->NetworkName() << "\n";
  if (!xif.device.cpProblem.empty()) out_ << "its CPs: " << xif.device.cpProblem << "\n";
  return 0;
}

int TemplateCommands::List(const std::vector<std::string>& args) {
  if (args.size() != 2) Usage("expected: portab-lns template list <network>");
  auto database = server_.Database(args[1]);
  const auto list = ListTemplates(database->Db());
  if (list.empty()) out_ << database->NetworkName() << " has no device template (portab-lns template import adds one)\n";
  for (const auto& t : list) {
    out_ << t.programId << " \"" << t.name << "\" XIF " << t.xifVersion << ", " << Counted(t.nvs, "VAR records") << ", "
         << Counted(t.cps, "CPs") << ", " << Counted(t.devices, "device(s)") << "\n";
  }
  return 0;
}

int TemplateCommands::Show(const std::vector<std::string>& args) {
  if (args.size() < 3 || args.size() > 4 || (args.size() == 4 && args[3] != "--json")) {
    Usage("expected: portab-lns template show <network> <program ID> [--json]");
  }
  auto database = server_.Database(args[1]);
  const auto stored = TemplateOf(database->Db(), ProgramIdArgument(args[2]));
  if (args.size() == 4) {
    out_ << TemplateJson(stored).dump(2) << "\n";
  } else {
    out_ << TemplateText(stored);
  }
  return 0;
}

int TemplateCommands::Remove(const std::vector<std::string>& args) {
  if (args.size() != 3) Usage("expected: portab-lns template remove <network> <program ID>");
  auto database = server_.Database(args[1]);
  SqlDb& db = database->Db();
  const std::string id = ProgramIdArgument(args[2]);
  InWriteTransaction(db, [&] { RemoveTemplate(db, id); });
  out_ << "removed the template of " << id << " from " << database->NetworkName() << "\n";
  return 0;
}

int TemplateCommands::Export(const std::vector<std::string>& args) {
  if (args.size() != 5 || args[3] != "--xif") Usage("expected: portab-lns template export <network> <program ID> --xif <file.xif>");
  auto database = server_.Database(args[1]);
  const auto stored = TemplateOf(database->Db(), ProgramIdArgument(args[2]));
  WriteAtomically(args[4], device_interface::WriteXif(stored.xif));
  out_ << "wrote the template \"" << stored.name << "\" (" << stored.programId << ") to " << args[4] << "\n";
  return 0;
}

}  // namespace platform::lns_embedded
