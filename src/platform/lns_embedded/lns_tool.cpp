#include "platform/lns_embedded/lns_tool.h"

#include <charconv>
#include <cstdlib>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "base/error.h"
#include "base/standard_options.h"
#include "base/text.h"
#include "lns/lns_errors.h"
#include "lns/lns_dispatch.h"
#include "lns/object_name_parser.h"
#include "lns/object_names.h"
#include "platform/automation/object_client.h"
#include "platform/registry/file_registry.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/lns_embedded/lonip_commands.h"
#include "platform/lns_embedded/lonip_link.h"
#include "platform/lns_embedded/network_copy.h"
#include "platform/lns_embedded/network_db.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_dialect.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/nv_types.h"
#include "platform/lns_embedded/template_commands.h"
#include "platform/lns_embedded/template_store.h"

namespace platform::lns_embedded {
namespace {

constexpr const char* kUsage =
    "usage: portab-lns networks\n"
    "       portab-lns create <description.json> [--replace]\n"
    "       portab-lns export <network> [<file.json>]\n"
    "       portab-lns tree <network>\n"
    "       portab-lns cp get <path> <cp> [--nv <nv>] [--format dec|hex|raw] [--from-device]\n"
    "       portab-lns cp set <path> <cp> <bytes> [--nv <nv>] [--format dec|hex|raw]\n"
    "       portab-lns cp upload|download <device path>\n"
    "       portab-lns nv get <path> <nv>\n"
    "       portab-lns nv set <path> <nv> <value>\n"
    "       portab-lns reachable <device path> yes|no\n"
    "       portab-lns device add <subsystem path> <device.json>\n"
    "       portab-lns device add <subsystem path> <name> --from-device <Neuron ID>\n"
    "       portab-lns device add <subsystem path> <name> --template <program ID>\n"
    "       portab-lns device interface <device path> [--json]\n"
    "       portab-lns template import <file.xif> [--network <network>] [--name <name>]\n"
    "       portab-lns template list <network>\n"
    "       portab-lns template show <network> <program ID> [--json]\n"
    "       portab-lns template remove <network> <program ID>\n"
    "       portab-lns template export <network> <program ID> --xif <file.xif>\n"
    "       portab-lns template check <network> <program ID> <device path>\n"
    "       portab-lns monitor <network>\n"
    "       portab-lns registrations <network>\n"
    "       portab-lns plugin <programmatic id> [--set <name>=<value>] [--lns <name>=<path>] [--regresult]\n"
    "                         [--send <command id> <class id> <object name>] [--get <name>] ...\n"
    "       portab-lns registry export <file>\n"
    "       portab-lns kb check <Config folder> [<version>]\n"
    "       portab-lns copy <network> --to <URI> | --from <URI> [--replace]\n"
    "       portab-lns server <network> [<URI> | none]\n"
    "       portab-lns interface add <name> lonip:<IPv4> [--timeout <ms>] [--retries <n>] [--enhanced yes|no]\n"
    "       portab-lns interface list | interface remove <name>\n"
    "       portab-lns attach <network> <interface> | none\n"
    "       portab-lns discover <interface or network> [--seconds <n>]\n"
    "       portab-lns commission <device path> <Neuron ID> [--accept-interface]\n"
    "       portab-lns status <device path>\n"
    "       portab-lns wink <device path>\n"
    "       portab-lns --server <URI> <command> ...\n"
    "       portab-lns --help | -h | --version\n";

constexpr const char* kCommands =
    "\n"
    "commands (each network is its database file in $PORTAB_HOME/lns, or lives on the server that\n"
    "its server entry or PORTAB_SERVER names):\n"
    "  networks       list the networks\n"
    "  create         create a network from a JSON description (--replace overwrites one)\n"
    "  export         write a network as JSON, to standard output or a file\n"
    "  tree           print a network's objects with positions, class ids and values\n"
    "  cp             show or change a CP's bytes (--format dec, the default, hex or raw; get --from-device\n"
    "                 shows it as the device holds it); cp upload takes the values of the CPs a device\n"
    "                 holds into the database, cp download writes the database's to the device, each\n"
    "                 listing the CPs that differed\n"
    "  nv             show or change an NV's value\n"
    "  reachable      make a device reachable or not\n"
    "  device add     add a device, described like an entry of \"devices\" in a network description,\n"
    "                 to a subsystem (Network/System.Subsystem); with --from-device, as the device of\n"
    "                 that Neuron ID on the network's interface tells of itself (refused when a device\n"
    "                 of the network runs the same program with another shape); with --template, with\n"
    "                 the NVs, LonMark objects and CPs (at their default values) of the network's\n"
    "                 template of that program ID\n"
    "  device interface  show what a commissioned device tells of itself: blocks, NVs, CPs and where\n"
    "                 it keeps them; --json as an entry of \"devices\" in a network description\n"
    "  template       device templates read from the makers' device interface files (XIF): import\n"
    "                 one into a network (without --network the file is only read and shown), list,\n"
    "                 show (--json), remove one no device uses, export one as a XIF, or check a\n"
    "                 commissioned device's interface against one, listing every difference\n"
    "  monitor        list the NVs that have monitor tags, with their values\n"
    "  registrations  list the plug-in registrations of a network\n"
    "  plugin         create a plug-in's automation object and drive it as an LNS tool does\n"
    "  registry       export the registry store for a registry editor\n"
    "  kb             check a knowledge-base folder\n"
    "  copy           copy a network from its file to a PostgreSQL server (--to) or back (--from);\n"
    "                 --replace overwrites a network of that name there\n"
    "  server         show, set or remove (none) the server entry of a network: the server that\n"
    "                 portab, the profile plug-ins and portab-lns open it on; PORTAB_SERVER, when\n"
    "                 set, wins for every network\n"
    "  interface      add, list or remove the LON/IP interfaces of this machine (the tool's own\n"
    "                 address; its domain follows from it); kept in the registry store\n"
    "  attach         give a network the interface its devices are reached through (none: simulated\n"
    "                 devices, as without one); nv get/set and the plug-ins then go to the devices\n"
    "  discover       list the devices that answer a Query ID for unconfigured devices and those whose\n"
    "                 service pin is heard (5 s unless --seconds): Neuron ID, program ID, state, address\n"
    "  commission     bind a device of an attached network to the physical device of that Neuron ID:\n"
    "                 the network's domain, a free subnet/node, online; refused when the device's\n"
    "                 interface differs from the network's template of its program, unless\n"
    "                 --accept-interface\n"
    "  status         show a device's state and counters, asked of the device\n"
    "  wink           make a device wink\n"
    "  --server URI   run the command on the networks of a PostgreSQL server\n"
    "                 (postgresql://user@host:port/db; PORTAB_SERVER, when set, names it otherwise);\n"
    "                 PORTAB_SERVER_TIMEOUT bounds each wait (10 s)\n"
    "  --help, -h     print this text\n"
    "  --version      print the program's version\n";

[[noreturn]] void Usage(const std::string& what) { throw ToolUsageError(what); }

// A counting line on standard error ("portab-lns: 1200 of 5000 devices"), rewritten in place
// at most ten times a second and ended with a line break before anything else is printed;
// nothing at all when it is switched off.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  ~ProgressLine() { End(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Show(int64_t done, int64_t total) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (open_ && done < total && now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    open_ = true;
    err_ << "\rportab-lns: " << done << " of " << total << " devices" << std::flush;
  }
  void End() {
    if (!open_) return;
    err_ << "\n" << std::flush;
    open_ = false;
  }

