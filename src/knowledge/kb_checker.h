#pragma once
// The knowledge-base checker behind "portab-lns kb check": loads the files of one
// knowledge-base version the way the plug-in does and reports what would make a reader fail,
// fall back without a word or show a key where a text belongs. Each finding names the file
// (relative to the knowledge-base folder) and the line, so an author can go straight to it;
// the findings come once each, by file and line.
//
//   portab-lns kb check <Config folder> [<version>]
//
// The version defaults to "DefaultVersion" of the Config file's section "General". The Config
// file is the one the plug-in INI file (PortaB.ini in the folder's parent folder) names,
// else "PortaB.cfg". Exit status: 0 clean, 1 findings, 2 a usage error.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "lns/ini_file.h"

namespace knowledge {

// One problem the checker found.
struct KbFinding {
  std::string file;  // relative to the knowledge-base folder
  int line = 0;      // from 1; 0 when the finding has no line
  std::string message;  // what is wrong, for the author

  // "<file>:<line>: <message>", or "<file>: <message>" without a line; the file with `folder`
  // before it when one is given.
  std::string ToString(std::string_view folder = {}) const;
};

// The outcome of one check.
struct KbCheckReport {
  int version = -1;  // the version checked; -1 when it could not be determined
  // Each finding once, by file (Config, Modules, Channels, Objects, GroupObjects, Controls,
  // Enums, Resources, CommandTable) and line.
  std::vector<KbFinding> findings;
  // What was left unchecked, for the user to know; not findings.
  std::vector<std::string> notes;
};

// The INI component's constructor: the caller (a program's main, a test) chooses it.
using IniFileFactory = std::function<std::unique_ptr<lns::IniFile>()>;

// Checks the knowledge base in `folder` for `version` (the Config file's default when none).
// What is wrong with the files is reported as findings; an error raised by a reader that no
// rule catches propagates (RunKbTool reports it as a failed check).
KbCheckReport CheckKnowledgeBase(const std::string& folder, std::optional<uint8_t> version,
                                 const IniFileFactory& newIniFile);

// Runs "kb check <folder> [<version>]" or "kb [check] --help" (`args` starts with "kb"):
// findings (their files with the folder as given), notes and a summary line on `out`, usage
// errors on `err`. Returns the exit status.
int RunKbTool(const std::vector<std::string>& args, const IniFileFactory& newIniFile, std::ostream& out,
              std::ostream& err);

}  // namespace knowledge
