#pragma once
// The About box and the help file.

#include <cstdint>
#include <optional>
#include <string>

namespace services::dialogs {
class Dialogs;
}
namespace services::process {
class Shell;
}

namespace ui {

// The desktop's opener for documents.
inline constexpr const char* kDesktopOpener = "xdg-open";

// Title 1850, the product line 1851 with the version, the object server's text line when
// there is one, then the maker's lines (1852, 1853, 1855..1858; missing entries are empty);
// with a program folder, the pictures 103 and 104 of its "Pictures" folder.
void ShowAbout(services::dialogs::Dialogs& dialogs, const std::optional<std::string>& serverText,
               const std::string& programFolder = {});

// Opens the help file with the desktop's opener: at its start for topicId -1, else at the
// topic's anchor ("file:///.../PortaB.html#topic-1003"). Without an opener message 1426 is
// shown, for a missing file (or one the opener cannot be started for) 1425 with the full
// path; errors go to the error operation, as for ShowAbout.
void ShowHelp(services::dialogs::Dialogs& dialogs, services::process::Shell& shell,
              const std::string& helpFilePath, int32_t topicId);

}  // namespace ui