 private:
  std::ostream& err_;
  bool enabled_;
  bool open_ = false;
  std::chrono::steady_clock::time_point drawn_;
};

// How `cp get` and `cp set` show and take a CP's bytes.
enum class ByteFormat { Dec, Hex, Raw };

ByteFormat ByteFormatOf(const std::string& name) {
  if (base::EqualsNoCase(name, "dec")) return ByteFormat::Dec;
  if (base::EqualsNoCase(name, "hex")) return ByteFormat::Hex;
  if (base::EqualsNoCase(name, "raw")) return ByteFormat::Raw;
  Usage("unknown CP value format \"" + name + "\" (dec, hex or raw)");
}

// The bytes typed in `format`: dec and hex take fields separated by blanks, commas or tabs;
// raw is the server's RAW text, where only a tab separates and every field counts.
std::vector<uint8_t> ParseBytes(const std::string& text, ByteFormat format) {
  std::vector<std::string> fields;
  if (format == ByteFormat::Raw) {
    for (const auto& field : base::Split(text, "\t")) fields.emplace_back(base::TrimWhitespace(field));
  } else {
    std::string separated = text;
    for (char& c : separated) {
      if (c == ',' || c == ' ') c = '\t';
    }
    for (auto& field : base::Split(separated, "\t")) {
      if (!field.empty()) fields.push_back(std::move(field));
    }
  }
  const bool hex = format == ByteFormat::Hex;
  std::vector<uint8_t> bytes;
  for (const auto& field : fields) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value, hex ? 16 : 10);
    if (field.empty() || ec != std::errc() || end != field.data() + field.size() || value > 255 ||
        (hex && field.size() > 2)) {
      Usage("\"" + field + "\" is not a " + (hex ? "hexadecimal byte (00..FF)" : "decimal byte (0..255)"));
    }
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

