#include "base/paths.h"

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

}  // namespace base
