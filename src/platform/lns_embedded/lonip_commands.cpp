#include "platform/lns_embedded/lonip_commands.h"

#include <charconv>
#include <map>
#include <set>

#include "base/error.h"
#include "base/text.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/device_entry.h"
#include "platform/lns_embedded/lonip_link.h"
#include "platform/device_interface/interface_compare.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/template_store.h"
#include "platform/lonip/interface_reader.h"
#include "platform/lonip/device_requests.h"
#include "platform/lonip/lonip_error.h"
#include "platform/registry/file_registry.h"

namespace platform::lns_embedded {

namespace {

[[noreturn]] void Usage(const std::string& what) { throw ToolUsageError(what); }

int64_t WholeNumber(const std::string& text, const std::string& option, int64_t low, int64_t high) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    Usage(option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high));
  }
  return value;
}

// The options of a command after its fixed arguments: "--name value" pairs.
std::map<std::string, std::string> Options(const std::vector<std::string>& args, size_t from,
                                           const std::set<std::string>& known, const std::string& form) {
  std::map<std::string, std::string> options;
  for (size_t i = from; i < args.size(); i += 2) {
    if (!known.contains(args[i]) || i + 1 == args.size()) Usage("expected: portab-lns " + form);
    options[args[i]] = args[i + 1];
  }
  return options;
}

[[noreturn]] void NoInterface(const std::string& network) {
  throw base::Error(lns::err::kDeviceNotAccessible, "portab-lns",
                    "The network \"" + network + "\" has no LON/IP interface attached (portab-lns attach " + network +
                        " <interface>); its devices are simulated");
}

LonIpLink& LinkOf(const ResolvedDevice& device) {
  auto* link = dynamic_cast<LonIpLink*>(device.db->Link());
  if (link == nullptr) NoInterface(device.db->NetworkName());
  return *link;
}

std::string Join(const std::vector<std::string>& items, const std::string& separator) {
  std::string joined;
  for (const auto& item : items) joined += (joined.empty() ? "" : separator) + item;
  return joined;
}

std::string InterfaceLine(const lonip::InterfaceSettings& settings) {
  return settings.name + " " + settings.AddressText() + ", " + std::to_string(settings.timeout.count()) + " ms a try, " +
         std::to_string(settings.retries) + " retries" + (settings.enhanced ? ", enhanced" : "");
}

// The device found must run the program the network's device has: another program has other NVs.
void CheckProgramId(lonip::LonChannel& channel, const lonip::LonTarget& byId, SqlDb& db, int64_t deviceId,
                    const std::string& name) {
  std::string expected;
  {
    auto row = db.Prepare("SELECT program_id FROM device WHERE id = ?1").Bind(1, deviceId);
    expected = row.Step() ? row.Text(0) : std::string();
  }
  std::erase(expected, ':');
  if (!lonip::ParseProgramId(expected)) return;  // the network does not say which program
  const auto actual = lonip::HexText(lonip::ReadProgramId(channel, byId));
  if (!base::EqualsNoCase(actual, expected)) {
    throw base::Error(lns::err::kBadValue, "portab-lns",
                      "The device of " + lonip::HexText(byId.neuronId) + " runs the program " + actual + ", the network's \"" +
                          name + "\" the program " + base::ToUpperAscii(expected) + ": not commissioned");
  }
}

LonIpLink& LinkOfNetwork(NetworkDb& network) {
  auto* link = dynamic_cast<LonIpLink*>(network.Link());
  if (link == nullptr) NoInterface(network.NetworkName());
  return *link;
}

// A device of the network that runs the program: its entry is the template's shape.
std::optional<int64_t> TemplateDevice(SqlDb& db, const std::string& programIdHex) {
  auto rows = db.Prepare("SELECT id, program_id FROM device ORDER BY id");
  while (rows.Step()) {
    std::string id = rows.Text(1);
    std::erase(id, ':');
    if (base::EqualsNoCase(id, programIdHex)) return rows.Int(0);
  }
  return std::nullopt;
}

