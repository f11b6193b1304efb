#include "platform/registry/file_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/atomic_file.h"
#include "base/error.h"
#include "base/paths.h"

namespace platform::registry {
namespace {

[[noreturn]] void IoFailure(const std::filesystem::path& file, std::string_view what, int error = errno) {
  throw base::Error(base::err::kPathFileAccess, "RegistryStore",
                    std::string(what) + " \"" + file.string() + "\": " + std::strerror(error));
}

// An flock on the lock file, released when the object goes.
class FileLock {
 public:
  FileLock(const std::filesystem::path& lockFile, bool exclusive) {
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) IoFailure(lockFile, "Cannot open the lock file");
    while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        IoFailure(lockFile, "Cannot lock");
      }
    }
  }
  ~FileLock() { ::close(fd_); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

// Replaces the registry file; a failure names the file and the step.
void WriteAtomically(const std::filesystem::path& file, const std::string& contents) {
  const auto outcome = base::ReplaceFileAtomically(file, contents);
  if (!outcome) IoFailure(file, outcome.renaming ? "Cannot replace" : "Cannot write", outcome.error);
}

}  // namespace

std::filesystem::path PortabHome() {
  if (const char* home = std::getenv("PORTAB_HOME"); home != nullptr && *home != '\0') return home;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data != '\0') {
    return std::filesystem::path(data) / "portab";
  }
  const char* user = std::getenv("HOME");
  return std::filesystem::path(user != nullptr ? user : ".") / ".local" / "share" / "portab";
}

std::filesystem::path DefaultRegistryFile() { return PortabHome() / "registry.reg"; }

FileRegistry::FileRegistry(std::filesystem::path file)
    : file_(std::move(file)), lockFile_(file_.string() + ".lock") {}

const RegDocument& FileRegistry::Load() const {
  struct stat info {};
  if (::stat(file_.c_str(), &info) != 0) {
    if (errno != ENOENT) IoFailure(file_, "Cannot read");
    cached_ = RegDocument{};
    cachedTime_.reset();
    return cached_;
  }
  const auto time = std::filesystem::last_write_time(file_);
  const bool unchanged = cachedTime_ && *cachedTime_ == time &&
                         cachedSize_ == static_cast<uintmax_t>(info.st_size) && cachedInode_ == info.st_ino;
  if (unchanged) return cached_;
  std::ifstream in(file_, std::ios::binary);
  if (!in) IoFailure(file_, "Cannot read");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  cachedTime_.reset();  // stays unset when parsing fails
  cached_ = RegDocument::Parse(bytes.str(), file_.string());
  cachedTime_ = time;
  cachedSize_ = static_cast<uintmax_t>(info.st_size);
  cachedInode_ = info.st_ino;
  return cached_;
}

void FileRegistry::WithContents(const std::function<void(const RegDocument&)>& read) const {
  std::lock_guard guard(mutex_);
  if (!std::filesystem::exists(file_.parent_path())) {
    read(RegDocument{});
    return;
  }
  FileLock lock(lockFile_, false);
  read(Load());
}

void FileRegistry::Change(const std::function<bool(RegDocument&)>& change) {
  std::lock_guard guard(mutex_);
  std::filesystem::create_directories(file_.parent_path());
  FileLock lock(lockFile_, true);
  // Read again only when the file changed since it was cached (every write of ours replaces
  // it, so another program's write shows as a new file); a damaged file raises here, before
  // anything is written.
  RegDocument doc = Load();
  if (!change(doc)) return;
  WriteAtomically(file_, doc.Serialize());
  cachedTime_.reset();
}

void FileRegistry::Export(const std::filesystem::path& target) const {
  RegDocument copy;
  WithContents([&](const RegDocument& doc) { copy = doc; });
  copy.SetEncoding(RegEncoding::Utf16Le);
  WriteAtomically(target, copy.Serialize());
}

std::optional<std::string> FileRegistry::ReadValue(Hive hive, std::string_view key,
                                                   std::string_view name) const {
  std::optional<std::string> result;
  WithContents([&](const RegDocument& doc) {
    if (const RegValue* value = doc.FindValue(hive, key, name)) result = ValueText(*value);
  });
  return result;
}

void FileRegistry::WriteValue(Hive hive, std::string_view key, std::string_view name, std::string_view value) {
  Change([&](RegDocument& doc) { return doc.SetValue(hive, key, name, value); });
}

void FileRegistry::DeleteValue(Hive hive, std::string_view key, std::string_view name) {
  Change([&](RegDocument& doc) { return doc.RemoveValue(hive, key, name); });
}

void FileRegistry::DeleteKeyTree(Hive hive, std::string_view key) {
  Change([&](RegDocument& doc) { return doc.RemoveKeyTree(hive, key); });
}

bool FileRegistry::KeyExists(Hive hive, std::string_view key) const {
  bool exists = false;
  WithContents([&](const RegDocument& doc) { exists = doc.HasKey(hive, key); });
  return exists;
}

std::vector<std::string> FileRegistry::SubKeyNames(Hive hive, std::string_view key) const {
  std::vector<std::string> names;
  WithContents([&](const RegDocument& doc) { names = doc.SubKeyNames(hive, key); });
  return names;
}

}  // namespace platform::registry
