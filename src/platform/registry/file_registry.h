#pragma once
// The registry store: a ".reg" file (normally PORTAB_HOME/registry.reg) shared by every
// program of the machine. Each change re-reads the file, applies the change and writes a
// temporary file that is renamed over the old one, all under an exclusive lock on
// "<file>.lock", so concurrent writers lose nothing and a failed write (a full disk) leaves
// the old file as it was. The file keeps the encoding it was read in. A damaged file raises
// error 321 naming the file and the line, and is never overwritten.

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/registry/reg_document.h"
#include "services/registry.h"

namespace platform::registry {

using namespace services::registry;  // the interface implemented here

class FileRegistry final : public Registry {
 public:
  explicit FileRegistry(std::filesystem::path file);

  const std::filesystem::path& File() const { return file_; }

  std::optional<std::string> ReadValue(Hive hive, std::string_view key,
                                       std::string_view name) const override;
  void WriteValue(Hive hive, std::string_view key, std::string_view name,
                  std::string_view value) override;
  void DeleteValue(Hive hive, std::string_view key, std::string_view name) override;
  void DeleteKeyTree(Hive hive, std::string_view key) override;
  bool KeyExists(Hive hive, std::string_view key) const override;
  std::vector<std::string> SubKeyNames(Hive hive, std::string_view key) const override;

  // Writes the whole store, the other hives' keys included, to `target` as a registry editor
  // imports it: UTF-16LE with byte-order mark, "Windows Registry Editor Version 5.00", CRLF.
  // `target` is replaced atomically.
  void Export(const std::filesystem::path& target) const;

 private:
  // Runs `read` on the current contents under a shared lock.
  void WithContents(const std::function<void(const RegDocument&)>& read) const;
  // Applies `change` under the exclusive lock; writes the file when it reports a change.
  void Change(const std::function<bool(RegDocument&)>& change);
  const RegDocument& Load() const;

  std::filesystem::path file_;
  std::filesystem::path lockFile_;
  mutable std::mutex mutex_;  // guards the cache within one process
  mutable RegDocument cached_;
  mutable std::optional<std::filesystem::file_time_type> cachedTime_;
  mutable uintmax_t cachedSize_ = 0;
  mutable uint64_t cachedInode_ = 0;
};

// PORTAB_HOME, else ${XDG_DATA_HOME:-$HOME/.local/share}/portab.
std::filesystem::path PortabHome();
std::filesystem::path DefaultRegistryFile();

}  // namespace platform::registry
