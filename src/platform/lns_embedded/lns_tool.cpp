#include "platform/lns_embedded/lns_tool.h"

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "base/error.h"
#include "base/text.h"
#include "lns/lns_errors.h"
#include "lns/object_name_parser.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/nv_types.h"

namespace platform::lns_embedded {
namespace {

constexpr const char* kUsage =
    "usage: portab-lns networks\n"
    "       portab-lns create <description.json> [--replace]\n"
    "       portab-lns export <network> [<file.json>]\n"
    "       portab-lns tree <network>\n"
    "       portab-lns cp get <path> <cp> [--nv <nv>]\n"
    "       portab-lns cp set <path> <cp> <bytes> [--nv <nv>]\n"
    "       portab-lns nv get <path> <nv>\n"
    "       portab-lns nv set <path> <nv> <value>\n"
    "       portab-lns reachable <device path> yes|no\n"
    "       portab-lns monitor <network>\n";

struct UsageError {
  std::string what;
};

[[noreturn]] void Usage(const std::string& what) { throw UsageError{what}; }

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
  Tool(const std::filesystem::path& folder, std::ostream& out) : server_(std::make_shared<EmbeddedObjectServer>(folder)), out_(out) {
    server_->Open(0);
  }

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
    if (command == "monitor") return Monitor(One(rest, "monitor <network>"));
    Usage("unknown command \"" + command + "\"");
  }

 private:
  static const std::string& One(const std::vector<std::string>& args, const std::string& form) {
    if (args.size() != 1) Usage("expected: portab-lns " + form);
    return args[0];
  }

  int Networks() {
    auto networks = server_->Networks();
    for (int32_t i = 1; i <= networks->Count(); ++i) out_ << networks->Item(i)->Name() << "\n";
    return 0;
  }

  int Create(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2 || (args.size() == 2 && args[1] != "--replace")) {
      Usage("expected: portab-lns create <description.json> [--replace]");
    }
    const std::string name = CreateNetwork(server_->Folder(), ReadWholeFile(args[0]), args.size() == 2);
    out_ << "created network \"" << name << "\" in " << DatabaseFile(server_->Folder(), name).string() << "\n";
    return 0;
  }

  int Export(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) Usage("expected: portab-lns export <network> [<file.json>]");
    const std::string text = ExportNetwork(DatabaseFile(server_->Folder(), args[0]));
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

  int Tree(const std::string& networkName) {
    auto network = server_->Networks()->ItemByName(networkName);
    out_ << "Network \"" << network->Name() << "\" (class " << network->ClassId() << ")\n";
    auto system = network->Systems()->Item(1);
    out_ << "  System \"" << system->Name() << "\" (class " << system->ClassId() << ")\n";
    PrintSubsystems(system->Subsystems(), 4);
    return 0;
  }

  void PrintSubsystems(const std::shared_ptr<lns::SubsystemCollection>& subsystems, int indent) {
    for (int32_t i = 1; i <= subsystems->Count(); ++i) {
      auto sub = subsystems->Item(i);
      Line(indent) << "Subsystem " << i << " \"" << sub->Name() << "\" (class " << sub->ClassId() << ")\n";
      PrintSubsystems(sub->Subsystems(), indent + 2);
      auto devices = sub->AppDevices();
      for (int32_t d = 1; d <= devices->Count(); ++d) PrintDevice(d, devices->Item(d), indent + 2);
    }
  }

  void PrintDevice(int32_t position, const std::shared_ptr<lns::AppDevice>& device, int indent) {
    auto templ = device->Template();
    bool reachable = true;
    try {
      device->Status();
    } catch (const base::Error&) {
      reachable = false;
    }
    Line(indent) << "AppDevice " << position << " \"" << device->Name() << "\" (class " << device->ClassId()
                 << ") template \"" << templ->Name() << "\" program id " << templ->ProgramId()
                 << (reachable ? "" : " NOT REACHABLE") << "\n";
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

  int Cp(std::vector<std::string> args) {
    std::string nvName;
    for (size_t i = 0; i + 1 < args.size(); ++i) {
      if (args[i] == "--nv") {
        nvName = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + 2));
        break;
      }
    }
    const bool get = args.size() == 3 && args[0] == "get";
    const bool set = args.size() == 4 && args[0] == "set";
    if (!get && !set) Usage("expected: portab-lns cp get|set <path> <cp> [<bytes>] [--nv <nv>]");
    const Target target = Resolve(args[1]);
    std::shared_ptr<lns::CpCollection> cps;
    if (!nvName.empty()) {
      cps = FindNv(target, nvName)->ConfigProperties();
    } else {
      cps = target.object ? target.object->ConfigProperties() : target.device->Interface()->ConfigProperties();
    }
    auto cp = FindCp(cps, args[2]);
    cp->SetValueFormat("RAW");
    if (set) {
      std::string raw = args[3];
      for (char& c : raw) {
        if (c == ',' || c == ' ') c = '\t';
      }
      std::vector<std::string> fields;
      for (auto& f : base::Split(raw, "\t")) {
        if (!f.empty()) fields.push_back(std::move(f));
      }
      std::string joined;
      for (size_t i = 0; i < fields.size(); ++i) joined += (i > 0 ? "\t" : "") + fields[i];
      cp->SetValue(joined);
    }
    out_ << base::ReplaceAll(cp->Value(), "\t", " ") << "\n";
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

  int Reachable(const std::vector<std::string>& args) {
    if (args.size() != 2 || (args[1] != "yes" && args[1] != "no")) {
      Usage("expected: portab-lns reachable <device path> yes|no");
    }
    const Target target = Resolve(args[0]);
    if (target.object) Usage("\"" + args[0] + "\" names a LonMark object, not a device");
    target.db->SetDeviceReachable(RowIdOf(*target.device), args[1] == "yes");
    out_ << target.device->Name() << (args[1] == "yes" ? " is reachable\n" : " is not reachable\n");
    return 0;
  }

  int Monitor(const std::string& networkName) {
    auto db = server_->Database(networkName);
    auto rows = db->Db().Prepare("SELECT id FROM nv WHERE monitor_tag <> 0 ORDER BY monitor_tag");
    std::vector<int64_t> ids;
    while (rows.Step()) ids.push_back(rows.Int(0));
    if (ids.empty()) out_ << "no NV is monitored\n";
    for (int64_t id : ids) {
      auto nv = NvObject(db, id);
      out_ << "tag " << nv->MonitorTag() << ": " << nv->Name() << " = " << nv->Value() << "\n";
    }
    return 0;
  }

  std::shared_ptr<EmbeddedObjectServer> server_;
  std::ostream& out_;
};

}  // namespace

int RunLnsTool(const std::vector<std::string>& args, const std::filesystem::path& lnsFolder, std::ostream& out,
               std::ostream& err) {
  try {
    return Tool(lnsFolder, out).Run(args);
  } catch (const UsageError& usage) {
    err << "portab-lns: " << usage.what << "\n" << kUsage;
    return 2;
  } catch (const base::Error& e) {
    err << "portab-lns: " << e.Description() << "\n";
    return 1;
  } catch (const std::exception& e) {
    err << "portab-lns: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace platform::lns_embedded
