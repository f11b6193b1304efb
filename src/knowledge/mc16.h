#pragma once
// cMC16: the device knowledge base. Nine INI files in the knowledge-base folder ("Config/"
// in the folder of the registered server program); the Config file's section
// "Version_<n>" names the other eight for knowledge-base version n.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "lns/ini_file.h"
#include "lns/plugin_context.h"

namespace knowledge {

namespace M_Registry {
// The file name that marks a registration of the development environment (the debugger):
// the plug-in then runs inside it, and its own folder is the server directory.
inline constexpr const char* kDevelopmentExecutable = "gdb";
// The folder of the registered server of veltaPortaB.Application with a trailing "/", the
// running program's folder for the development environment, "" without a registration.
std::string GetServerDirectory(const platform::registry::Registry* registry, const std::filesystem::path& executable);
}  // namespace M_Registry

enum class KbFile { Config, Modules, Channels, Objects, GroupObjects, Controls, Enums, Resources, CommandTable };

class cMC16 {
 public:
  explicit cMC16(const lns::PlugInContext& context);

  const std::string& ConfigFileName() const { return configFileName_; }
  void SetConfigFileName(std::string name) { configFileName_ = std::move(name); }
  uint8_t Version() const { return version_; }
  void SetVersion(uint8_t version) { version_ = version; }

  // Opens the Config file; false (and a message) when it does not exist.
  bool Init1();
  // Opens the eight files of section "Version_<Version>"; a message for each missing one.
  bool Init2();
  // "DefaultVersion" of section "General" when it is 1..255, else 0.
  uint8_t DefaultVersion();

  // Starts the plug-in that the "Plug-in" section of the Objects file registers for the
  // function profile and hands it this run's command; false when there is none or it
  // cannot be created. No message in any case.
  bool StartPlugIn(int32_t fptIndex);
  // The same for a given LonMark object (or group object) with another command.
  bool StartPlugInEx(int32_t fptIndex, bool groupObject, const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                     int32_t commandId);

  lns::IniFile& File(KbFile which) { return *files_[static_cast<size_t>(which)]; }
  const std::string& KnowledgeFolder() const { return folder_; }

 private:
  bool StartRegisteredPlugIn(lns::IniFile& file, int32_t fptIndex, int32_t commandId, int16_t classId,
                             const std::string& objectName);
  void ResolveFolder();
  bool CheckExists(KbFile which);

  const lns::PlugInContext& context_;
  std::string configFileName_;
  uint8_t version_ = 0;
  std::string folder_;
  std::array<std::unique_ptr<lns::IniFile>, 9> files_;
};

}  // namespace knowledge
