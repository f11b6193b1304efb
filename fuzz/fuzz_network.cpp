// The network-description importer on arbitrary JSON text. A description that imports must
// export to one that imports again and exports to the same text.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "base/error.h"
#include "platform/lns_embedded/network_description.h"

namespace {

std::filesystem::path Folder(const char* name) {
  // A memory file system when there is one: every input creates a database.
  const std::filesystem::path shm = "/dev/shm";
  const auto root = std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
  auto folder = root / ("portab-fuzz-network-" + std::to_string(::getpid())) / name;
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform::lns_embedded;
  static const auto imported = Folder("imported");
  static const auto reimported = Folder("reimported");
  std::string name;
  try {
    name = CreateNetwork(imported, std::string(reinterpret_cast<const char*>(data), size), true);
  } catch (const base::Error&) {
    return 0;  // refused with a message naming the bad field
  }
  const std::string exported = ExportNetwork(imported / (name + ".db"));
  const std::string again = CreateNetwork(reimported, exported, true);
  if (again != name || ExportNetwork(reimported / (again + ".db")) != exported) std::abort();
  std::filesystem::remove(imported / (name + ".db"));
  std::filesystem::remove(reimported / (again + ".db"));
  return 0;
}