std::string BytesText(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (const uint8_t b : bytes) text += (text.empty() ? "" : " ") + std::to_string(b);
  return text;
}

std::string DifferenceLine(const NetworkDb::CpDifference& difference) {
  return "  " + difference.what + ": the database " + BytesText(difference.database) + ", the device " +
         BytesText(difference.device) + "\n";
}

std::string UploadedLine(const NetworkDb::CpDifference& difference) {
  return "  " + difference.what + ": " + BytesText(difference.device) + " (the database held " + BytesText(difference.database) + ")\n";
}

std::string WrittenLine(const NetworkDb::CpDifference& difference) {
  return "  " + difference.what + ": " + BytesText(difference.database) + " (the device held " + BytesText(difference.device) + ")\n";
}

}  // namespace

bool LonIpCommands::HoldsCps(const ResolvedDevice& resolved) {
  LinkOf(resolved);
  if (resolved.db->HoldsAnyCp(resolved.deviceId)) return true;
  out_ << resolved.db->DeviceName(resolved.deviceId)
       << ": the network places none of its CPs on the device (they are kept in the database only)\n";
  return false;
}

int LonIpCommands::UploadCps(const ResolvedDevice& resolved) {
  const auto name = resolved.db->DeviceName(resolved.deviceId);
  if (!HoldsCps(resolved)) return 0;
  const auto differing = resolved.db->UploadCps(resolved.deviceId);
  if (differing.empty()) {
    out_ << name << ": every CP the device holds has the database's value\n";
    return 0;
  }
  out_ << name << ": " << differing.size() << " CP(s) differed; the database now holds the device's values:\n";
  for (const auto& difference : differing) out_ << UploadedLine(difference);
  return 0;
}

int LonIpCommands::DownloadCps(const ResolvedDevice& resolved) {
  const auto name = resolved.db->DeviceName(resolved.deviceId);
  if (!HoldsCps(resolved)) return 0;
  const auto differing = resolved.db->DownloadCps(resolved.deviceId);
  size_t written = 0;
  for (const auto& difference : differing) written += difference.writable ? 1 : 0;
  out_ << name << ": " << written << " CP(s) written to the device" << (written > 0 ? ":" : "") << "\n";
  for (const auto& difference : differing) {
    if (difference.writable) out_ << WrittenLine(difference);
  }
  if (written < differing.size()) out_ << "not written (constants of the device, the maker's or of its read-only file):\n";
  for (const auto& difference : differing) {
    if (!difference.writable) out_ << DifferenceLine(difference);
  }
  return 0;
}

void LonIpCommands::SayDifferingCps(const ResolvedDevice& resolved, const std::string& path) {
  try {
    const auto differing = resolved.db->DifferingCps(resolved.deviceId);
    if (differing.empty()) return;
    out_ << "CPs that differ between the device and the database (portab-lns cp upload \"" << path
         << "\" takes the device's, cp download writes the database's):\n";
    for (const auto& difference : differing) out_ << DifferenceLine(difference);
  } catch (const base::Error& error) {
    err_ << "portab-lns: the device's CPs were not compared with the database: " << error.Description() << std::endl;
  }
}

