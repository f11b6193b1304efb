#pragma once
// portab-lns: the network tool's side of the embedded LNS server.
//
//   portab-lns networks
//   portab-lns create <description.json> [--replace]
//   portab-lns export <network> [<file.json>]
//   portab-lns tree <network>
//   portab-lns cp get <path> <cp> [--nv <nv>]
//   portab-lns cp set <path> <cp> <bytes> [--nv <nv>]
//   portab-lns nv get <path> <nv>
//   portab-lns nv set <path> <nv> <value>
//   portab-lns reachable <device path> yes|no
//   portab-lns monitor <network>
//
// <path> is a device ("Demo/System.Floor 1/Switch 1") or a LonMark object
// ("Demo/System.Floor 1/Switch 1/Omnal 1"); "\" may stand for "/". <cp> is a name or "#n"
// (the position in the collection). CP bytes are decimal numbers separated by blanks, commas
// or tabs; an NV value is the value text of its type ("100.0 1" for SNVT_switch).

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace platform::lns_embedded {

// Runs one command against the networks in `lnsFolder`; returns the exit status.
int RunLnsTool(const std::vector<std::string>& args, const std::filesystem::path& lnsFolder, std::ostream& out,
               std::ostream& err);

}  // namespace platform::lns_embedded
