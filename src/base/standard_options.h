#pragma once
// The GNU options every portab program answers: --help (or -h) prints its usage and --version
// its name and version, both on standard output and with no other effect. They count only when
// one of them is the whole command line, so that no program's own syntax loses a meaning
// ("--help /REG:1000" is still a command line of portab).

#include <string>
#include <string_view>

namespace base {

// Which standard option a command line is: none, --help/-h, or --version.
enum class StandardOption { None, Help, Version };

// The option that `commandLine` (blanks around it ignored) consists of; case matters.
StandardOption StandardOptionOf(std::string_view commandLine);

// "<program> <major>.<minor>.<revision>" and a line break.
std::string VersionLine(std::string_view program);

}  // namespace base
