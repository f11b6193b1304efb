#include "base/standard_options.h"

#include "base/product.h"
#include "base/text.h"

namespace base {

StandardOption StandardOptionOf(std::string_view commandLine) {
  const std::string_view word = TrimBlanks(commandLine);
  if (word == "--help" || word == "-h") return StandardOption::Help;
  if (word == "--version") return StandardOption::Version;
  return StandardOption::None;
}

std::string VersionLine(std::string_view program) { return std::string(program) + " " + kVersionText + "\n"; }

}  // namespace base
