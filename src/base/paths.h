#pragma once
// Path helpers (the path utility of the host): folders with a trailing separator, paths
// written with Windows backslashes, file existence.

#include <filesystem>
#include <string>
#include <string_view>

namespace base {

// The folder with one trailing "/" (an empty folder stays empty).
std::string WithTrailingSeparator(std::string_view folder);
// A path as written in an INI file ("help\PortaB.html") in this system's form: every backslash
// becomes "/".
std::string NativePath(std::string_view path);
// A relative path is joined to `folder`; an absolute one is kept.
std::filesystem::path ResolveIn(const std::filesystem::path& folder, std::string_view path);
// Whether `file` is a regular file (a link is followed); an error reads as false.
bool FileExists(const std::filesystem::path& file);
// Removes the files in `folder` whose names hold `marker` followed by the id of a process that
// no longer runs: temporary files left by a process killed while writing. Files of running
// processes and names without a process id stay; errors are ignored.
void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view marker);

}  // namespace base