std::string ReadWholeFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw base::Error(base::err::kFileNotFound, "portab-lns", "Cannot read " + file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A device or LonMark object named by a path.
struct Target {
  std::shared_ptr<lns::AppDevice> device;
  std::shared_ptr<lns::LonMarkObject> object;  // none for a device path
  std::shared_ptr<NetworkDb> db;
};

class Tool {
 public:
  // `serverUri`: the server --server names ("" none); PORTAB_SERVER stands in for it, as in portab.
  Tool(const std::filesystem::path& home, const std::string& serverUri, std::ostream& out, std::ostream& err,
       ToolTerminals terminals)
      : home_(home),
        explicitServer_(!serverUri.empty()),
        server_(std::make_shared<EmbeddedObjectServer>(home / "lns", explicitServer_ ? serverUri : ServerFromEnvironment())),
        out_(out),
        err_(err),
        terminals_(terminals) {
    server_->Open(0);
    // A plug-in this tool starts opens its networks on the same server; the setting is put back
    // when the tool is done, so that a program that runs it twice does not keep the first server.
    if (const char* before = std::getenv("PORTAB_SERVER")) serverBefore_ = before;
    if (explicitServer_) ::setenv("PORTAB_SERVER", serverUri.c_str(), 1);
  }
  ~Tool() {
    if (!explicitServer_) return;
    if (serverBefore_) {
      ::setenv("PORTAB_SERVER", serverBefore_->c_str(), 1);
    } else {
      ::unsetenv("PORTAB_SERVER");
    }
  }
  Tool(const Tool&) = delete;
  Tool& operator=(const Tool&) = delete;

  int Run(const std::vector<std::string>& args) {
    if (args.empty()) Usage("no command given");
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "networks") return Networks();
    if (command == "create") return Create(rest);
    if (command == "export") return Export(rest);
    if (command == "tree") return Tree(One(rest, "tree <network>"));
    if (command == "cp") return Cp(rest);
    if (command == "nv") return Nv(rest);
    if (command == "reachable") return Reachable(rest);
    if (command == "device") return Device(rest);
    if (command == "monitor") return Monitor(One(rest, "monitor <network>"));
    if (command == "registrations") return Registrations(One(rest, "registrations <network>"));
    if (command == "plugin") return PlugIn(rest);
    if (command == "registry") return Registry(rest);
    if (command == "copy") return Copy(rest);
    if (command == "server") return Server(rest);
    if (command == "template") return Template(rest);
    if (LonIpCommands::Handles(command)) {
      return LonIpCommands(*server_, out_, err_, terminals_.err).Run(command, rest, [this](const std::string& path) {
        const Target target = Resolve(path);
        if (target.object) Usage("\"" + path + "\" names a LonMark object, not a device");
        return ResolvedDevice{target.db, RowIdOf(*target.device)};
      });
    }
    Usage("unknown command \"" + command + "\"");
  }

 private:
  static const std::string& One(const std::vector<std::string>& args, const std::string& form) {
    if (args.size() != 1) Usage("expected: portab-lns " + form);
    return args[0];
  }

  static std::filesystem::path DescriptionFolder(const std::string& file) {
    return std::filesystem::path(file).parent_path();
  }

  int Template(const std::vector<std::string>& args) {
    if (args.empty() || args[0] != "check") return TemplateCommands(*server_, out_).Run(args);
    if (args.size() != 4) Usage("expected: portab-lns template check <network> <program ID> <device path>");
    const Target target = Resolve(args[3]);
    if (target.object) Usage("\"" + args[3] + "\" names a LonMark object, not a device");
    if (!base::EqualsNoCase(target.db->NetworkName(), args[1])) {
      Usage("the device \"" + args[3] + "\" is not of the network \"" + args[1] + "\"");
    }
    const auto programId = ProgramIdOf(args[2]);
    if (!programId) Usage("\"" + args[2] + "\" is not a program ID (16 hexadecimal digits, as 9F:FF:FF:08:1C:0A:04:01)");
    return LonIpCommands(*server_, out_, err_, terminals_.err).CheckTemplate(ResolvedDevice{target.db, RowIdOf(*target.device)}, *programId);
  }

  int Networks() {
    server_->Networks();  // the server's networks, or the folder's
    for (const auto& name : server_->NetworkNames()) out_ << name << "\n";
    return 0;
  }

  int Create(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2 || (args.size() == 2 && args[1] != "--replace")) {
      Usage("expected: portab-lns create <description.json> [--replace]");
    }
    ProgressLine progress(err_, terminals_.err);
    const auto show = [&](int64_t done, int64_t total) { progress.Show(done, total); };
    const bool replace = args.size() == 2;
    if (!server_->ServerUri().empty()) {
      SqlDb& server = server_->ServerConnection();
      const std::string name = CreateNetworkOnServer(server, ReadWholeFile(args[0]), replace, show, DescriptionFolder(args[0]));
      progress.End();
      out_ << "created network \"" << name << "\" on " << server.Name() << "\n";
      return 0;
    }
    const std::string name = CreateNetwork(server_->Folder(), ReadWholeFile(args[0]), replace, show, DescriptionFolder(args[0]));
    progress.End();
    out_ << "created network \"" << name << "\" in " << DatabaseFile(server_->Folder(), name).string() << "\n";
    return 0;
  }

  int Export(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) Usage("expected: portab-lns export <network> [<file.json>]");
    ProgressLine progress(err_, terminals_.err);
    const auto show = [&](int64_t done, int64_t total) { progress.Show(done, total); };
    const std::string text = ExportNetwork(*server_->Database(server_->Networks()->ItemByName(args[0])->Name()), show);
    progress.End();
    if (args.size() == 1) {
      out_ << text;
      return 0;
    }
    std::ofstream file(args[1], std::ios::binary | std::ios::trunc);
    file << text;
    if (!file) throw base::Error(base::err::kPathFileAccess, "portab-lns", "Cannot write " + args[1]);
    return 0;
  }

  // ---- tree ----

  // The tree's own lines show how far it is when they go to a terminal; else a counting line
  // on standard error does.
  int Tree(const std::string& networkName) {
    auto network = server_->Networks()->ItemByName(networkName);
    ProgressLine progress(err_, terminals_.err && !terminals_.out);
    const auto database = server_->Database(network->Name());
    // The tree shows the database: the values last stored, not each device asked in turn.
    const LinkSetAside aside(*database);
    const TreeDevices devices{*database, dynamic_cast<const LonIpLink*>(aside.Link())};
    SqlDb& db = database->Db();
    const ReadTransaction snapshot(db);  // the network of one moment, without a lock per query
    int64_t total = 0;
    auto count = db.Prepare("SELECT COUNT(*) FROM device");
    if (count.Step()) total = count.Int(0);
    int64_t done = 0;
    const std::function<void()> deviceDone = [&] { progress.Show(++done, total); };
    out_ << "Network \"" << network->Name() << "\" (class " << network->ClassId() << ")\n";
    auto system = network->Systems()->Item(1);
    out_ << "  System \"" << system->Name() << "\" (class " << system->ClassId() << ")\n";
    PrintSubsystems(system->Subsystems(), 4, devices, deviceDone);
    return 0;
  }

  // The network a tree shows, and its interface's link (set aside while the tree is printed).
  struct TreeDevices {
    NetworkDb& db;
    const LonIpLink* link;
    // A device of an attached network shows where it is; a simulated one whether it answers.
    std::string StateOf(lns::AppDevice& device) const {
      if (link != nullptr) {
        const DeviceAddress address = DeviceAddressOf(db.Db(), RowIdOf(device), link->Domain());
        return address.Commissioned() ? " at " + address.address.Text() + " Neuron ID " + address.neuronId
                                      : " not commissioned";
      }
      try {
        device.Status();
        return "";
      } catch (const base::Error& e) {
        // The device's answer, not the database's: a server that went away fails the tree.
        if (e.Number() == lns::err::kServerUnreachable || e.Number() == lns::err::kDatabase) throw;
        return " NOT REACHABLE";
      }
    }
  };

  void PrintSubsystems(const std::shared_ptr<lns::SubsystemCollection>& subsystems, int indent,
                       const TreeDevices& tree, const std::function<void()>& deviceDone) {
    for (int32_t i = 1; i <= subsystems->Count(); ++i) {
      auto sub = subsystems->Item(i);
      Line(indent) << "Subsystem " << i << " \"" << sub->Name() << "\" (class " << sub->ClassId() << ")\n";
      PrintSubsystems(sub->Subsystems(), indent + 2, tree, deviceDone);
      auto devices = sub->AppDevices();
      for (int32_t d = 1; d <= devices->Count(); ++d) {
        PrintDevice(d, devices->Item(d), indent + 2, tree);
        deviceDone();
      }
    }
  }

  void PrintDevice(int32_t position, const std::shared_ptr<lns::AppDevice>& device, int indent, const TreeDevices& tree) {
    auto templ = device->Template();
    Line(indent) << "AppDevice " << position << " \"" << device->Name() << "\" (class " << device->ClassId()
                 << ") template \"" << templ->Name() << "\" program id " << templ->ProgramId() << tree.StateOf(*device)
                 << "\n";
    auto iface = device->Interface();
    PrintCps(iface->ConfigProperties(), indent + 2);
    auto nvs = iface->NetworkVariables();
    for (int32_t n = 1; n <= nvs->Count(); ++n) PrintNv(n, nvs->Item(n), indent + 2);
    auto objects = iface->LonMarkObjects();
    for (int32_t o = 1; o <= objects->Count(); ++o) {
      auto object = objects->Item(o);
      Line(indent + 2) << "LonMarkObject " << o << " \"" << object->Name() << "\" (class " << object->ClassId()
                       << ") profile " << object->ProfileType() << "\n";
      PrintCps(object->ConfigProperties(), indent + 4);
      auto members = object->NetworkVariables();
      for (int32_t n = 1; n <= members->Count(); ++n) {
        auto nv = members->Item(n);
        Line(indent + 4) << "NV " << n << " \"" << nv->Name() << "\" (device NV " << nv->Index() + 1 << ")\n";
      }
    }
  }

  void PrintNv(int32_t position, const std::shared_ptr<lns::NetworkVariable>& nv, int indent) {
    Line(indent) << "NV " << position << " \"" << nv->Name() << "\" (class " << nv->ClassId() << ") "
                 << nv->NvTypeName() << " = " << nv->Value();
    if (nv->MonitorTag() != 0) out_ << " monitor tag " << nv->MonitorTag();
    out_ << "\n";
    PrintCps(nv->ConfigProperties(), indent + 2);
  }

  void PrintCps(const std::shared_ptr<lns::CpCollection>& cps, int indent) {
    for (int32_t c = 1; c <= cps->Count(); ++c) {
      auto cp = cps->Item(c);
      cp->SetValueFormat("RAW");
      Line(indent) << "CP " << c << " \"" << cp->Name() << "\" (class " << cp->ClassId() << ") "
                   << cp->ElementSize() << "x" << cp->Dimension() << " bytes: "
                   << base::ReplaceAll(cp->Value(), "\t", " ") << "\n";
    }
  }

  std::ostream& Line(int indent) { return out_ << std::string(static_cast<size_t>(indent), ' '); }

  // ---- addressing ----

  Target Resolve(const std::string& path) {
    std::string normalized = base::ReplaceAll(path, "\\", "/");
    const bool isDevice = base::Split(normalized, "/").size() == 3;
    const auto parsed = lns::ObjectNameParser().Parse(isDevice ? normalized + "/-" : normalized);
    if (!parsed.ok) Usage("\"" + path + "\" is not a device or LonMark object path (Network/System.Subsystem/Device[/Object])");
    Target target;
    target.db = server_->Database(parsed.networkName);
    auto level = NetworkObject(target.db)->Systems()->Item(1)->Subsystems();
    std::shared_ptr<lns::Subsystem> sub;
    for (const auto& name : base::Split(parsed.subsystemPath, ".")) {
      sub = level->ItemByName(name);
      level = sub->Subsystems();
    }
    target.device = sub->AppDevices()->ItemByName(parsed.deviceName);
    if (!isDevice) target.object = target.device->Interface()->LonMarkObjects()->ItemByName(parsed.objectName);
    return target;
  }

  static std::shared_ptr<lns::NetworkVariable> FindNv(const Target& target, const std::string& name) {
    return target.object ? target.object->NetworkVariables()->ItemByName(name)
                         : target.device->Interface()->NetworkVariables()->ItemByName(name);
  }

  static std::shared_ptr<lns::ConfigProperty> FindCp(const std::shared_ptr<lns::CpCollection>& cps, const std::string& which) {
    if (!which.empty() && which[0] == '#') return cps->Item(base::CLng(base::Val(which.substr(1))));
    return cps->ItemByName(which);
  }

  // ---- cp / nv ----

  // The CP's value is read and written through the server's value formats: HEX for hex,
  // RAW (tab-separated decimals) for dec and raw.
  int Cp(const std::vector<std::string>& given) {
    if (given.size() == 2 && (given[0] == "upload" || given[0] == "download")) {
      const Target target = Resolve(given[1]);
      if (target.object) Usage("\"" + given[1] + "\" names a LonMark object, not a device");
      LonIpCommands commands(*server_, out_, err_, terminals_.err);
      const ResolvedDevice device{target.db, RowIdOf(*target.device)};
      return given[0] == "upload" ? commands.UploadCps(device) : commands.DownloadCps(device);
    }
    std::string nvName;
    bool fromDevice = false;
    std::string formatName = "dec";
    std::vector<std::string> args;
    for (size_t i = 0; i < given.size(); ++i) {
      if (given[i] == "--from-device") {
        fromDevice = true;
      } else if (given[i] == "--nv" || given[i] == "--format") {
        if (i + 1 == given.size()) Usage(given[i] + " needs a value");
        (given[i] == "--nv" ? nvName : formatName) = given[i + 1];
        ++i;
      } else {
        args.push_back(given[i]);
      }
    }
    const bool get = args.size() == 3 && args[0] == "get";
    const bool set = args.size() == 4 && args[0] == "set" && !fromDevice;
    if (!get && !set) {
      Usage("expected: portab-lns cp get|set <path> <cp> [<bytes>] [--nv <nv>] [--format dec|hex|raw] [--from-device] | "
            "cp upload|download <device path>");
    }
    const ByteFormat format = ByteFormatOf(formatName);
    const std::vector<uint8_t> bytes = set ? ParseBytes(args[3], format) : std::vector<uint8_t>{};
    const Target target = Resolve(args[1]);
    std::shared_ptr<lns::CpCollection> cps;
    if (!nvName.empty()) {
      cps = FindNv(target, nvName)->ConfigProperties();
    } else {
      cps = target.object ? target.object->ConfigProperties() : target.device->Interface()->ConfigProperties();
    }
    auto cp = FindCp(cps, args[2]);
    cp->SetValueFormat(format == ByteFormat::Hex ? "HEX" : "RAW");
    if (set) {
      const auto size = static_cast<size_t>(cp->ElementSize()) * static_cast<size_t>(cp->Dimension());
      if (bytes.size() != size) {
        Usage("CP \"" + cp->Name() + "\" holds " + std::to_string(size) + " bytes, " + std::to_string(bytes.size()) +
              " given");
      }
      cp->SetValue(format == ByteFormat::Hex ? FormatHex(bytes) : FormatRaw(bytes));
    }
    // As the device holds it: the database's value is not changed by looking.
    const std::string value = fromDevice ? (format == ByteFormat::Hex ? FormatHex(target.db->CpOnDevice(RowIdOf(*cp)))
                                                                       : FormatRaw(target.db->CpOnDevice(RowIdOf(*cp))))
                                         : cp->Value();
    out_ << (format == ByteFormat::Dec ? base::ReplaceAll(value, "\t", " ") : value) << "\n";
    return 0;
  }

  int Nv(const std::vector<std::string>& args) {
    const bool get = args.size() == 3 && args[0] == "get";
    const bool set = args.size() == 4 && args[0] == "set";
    if (!get && !set) Usage("expected: portab-lns nv get|set <path> <nv> [<value>]");
    auto nv = FindNv(Resolve(args[1]), args[2]);
    if (set) nv->SetValue(args[3]);
    out_ << nv->Value() << "\n";
    return 0;
  }

  int Device(const std::vector<std::string>& args) {
    const std::string form =
        "expected: portab-lns device add <subsystem path> <device.json> | device add <subsystem path> <name> "
        "--from-device <Neuron ID> | device add <subsystem path> <name> --template <program ID> | "
        "device interface <device path> [--json]";
    if (!args.empty() && args[0] == "interface") {
      if (args.size() < 2 || args.size() > 3 || (args.size() == 3 && args[2] != "--json")) Usage(form);
      const Target target = Resolve(args[1]);
      if (target.object) Usage("\"" + args[1] + "\" names a LonMark object, not a device");
      return LonIpCommands(*server_, out_, err_, terminals_.err)
          .PrintInterface(ResolvedDevice{target.db, RowIdOf(*target.device)}, args.size() == 3);
    }
    const bool fromDevice = args.size() == 5 && args[0] == "add" && args[3] == "--from-device";
    const bool fromTemplate = args.size() == 5 && args[0] == "add" && args[3] == "--template";
    if (!fromDevice && !fromTemplate && (args.size() != 3 || args[0] != "add")) Usage(form);
    const std::string path = base::ReplaceAll(args[1], "\\", "/");
    const auto parts = base::Split(path, "/");
    if (parts.size() != 2 || parts[1].find('.') == std::string::npos) {
      Usage("\"" + args[1] + "\" is not a subsystem path (Network/System.Subsystem[.Subsystem...])");
    }
    auto db = server_->Database(parts[0]);
    std::string text;
    if (fromDevice) {
      text = LonIpCommands(*server_, out_, err_, terminals_.err).EntryFromDevice(db, args[2], args[4]);
    } else if (fromTemplate) {
      const auto programId = ProgramIdOf(args[4]);
      if (!programId) Usage("\"" + args[4] + "\" is not a program ID (16 hexadecimal digits, as 9F:FF:FF:08:1C:0A:04:01)");
      auto entry = DeviceEntryOfTemplate(TemplateOf(db->Db(), *programId), args[2]);
      TakeNetworkNames(db->Db(), entry);
      text = entry.dump();
    } else {
      text = ReadWholeFile(args[2]);
    }
    auto level = NetworkObject(db)->Systems()->Item(1)->Subsystems();
    std::shared_ptr<lns::Subsystem> sub;
    const auto names = base::Split(parts[1], ".");
    for (size_t i = 1; i < names.size(); ++i) {
      sub = level->ItemByName(names[i]);
      level = sub->Subsystems();
    }
    const std::string name = AddDevice(db->Db(), RowIdOf(*sub), text);
    out_ << "added device \"" << name << "\" to " << path;
    if (fromTemplate) out_ << " from the template of " << *ProgramIdOf(args[4]);
    if (fromDevice) out_ << " from the device of Neuron ID " << base::ToUpperAscii(args[4]) << " (portab-lns commission gives it its address)";
    out_ << "\n";
    return 0;
  }

  int Reachable(const std::vector<std::string>& args) {
    if (args.size() != 2 || (args[1] != "yes" && args[1] != "no")) {
      Usage("expected: portab-lns reachable <device path> yes|no");
    }
    const Target target = Resolve(args[0]);
    if (target.object) Usage("\"" + args[0] + "\" names a LonMark object, not a device");
    if (target.db->Link() != nullptr) {
      throw base::Error(lns::err::kBadValue, "portab-lns",
                        "The state of \"" + target.device->Name() + "\" now comes from the device itself: the network is attached to " +
                            target.db->Link()->InterfaceName() + " (portab-lns status shows it)");
    }
    target.db->SetDeviceReachable(RowIdOf(*target.device), args[1] == "yes");
    out_ << target.device->Name() << (args[1] == "yes" ? " is reachable\n" : " is not reachable\n");
    return 0;
  }

  int Monitor(const std::string& networkName) {
    auto db = server_->Database(networkName);
    // The monitoring every client starts with (a client's own stays in that client).
    std::vector<std::pair<int32_t, int64_t>> ids;  // tag, NV id
    for (const auto& [id, settings] : db->MonitoredNvs()) ids.emplace_back(settings.tag, id);
    std::sort(ids.begin(), ids.end());
    if (ids.empty()) out_ << "no NV is monitored\n";
    for (const auto& [tag, id] : ids) {
      auto nv = NvObject(db, id);
      out_ << "tag " << nv->MonitorTag() << ": " << nv->Name() << " = " << nv->Value() << "\n";
    }
    return 0;
  }

  int Registrations(const std::string& networkName) {
    const auto registrations = server_->Networks()->ItemByName(networkName)->PlugInRegistrations();
    if (registrations.empty()) out_ << "no plug-in is registered\n";
    for (const auto& r : registrations) {
      out_ << r.programId << " command " << r.commandId << " class " << r.classId << " \"" << r.name << "\" (\""
           << r.description << "\") version " << r.version << " manufacturer " << r.manufacturerId << " program id "
           << r.deviceProgramId << " file " << r.fileName << " template \"" << r.deviceTemplate << "\" scope "
           << r.scope << "\n";
    }
    return 0;
  }

  static base::Variant ValueOf(const std::string& text) {
    if (text == "true") return true;
    if (text == "false") return false;
    if (!text.empty() && text.find_first_not_of("-0123456789") == std::string::npos && text != "-") {
      return static_cast<int64_t>(std::stoll(text));
    }
    return text;
  }

  static std::pair<std::string, std::string> NameAndValue(const std::string& text) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) Usage("expected <name>=<value>, got \"" + text + "\"");
    return {text.substr(0, eq), text.substr(eq + 1)};
  }

  // The result object an LNS tool hands to command 50.
  class RegResultObject final : public base::DispatchTable {
   public:
    RegResultObject() : base::DispatchTable("portab-lns") {
      AddProperty("RegResult", [this] { return value; }, [this](const base::Variant& v) { value = v; });
    }
    base::Variant value;
  };

  int PlugIn(const std::vector<std::string>& args) {
    if (args.empty()) Usage("expected: portab-lns plugin <programmatic id> [steps]");
    registry::FileRegistry registry(home_ / "registry.reg");
    auto object = automation::CreateObject(registry, args[0], automation::LnsResolverFor(server_));
    std::shared_ptr<RegResultObject> regResult;
    for (size_t i = 1; i < args.size(); ++i) {
      const std::string& step = args[i];
      const bool hasValue = i + 1 < args.size();
      if (step == "--set" && hasValue) {
        const auto [name, value] = NameAndValue(args[++i]);
        object->Put(name, ValueOf(value));
      } else if (step == "--lns" && hasValue) {
        const auto [name, path] = NameAndValue(args[++i]);
        const lns::ObjectPtr lnsObject = lns::ResolveObjectName(*server_, path);
        if (!lnsObject) Usage("no LNS object \"" + path + "\"");
        object->Put(name, base::DispatchPtr(std::make_shared<lns::LnsObjectDispatch>(lnsObject, path)));
      } else if (step == "--regresult") {
        regResult = std::make_shared<RegResultObject>();
        object->Put("RegResult", base::DispatchPtr(regResult));
      } else if (step == "--send" && i + 3 < args.size()) {
        std::vector<base::Variant> call{ValueOf(args[i + 1]), ValueOf(args[i + 2]), base::Variant(args[i + 3])};
        i += 3;
        object->Invoke("SendCommand", call);
        out_ << "SendCommand done\n";
      } else if (step == "--get" && hasValue) {
        const std::string& name = args[++i];
        out_ << name << " = " << object->Get(name).ToString() << "\n";
      } else {
        Usage("unknown or incomplete step \"" + step + "\"");
      }
    }
    object.reset();  // releases the plug-in; it ends unless its run goes on
    if (regResult) {
      out_ << "RegResult = " << (regResult->value.IsEmpty() ? std::string("(not set)") : regResult->value.ToString())
           << "\n";
    }
    return 0;
  }

  // ---- copy / server ----

  int Copy(const std::vector<std::string>& args) {
    const bool replace = args.size() == 4 && args[3] == "--replace";
    if ((args.size() != 3 && !replace) || (args[1] != "--to" && args[1] != "--from") || args[2].empty()) {
      Usage("expected: portab-lns copy <network> --to <URI> | --from <URI> [--replace]");
    }
    if (explicitServer_) Usage("copy names its server itself (--to or --from), not with --server");
    const std::string& name = args[0];
    ProgressLine progress(err_, terminals_.err);
    const auto show = [&](int64_t done, int64_t total) { progress.Show(done, total); };
    auto server = ConnectToServer(args[2]);
    if (args[1] == "--to") {
      const auto file = DatabaseFile(server_->Folder(), name);
      if (!std::filesystem::exists(file)) {
        throw base::Error(lns::err::kNotFound, "portab-lns", "There is no network database " + file.string());
      }
      const std::string network = CopyNetworkToServer(*NetworkDb::Open(file, {}), *server, replace, show);
      progress.End();
      out_ << "copied network \"" << network << "\" from " << file.string() << " to " << server->Name() << "\n";
      return 0;
    }
    const std::string where = server->Name();
    UseNetworkOnServer(*server, name);
    const std::string network = CopyNetworkToFolder(*NetworkDb::Open(std::move(server), {}), server_->Folder(), replace, show);
    progress.End();
    out_ << "copied network \"" << network << "\" from " << where << " to "
         << DatabaseFile(server_->Folder(), network).string() << "\n";
    return 0;
  }

  // The server entry that portab and the profile plug-ins open a network by.
  int Server(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) Usage("expected: portab-lns server <network> [<URI> | none]");
    if (explicitServer_) Usage("server keeps an entry of the local networks, not with --server");
    const std::string& name = args[0];
    const std::filesystem::path& folder = server_->Folder();
    if (args.size() == 2 && args[1] == "none") {
      SetServerEntry(folder, name, "");
    } else if (args.size() == 2) {
      if (args[1].find("://") == std::string::npos) {
        Usage("\"" + args[1] + "\" is not a connection URI (postgresql://user@host:port/db) or none");
      }
      auto server = ConnectToServer(args[1]);
      if (!NetworkExistsOnServer(*server, name)) {
        throw base::Error(lns::err::kNotFound, "portab-lns",
                          "The network \"" + name + "\" does not exist on " + server->Name() +
                              " (portab-lns copy " + name + " --to <URI> copies it there)");
      }
      SetServerEntry(folder, name, args[1]);
    }
    const std::string uri = ServerEntry(folder, name);
    if (!uri.empty()) {
      out_ << name << ": on the server " << WithoutPassword(uri) << "\n";
    } else if (std::filesystem::exists(DatabaseFile(folder, name))) {
      out_ << name << ": the file " << DatabaseFile(folder, name).string() << "\n";
    } else {
      out_ << name << ": no network of that name in " << folder.string() << "\n";
    }
    if (!ServerFromEnvironment().empty()) {
      out_ << "(PORTAB_SERVER is set: portab, the profile plug-ins and portab-lns open every network on "
           << WithoutPassword(ServerFromEnvironment()) << ")\n";
    }
    return 0;
  }

  // A URI as shown: a password in it (user:password@ or password=) becomes "***".
  static std::string WithoutPassword(std::string uri) {
    const size_t scheme = uri.find("://");
    const size_t at = uri.find('@');
    if (scheme != std::string::npos && at != std::string::npos && at > scheme) {
      const size_t colon = uri.find(':', scheme + 3);
      if (colon != std::string::npos && colon < at) uri.replace(colon + 1, at - colon - 1, "***");
    }
    for (size_t key = uri.find("password="); key != std::string::npos; key = uri.find("password=", key + 1)) {
      const size_t end = uri.find_first_of("& ", key);
      uri.replace(key + 9, (end == std::string::npos ? uri.size() : end) - key - 9, "***");
    }
    return uri;
  }

  // ---- registry ----

  int Registry(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "export") Usage("expected: portab-lns registry export <file>");
    const registry::FileRegistry store(home_ / "registry.reg");
    store.Export(args[1]);
    out_ << "exported the registry store " << store.File().string() << " to " << args[1] << "\n";
    return 0;
  }

  std::filesystem::path home_;
  bool explicitServer_;
  std::shared_ptr<EmbeddedObjectServer> server_;
  std::ostream& out_;
  std::ostream& err_;
  ToolTerminals terminals_;
  std::optional<std::string> serverBefore_;  // PORTAB_SERVER as it was before the tool set it
};

}  // namespace