int LonIpCommands::PrintInterface(const ResolvedDevice& resolved, bool json) {
  LonIpLink& link = LinkOf(resolved);
  const DeviceAddress device = link.AddressOf(resolved.deviceId);
  device_interface::DeviceInterface read;
  link.WithDevice(device, "reading its interface", [&](lonip::LonIpChannel& channel, const lonip::LonTarget& target) {
    read = lonip::ReadDeviceInterface(channel, target);
  });
  // Held against the network's own entry of the device: the same shape gives the JSON its names.
  const std::string where = device.Text() + " on " + link.InterfaceName();
  nlohmann::ordered_json entry;
  std::string unfit;  // why the interface makes no entry of a network description
  try {
    entry = DeviceEntryOf(read, device.name, "");
  } catch (const base::Error& error) {
    if (json) throw base::Error(error.Number(), "portab-lns", where + ": " + error.Description());
    unfit = error.Description();
  }
  std::vector<std::string> differences;
  if (unfit.empty() && read.cpProblem.empty()) {
    const auto own = nlohmann::ordered_json::parse(ExportDeviceEntry(resolved.db->Db(), resolved.deviceId));
    differences = ShapeDifferences(own, entry);
    if (differences.empty()) {
      TakeTemplateNames(own, entry);
      entry["template"] = own["template"];
    }
  }
  if (json) {
    out_ << entry.dump(2) << "\n";
  } else {
    out_ << where << "\n" << device_interface::InterfaceText(read);
    if (!unfit.empty()) out_ << "It makes no device of a network description: " << unfit << "\n";
    if (!read.cpProblem.empty()) out_ << "Not held against the network's device: its CPs in files were not read.\n";
    if (unfit.empty() && read.cpProblem.empty() && differences.empty()) {
      out_ << "The network's device \"" << device.name << "\" has this shape.\n";
    }
    if (!differences.empty()) out_ << "The network's device \"" << device.name << "\" differs:\n";
    for (const auto& line : differences) out_ << "  " << line << "\n";
  }
  if (!read.cpProblem.empty()) {
    err_ << "portab-lns: " << where << ": its CPs in files were not read: " << read.cpProblem << std::endl;
  }
  return read.cpProblem.empty() && unfit.empty() && differences.empty() ? 0 : 1;
}

std::string LonIpCommands::EntryFromDevice(const std::shared_ptr<NetworkDb>& network, const std::string& name,
                                           const std::string& neuronIdText) {
  const auto neuronId = lonip::ParseNeuronId(neuronIdText);
  if (!neuronId) Usage("\"" + neuronIdText + "\" is not a Neuron ID (12 hexadecimal digits)");
  LonIpLink& link = LinkOfNetwork(*network);
  const std::string who = "Neuron ID " + lonip::HexText(*neuronId);
  device_interface::DeviceInterface read;
  link.WithChannel(who, [&](lonip::LonIpChannel& channel) {
    read = lonip::ReadDeviceInterface(channel, lonip::LonTarget::ByNeuronId(*neuronId));
  });
  if (!read.cpProblem.empty()) {
    throw base::Error(lns::err::kBadValue, "portab-lns",
                      "The device of " + who + " on " + link.InterfaceName() + " was not added: its CPs in files could not be read: " +
                          read.cpProblem);
  }
  const auto templ = TemplateDevice(network->Db(), read.programId);
  nlohmann::ordered_json entry;
  try {
    entry = DeviceEntryOf(read, name, "");
  } catch (const base::Error& error) {
    throw base::Error(error.Number(), "portab-lns",
                      "The device of " + who + " on " + link.InterfaceName() + " was not added: " + error.Description());
  }
  if (templ) {
    const auto shape = nlohmann::ordered_json::parse(ExportDeviceEntry(network->Db(), *templ));
    const auto differences = ShapeDifferences(shape, entry);
    if (!differences.empty()) {
      std::string list;
      for (const auto& line : differences) list += "\n  " + line;
      throw base::Error(lns::err::kBadValue, "portab-lns",
                        "The device of " + who + " runs the program " + read.programId + ", whose template \"" +
                            shape["template"].get<std::string>() + "\" (the device \"" + shape["name"].get<std::string>() +
                            "\") has another shape; not added:" + list);
    }
    TakeTemplateNames(shape, entry);
    entry["template"] = shape["template"];
  }
  return entry.dump();
}

bool LonIpCommands::Handles(const std::string& command) {
  static const std::set<std::string> commands{"interface", "attach", "discover", "commission", "status", "wink"};
  return commands.contains(command);
}

