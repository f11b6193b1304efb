#pragma once
// portab-lns: the network tool's side of the embedded LNS server.
//
//   portab-lns networks
//   portab-lns create <description.json> [--replace]
//   portab-lns export <network> [<file.json>]
//   portab-lns tree <network>
//   portab-lns cp get <path> <cp> [--nv <nv>] [--format dec|hex|raw]
//   portab-lns cp set <path> <cp> <bytes> [--nv <nv>] [--format dec|hex|raw]
//   portab-lns nv get <path> <nv>
//   portab-lns nv set <path> <nv> <value>
//   portab-lns reachable <device path> yes|no
//   portab-lns monitor <network>
//   portab-lns registrations <network>
//   portab-lns plugin <programmatic id> [--set <name>=<value>] [--lns <name>=<path>]
//                     [--regresult] [--send <command id> <class id> <object name>] [--get <name>] ...
//   portab-lns registry export <file>
//   portab-lns kb check <Config folder> [<version>]   (the knowledge-base checker; the program
//                                                      hands "kb" to knowledge/kb_checker.h)
//   portab-lns --server <URI> <command> ...   (the networks of a PostgreSQL server)
//   portab-lns --help | -h | --version
//
// <path> is a device ("Demo/System.Floor 1/Switch 1") or a LonMark object
// ("Demo/System.Floor 1/Switch 1/Omnal 1"); "\" may stand for "/". <cp> is a name or "#n"
// (the position in the collection). CP bytes are shown and taken in the --format given:
// "dec" (the default) decimal numbers separated by blanks (commas or tabs also separate what
// is given), "hex" two hex digits a byte separated by blanks (one digit is taken too), "raw"
// the object server's RAW value text, decimal numbers separated by tabs. An NV value is the
// value text of its type ("100.0 1" for SNVT_switch).
//
// create, export and tree count the devices they have handled on `err` when standard error
// is a terminal (tree only when its lines do not go to a terminal themselves).
//
// "plugin" acts as an LNS tool: it creates the plug-in's automation object (the class is
// looked up in the registry store), runs the steps in the order given and prints what they
// answer: --set puts a property ("true"/"false", whole numbers, else text), --lns hands over
// an LNS object, --regresult hands over a result object whose "RegResult" is printed at the
// end, --send calls SendCommand, --get prints a property. The object is released at the end.
//
// "registry export" writes the registry store as a file a registry editor imports as it is
// (UTF-16LE with byte-order mark, CRLF), replacing <file> atomically.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace platform::lns_embedded {

// Which of the program's standard outputs are terminals: progress lines are drawn only on one.
struct ToolTerminals {
  bool out = false;
  bool err = false;
};

// Runs one command against the networks in `home`/lns (and the registry store
// `home`/registry.reg); returns the exit status. --help and --version touch nothing.
int RunLnsTool(const std::vector<std::string>& args, const std::filesystem::path& home, std::ostream& out,
               std::ostream& err, ToolTerminals terminals = {});

}  // namespace platform::lns_embedded
