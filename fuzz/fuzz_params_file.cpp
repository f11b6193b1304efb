// The parameter file loader on arbitrary file bytes, with one parameter of each kind. A file
// that loads must save to a file that loads into the same values (saved again: same bytes).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/error.h"
#include "params/params.h"
#include "platform/ini/profile_ini_file.h"
#include "support/fake_cp.h"

namespace {

using testing_support::NamedCp;
constexpr const char* kPlugIn = "veltaPortaB";
constexpr const char* kProgramId = "9F:FF:FF:08:1C:0A:04:01";

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    auto path = std::filesystem::temp_directory_path() / ("portab-fuzz-params-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    std::ofstream(path / "PortaB.ini") << "[velta Porta Accepted Program IDs 1.0]\n" << kProgramId << "=9F:FF:FF:08:1C:0A:04:00\n";
    return path;
  }();
  return folder;
}

void Fill(params::cParams& set) {
  set.SetIniFileFactory([] { return std::make_unique<platform::ini::ProfileIniFile>(); });
  set.Add1ByteParameter("One", NamedCp("A"), "A");
  set.Add2ByteParameter("Delay", NamedCp("B"), "B");
  set.AddAsciiParameter("Label", NamedCp("C", std::vector<uint8_t>(8)), "C");
  set.AddCheckBoxParameter("Check", std::make_shared<ui::window::CheckBox>("c"), NamedCp("D"), "D");
  set.AddComboBoxParameter("Combo", std::make_shared<ui::window::ComboBox>("c"), NamedCp("E"), "E");
  set.AddOptionButtonParameter("Options", NamedCp("F"), "F");
  auto text = set.AddTextBoxParameter("Hold", std::make_shared<ui::window::TextBox>("t"), NamedCp("G"), "G");
  text->SetFactor(10);
}

std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Loads `file` into a fresh set; nullopt when the file was refused.
bool Load(params::cParams& set, const std::filesystem::path& file) {
  platform::ini::IniCache::Clear();  // files are rewritten faster than their times change
  platform::ini::ProfileIniFile plugInIni;
  plugInIni.SetFile((Folder() / "PortaB.ini").string());
  try {
    return set.LoadFromFile(file.string(), plugInIni, kPlugIn, kProgramId, "1") == 0;
  } catch (const base::Error&) {
    return false;  // a bad value, reported as such
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto input = Folder() / "input.dat";
  std::ofstream(input, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
  params::cParams first;
  Fill(first);
  if (!Load(first, input)) return 0;
  const auto saved = Folder() / "saved.dat";
  const auto again = Folder() / "again.dat";
  if (!first.WriteToFile(saved.string(), kPlugIn, kProgramId, "1")) std::abort();
  params::cParams second;
  Fill(second);
  if (!Load(second, saved)) std::abort();
  if (!second.WriteToFile(again.string(), kPlugIn, kProgramId, "1")) std::abort();
  if (Contents(saved) != Contents(again)) std::abort();
  return 0;
}