int LonIpCommands::Run(const std::string& command, const std::vector<std::string>& args, const DeviceResolver& resolve) {
  if (command == "interface") return Interface(args);
  if (command == "attach") return Attach(args);
  if (command == "discover") return Discover(args);
  if (command == "commission") {
    const bool accept = args.size() == 3 && args[2] == "--accept-interface";
    if (args.size() != 2 && !accept) Usage("expected: portab-lns commission <device path> <Neuron ID> [--accept-interface]");
    const ResolvedDevice device = resolve(args[0]);
    const int status = Commission(device, args[1], accept);
    // Nothing is overwritten in either direction: the engineer chooses.
    SayDifferingCps(device, args[0]);
    return status;
  }
  if (args.size() != 1) Usage("expected: portab-lns " + command + " <device path>");
  return command == "status" ? Status(resolve(args[0])) : Wink(resolve(args[0]));
}

int LonIpCommands::Interface(const std::vector<std::string>& args) {
  lonip::InterfaceStore& interfaces = interfaces_;
  const std::string verb = args.empty() ? "" : args[0];
  if (verb == "list" && args.size() == 1) {
    std::vector<std::string> damaged;
    const auto list = interfaces.List(&damaged);
    for (const auto& line : damaged) out_ << line << " (a damaged entry of the registry store)\n";
    if (list.empty() && damaged.empty()) out_ << "no interface (portab-lns interface add <name> lonip:<IPv4> adds one)\n";
    for (const auto& settings : list) {
      out_ << InterfaceLine(settings);
      const auto networks = interfaces.NetworksAttachedTo(settings.name);
      if (!networks.empty()) out_ << "; attached to " << Join(networks, ", ");
      out_ << "\n";
    }
    return 0;
  }
  if (verb == "remove" && args.size() == 2) {
    const auto networks = interfaces.NetworksAttachedTo(args[1]);
    if (!interfaces.Remove(args[1])) {
      throw base::Error(lns::err::kNotFound, "portab-lns", "There is no interface \"" + args[1] + "\"");
    }
    out_ << "removed interface " << args[1];
    if (!networks.empty()) out_ << "; detached " << Join(networks, ", ");
    out_ << "\n";
    return 0;
  }
  const std::string form = "interface add <name> lonip:<IPv4> [--timeout <ms>] [--retries <n>] [--enhanced yes|no]";
  if (verb != "add" || args.size() < 3) Usage("expected: portab-lns interface add|list|remove ...");
  const auto address = lonip::ParseInterfaceAddress(args[2]);
  if (!address) {
    Usage("\"" + args[2] + "\" is not an interface address: lonip:<IPv4>, as lonip:127.1.1.127, whose third number is "
          "the tool's subnet (1-255) and fourth its node (1-127)");
  }
  if (interfaces.Find(args[1])) {
    throw base::Error(lns::err::kBadValue, "portab-lns", "The interface \"" + args[1] + "\" exists already (remove it first)");
  }
  lonip::InterfaceSettings settings{args[1], *address};
  const auto options = Options(args, 3, {"--timeout", "--retries", "--enhanced"}, form);
  if (options.contains("--timeout")) settings.timeout = std::chrono::milliseconds(WholeNumber(options.at("--timeout"), "--timeout", 1, 60000));
  if (options.contains("--retries")) settings.retries = static_cast<int>(WholeNumber(options.at("--retries"), "--retries", 0, 20));
  if (options.contains("--enhanced")) {
    const std::string& enhanced = options.at("--enhanced");
    if (enhanced != "yes" && enhanced != "no") Usage("--enhanced takes yes or no");
    settings.enhanced = enhanced == "yes";
  }
  interfaces.Put(settings);
  out_ << "added interface " << InterfaceLine(settings) << " (domain "
       << lonip::LonAddressOfIp(settings.address).Text() << ")\n";
  return 0;
}

