#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "base/paths.h"

namespace base {
namespace {

// Writes all of `bytes`; 0 or the errno of the failed write (ENOSPC when nothing more fits).
int WriteAll(int descriptor, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return ENOSPC;
    done += static_cast<size_t>(written);
  }
  return 0;
}

// `privateFile`: the file becomes its owner's alone, and a link in its place is replaced.
ReplaceOutcome Replace(std::filesystem::path file, std::string_view bytes, bool privateFile) {
  std::error_code ignored;
  if (!privateFile && std::filesystem::is_symlink(std::filesystem::symlink_status(file, ignored))) {
    std::error_code error;
    file = std::filesystem::canonical(file, error);
    if (error) return {error.value(), false};
  }
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  const std::string marker = file.filename().string() + ".tmp.";
  RemoveStaleTemporaries(folder, marker);
  struct stat existing {};
  const mode_t mode = privateFile                                  ? 0600
                     : ::stat(file.c_str(), &existing) == 0 ? (existing.st_mode & 07777)
                                                           : 0644;
  const std::filesystem::path temporary = folder / (marker + std::to_string(::getpid()));
  const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (descriptor < 0) return {errno, false};
  int error = WriteAll(descriptor, bytes);
  if (error == 0 && ::fchmod(descriptor, mode) != 0) error = errno;
  if (error == 0 && ::fsync(descriptor) != 0) error = errno;
  if (::close(descriptor) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return {error, false};
  }
  if (::rename(temporary.c_str(), file.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    return {error, true};
  }
  return {};
}

}  // namespace

ReplaceOutcome ReplaceFileAtomically(std::filesystem::path file, std::string_view bytes) {
  return Replace(std::move(file), bytes, false);
}

ReplaceOutcome ReplacePrivateFileAtomically(std::filesystem::path file, std::string_view bytes) {
  return Replace(std::move(file), bytes, true);
}

}  // namespace base
