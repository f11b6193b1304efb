#pragma once
// A device interface file (XIF) written from what was read of one: the header as it was, the
// node string, one VAR record per VAR read, the TAG records, the FILE sections of the template
// and the value files, NVVAL with the configuration NVs' values and the records portab does
// not read, as they were. Reading the text back gives the same file: templates are exported
// this way and imported again.

#include <string>

#include "platform/device_interface/xif_file.h"

namespace platform::device_interface {

// The file's text, lines ending in CR LF, in UTF-8.
std::string WriteXif(const XifFile& xif);

}  // namespace platform::device_interface