int LonIpCommands::Attach(const std::vector<std::string>& args) {
  if (args.size() != 2) Usage("expected: portab-lns attach <network> <interface> | none");
  // The network must exist; it is not opened (its attached interface may be the trouble).
  const auto network = NetworkNamed(args[0]);
  if (!network) throw base::Error(lns::err::kNotFound, "portab-lns", "There is no network \"" + args[0] + "\"");
  lonip::InterfaceStore& interfaces = interfaces_;
  if (args[1] == "none") {
    interfaces.Attach(*network, "");
    out_ << *network << ": no interface; its devices are simulated\n";
    return 0;
  }
  if (!interfaces.Find(args[1])) {
    throw base::Error(lns::err::kNotFound, "portab-lns",
                      "There is no interface \"" + args[1] + "\" (portab-lns interface list shows them)");
  }
  interfaces.Attach(*network, args[1]);
  out_ << *network << ": attached to " << InterfaceLine(*interfaces.AttachedTo(*network)) << "\n";
  return 0;
}

std::optional<std::string> LonIpCommands::NetworkNamed(const std::string& name) const {
  for (const auto& network : server_.NetworkNames()) {
    if (base::EqualsNoCase(network, name)) return network;
  }
  return std::nullopt;
}

lonip::InterfaceSettings LonIpCommands::InterfaceNamed(const std::string& name) {
  if (auto settings = interfaces_.Find(name)) return *settings;
  if (const auto network = NetworkNamed(name)) {
    if (auto attached = server_.InterfaceOf(*network)) return *attached;
    NoInterface(*network);
  }
  throw base::Error(lns::err::kNotFound, "portab-lns", "There is no interface or network \"" + name + "\"");
}

int LonIpCommands::Discover(const std::vector<std::string>& args) {
  if (args.empty()) Usage("expected: portab-lns discover <interface or network> [--seconds <n>]");
  const auto options = Options(args, 1, {"--seconds"}, "discover <interface or network> [--seconds <n>]");
  const int64_t seconds = options.contains("--seconds") ? WholeNumber(options.at("--seconds"), "--seconds", 1, 3600) : 5;
  const auto settings = InterfaceNamed(args[0]);
  lonip::LonIpChannel channel(lonip::ChannelSettingsOf(settings, server_.Folder()));
  if (!channel.HearsBroadcasts()) {
    err_ << "portab-lns: " << channel.Name() << " cannot join the multicast group 239.192.0.0: service pins are not heard"
         << std::endl;
  }
  if (progress_) err_ << "portab-lns: listening on " << channel.Name() << " for " << seconds << " s ..." << std::endl;
  const auto found = lonip::Discover(channel, lonip::LonAddressOfIp(settings.address).domain, std::chrono::seconds(seconds));
  // The devices heard by their service pins are asked for their state in one try each, and
  // only within one timeout after the listening: a silent one cannot hold the command.
  channel.SetRetries(0);
  const auto deadline = std::chrono::steady_clock::now() + settings.timeout;
  for (const auto& device : found) out_ << FoundLine(channel, device, deadline) << "\n";
  if (progress_) err_ << "portab-lns: " << found.size() << " device(s) found" << std::endl;
  return 0;
}

// "<Neuron ID> <program ID> <state> [<address>]": the state and the address as the device
// itself tells them, asked by its Neuron ID.
std::string LonIpCommands::FoundLine(lonip::LonChannel& channel, const lonip::FoundDevice& device,
                                     std::chrono::steady_clock::time_point deadline) {
  std::string line = lonip::HexText(device.identity.neuronId) + " " + lonip::HexText(device.identity.programId);
  // It answered "Query ID, unconfigured only".
  if (!device.servicePin) return line + " unconfigured";
  if (std::chrono::steady_clock::now() >= deadline) return line + " state-unknown";
  const auto byId = lonip::LonTarget::ByNeuronId(device.identity.neuronId);
  try {
    const uint8_t state = lonip::QueryStatus(channel, byId).state;
    line += " " + lonip::NodeStateWord(state);
    if (state == lonip::node_state::kUnconfigured || state == lonip::node_state::kApplicationless) return line;
    const auto entry = lonip::QueryDomain(channel, byId, 0);
    return line + " " + lonip::LonAddress{entry.id, entry.subnet, entry.node}.Text();
  } catch (const lonip::LonIpError& error) {
    err_ << "portab-lns: " << error.what() << std::endl;
    return line + " state-unknown";
  }
}

