#include "base/paths.h"

#include <signal.h>

#include <cerrno>

#include "base/text.h"

namespace base {

std::string WithTrailingSeparator(std::string_view folder) {
  std::string out(folder);
  if (!out.empty() && out.back() != '/') out += '/';
  return out;
}

std::string NativePath(std::string_view path) { return ReplaceAll(path, "\\", "/"); }

std::filesystem::path ResolveIn(const std::filesystem::path& folder, std::string_view path) {
  const std::filesystem::path native(NativePath(path));
  return native.is_absolute() ? native : folder / native;
}

bool FileExists(const std::filesystem::path& file) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec);
}

void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view marker) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    const size_t at = name.find(marker);
    if (at == std::string::npos) continue;
    const size_t digits = at + marker.size();
    size_t end = digits;
    while (end < name.size() && name[end] >= '0' && name[end] <= '9') ++end;
    if (end == digits || end - digits > 9) continue;
    const auto pid = static_cast<pid_t>(std::stol(name.substr(digits, end - digits)));
    if (pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) continue;  // running, or not ours to judge
    std::filesystem::remove(entry.path(), ec);
  }
}

}  // namespace base