int RunLnsTool(const std::vector<std::string>& args, const std::filesystem::path& home, std::ostream& out,
               std::ostream& err, ToolTerminals terminals) {
  // Answered before the server opens its folder: these only print.
  switch (base::StandardOptionOf(args.size() == 1 ? args[0] : std::string())) {
    case base::StandardOption::Help: out << kUsage << kCommands; return 0;
    case base::StandardOption::Version: out << base::VersionLine("portab-lns"); return 0;
    case base::StandardOption::None: break;
  }
  try {
    // --server URI before the command: the networks on that database server.
    std::vector<std::string> command = args;
    std::string serverUri;
    if (!command.empty() && command[0] == "--server") {
      if (command.size() < 2 || command[1].empty() || command[1].find("://") == std::string::npos) {
        Usage("--server needs a connection URI (postgresql://user@host:port/db) before the command");
      }
      serverUri = command[1];
      command.erase(command.begin(), command.begin() + 2);
    }
    return Tool(home, serverUri, out, err, terminals).Run(command);
  } catch (const ToolUsageError& usage) {
    err << "portab-lns: " << usage.what() << "\n" << kUsage;
    return 2;
  } catch (const base::Error& e) {
    err << "portab-lns: error " << base::ErrorNumberText(e.Number()) << " (" << e.Source() << "): " << e.Description()
        << "\n";
    return 1;
  } catch (const std::exception& e) {
    err << "portab-lns: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace platform::lns_embedded