int LonIpCommands::CheckTemplate(const ResolvedDevice& resolved, const std::string& programId) {
  LonIpLink& link = LinkOf(resolved);
  const StoredTemplate planned = TemplateOf(resolved.db->Db(), programId);
  const DeviceAddress device = link.AddressOf(resolved.deviceId);
  device_interface::DeviceInterface found;
  link.WithDevice(device, "reading its interface", [&](lonip::LonIpChannel& channel, const lonip::LonTarget& target) {
    found = lonip::ReadDeviceInterface(channel, target);
  });
  const auto differences = device_interface::InterfaceDifferences(planned.xif.device, found);
  const std::string what = device.Text() + " on " + link.InterfaceName();
  if (differences.empty()) {
    out_ << what << " has the interface of the template \"" << planned.name << "\" (" << planned.programId << ")\n";
    return 0;
  }
  out_ << what << " differs from the template \"" << planned.name << "\" (" << planned.programId << ") in "
       << differences.size() << " point(s):\n";
  for (const auto& line : differences) out_ << "  " << line << "\n";
  return 1;
}

void LonIpCommands::CheckAgainstTemplate(lonip::LonIpChannel& channel, const lonip::LonTarget& byId, SqlDb& db,
                                         int64_t deviceId, bool acceptInterface) {
  std::string programId;
  {
    auto row = db.Prepare("SELECT program_id FROM device WHERE id = ?1").Bind(1, deviceId);
    if (row.Step()) programId = row.Text(0);
  }
  const auto planned = LoadTemplate(db, programId);
  if (!planned) return;  // the network plans no interface for the program
  const auto found = lonip::ReadDeviceInterface(channel, byId);
  const auto differences = device_interface::InterfaceDifferences(planned->xif.device, found);
  if (differences.empty()) return;
  std::string list;
  for (size_t i = 0; i < std::min<size_t>(differences.size(), 5); ++i) list += "\n  " + differences[i];
  if (differences.size() > 5) list += "\n  ... and " + std::to_string(differences.size() - 5) + " more (portab-lns template check lists them)";
  const std::string what = "The device of Neuron ID " + lonip::HexText(byId.neuronId) + " differs from the template \"" +
                           planned->name + "\" (" + planned->programId + ")";
  if (!acceptInterface) {
    throw base::Error(lns::err::kBadValue, "portab-lns", what + "; not commissioned (--accept-interface commissions it all the same):" + list);
  }
  err_ << "portab-lns: " << what << "; commissioned as accepted:" << list << std::endl;
}

int LonIpCommands::Commission(const ResolvedDevice& resolved, const std::string& neuronIdText, bool acceptInterface) {
  const auto neuronId = lonip::ParseNeuronId(neuronIdText);
  if (!neuronId) Usage("\"" + neuronIdText + "\" is not a Neuron ID (12 hexadecimal digits)");
  LonIpLink& link = LinkOf(resolved);
  SqlDb& db = resolved.db->Db();
  DeviceAddress device = link.AddressOf(resolved.deviceId);
  const std::string nid = lonip::HexText(*neuronId);
  auto other = db.Prepare("SELECT name FROM device WHERE neuron_id = ?1 AND id <> ?2").Bind(1, nid).Bind(2, resolved.deviceId);
  if (other.Step()) {
    throw base::Error(lns::err::kBadValue, "portab-lns", "Neuron ID " + nid + " is the device \"" + other.Text(0) + "\" already");
  }
  // The addresses in use: the other devices' and the tool's own.
  std::set<std::pair<int64_t, int64_t>> used;
  auto rows = db.Prepare("SELECT subnet, node FROM device WHERE node <> 0 AND id <> ?1").Bind(1, resolved.deviceId);
  while (rows.Step()) used.insert({rows.Int(0), rows.Int(1)});
  const auto own = lonip::LonAddressOfIp(link.Settings().address);
  used.insert({own.subnet, own.node});
  const auto byId = lonip::LonTarget::ByNeuronId(*neuronId);
  link.WithChannel(device.Text() + ", Neuron ID " + nid, [&](lonip::LonIpChannel& channel) {
    // Found by its Neuron ID first. The address its IP stands for is its address when free, so
    // that it is found without help; otherwise the first free node of subnet 1.
    lonip::QueryStatus(channel, byId);
    CheckProgramId(channel, byId, db, resolved.deviceId, device.name);
    CheckAgainstTemplate(channel, byId, db, resolved.deviceId, acceptInterface);
    lonip::LonAddress address{link.Domain(), 1, 0};
    if (const auto ip = channel.LastAnswerFrom()) {
      const auto ofIp = lonip::LonAddressOfIp(*ip);
      if (ofIp.domain == link.Domain() && lonip::UnicastIpOf(ofIp) == *ip && ofIp.node != 0 &&
          !used.contains({ofIp.subnet, ofIp.node})) {
        address = ofIp;
      }
    }
    for (uint8_t node = 1; address.node == 0 && node < 128; ++node) {
      if (!used.contains({address.subnet, node})) address.node = node;
    }
    if (address.node == 0) {
      throw base::Error(lns::err::kBadValue, "portab-lns", "Subnet 1 of the network has no free node left");
    }
    lonip::UpdateDomain(channel, byId, 0, {address.domain, address.subnet, address.node, true, false, {}});
    lonip::ChangeState(channel, byId, lonip::node_state::kConfiguredOnline);
    lonip::SetNodeMode(channel, byId, lonip::NodeMode::Online);
    const auto status = lonip::QueryStatus(channel, lonip::LonTarget::Node(address));
    device.address = address;
    // Kept only when the device lives elsewhere than its address stands for.
    device.ip = channel.IpOf(address);
    if (device.ip == lonip::UnicastIpOf(address)) device.ip.reset();
    db.Prepare("UPDATE device SET neuron_id = ?1, subnet = ?2, node = ?3, ip = ?4 WHERE id = ?5")
        .Bind(1, nid)
        .Bind(2, int64_t{address.subnet})
        .Bind(3, int64_t{address.node})
        .Bind(4, device.ip ? device.ip->Text() : std::string())
        .Bind(5, resolved.deviceId)
        .Run();
    link.ForgetSelectors();
    out_ << "commissioned device \"" << device.name << "\" as " << address.Text() << " (Neuron ID " << nid << ", "
         << lonip::NodeStateText(status.state) << ") on " << link.InterfaceName() << "\n";
  });
  return 0;
}

int LonIpCommands::Status(const ResolvedDevice& resolved) {
  LonIpLink& link = LinkOf(resolved);
  const DeviceAddress device = link.AddressOf(resolved.deviceId);
  link.WithDevice(device, "", [&](lonip::LonIpChannel& channel, const lonip::LonTarget& target) {
    const auto status = lonip::QueryStatus(channel, target);
    out_ << device.name << ": " << lonip::NodeStateText(status.state) << " (" << device.address.Text() << ", Neuron ID "
         << (device.neuronId.empty() ? "unknown" : device.neuronId) << ", on " << link.InterfaceName() << ")\n";
    const char* names[] = {"transmission errors", "transaction timeouts", "receive transactions full", "lost messages",
                           "missed messages"};
    for (size_t i = 0; i < 5; ++i) out_ << (i == 0 ? "  " : ", ") << names[i] << " " << status.counters[i];
    out_ << "\n  reset cause " << int{status.resetCause} << ", version " << int{status.version} << ", error log "
         << int{status.errorLog} << ", architecture " << int{status.architecture} << "\n";
  });
  return 0;
}

int LonIpCommands::Wink(const ResolvedDevice& resolved) {
  LonIpLink& link = LinkOf(resolved);
  const DeviceAddress device = link.AddressOf(resolved.deviceId);
  link.WithDevice(device, "", [](lonip::LonIpChannel& channel, const lonip::LonTarget& target) { lonip::Wink(channel, target); });
  out_ << "winked " << device.Text() << " on " << link.InterfaceName() << "\n";
  return 0;
}

}  // namespace platform::lns_embedded
