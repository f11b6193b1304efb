#pragma once
// The INI file component on the shared, re-read-on-change parse of IniCache. A file object
// keeps the document it last got and asks the cache again (one stat of the file) at most once
// per tick of the coarse monotonic clock (a few milliseconds), so that keyed reads cost no
// system call and a changed file is still noticed within a tick. SetFile and Refresh drop it.
// A file object is used by one thread at a time.

#include <ctime>
#include <memory>

#include "lns/ini_file.h"
#include "platform/ini/ini_document.h"

namespace platform::ini {

class ProfileIniFile final : public lns::IniFile {
 public:
  ProfileIniFile() = default;
  explicit ProfileIniFile(std::string path) : path_(std::move(path)) {}

  void SetFile(const std::string& path) override {
    path_ = path;
    Refresh();
  }
  // Forgets the kept document: the next read asks the cache.
  void Refresh() {
    doc_.reset();
    lastSectionKnown_ = false;
  }
  std::string GetFile() const override { return path_; }

  std::string ReadString(std::string_view key, std::string_view section) const override;
  int16_t ReadCpPosition(std::string_view key, std::string_view section,
                         std::shared_ptr<lns::DeviceTemplate>& deviceTemplate) const override;
  int16_t ReadField(std::string_view key, std::string_view section,
                    std::shared_ptr<lns::DeviceTemplate>& deviceTemplate, int16_t field) const override;
  std::string ReadStringForTemplate(std::string_view key, std::string_view section,
                                    std::shared_ptr<lns::DeviceTemplate>& deviceTemplate) const override;

  std::vector<std::string> AcceptedProgramIds(std::string_view programId) const override;
  lns::FoundDeviceAndObject FindDeviceAndObject(const std::shared_ptr<lns::AppDeviceCollection>& appDevices,
                                                std::string_view deviceName,
                                                std::string_view objectName) const override;
  lns::ProgramEntry ProgramEntryAt(int32_t index) const override;
  lns::ProgramRecord ProgramRecordAt(int32_t entry, int32_t record) const override;

  std::vector<std::string> SectionNames() const override;
  std::vector<std::string> SectionLines(std::string_view section) const override;
  std::optional<std::string> RawValue(std::string_view key, std::string_view section) const override;
  bool FileExists() const override;
  int KeyLine(std::string_view key, std::string_view section) const override;
  int SectionLine(std::string_view section) const override;
  int FirstJunkLine() const override;
  std::string Damage() const override;
  std::vector<lns::IniNote> Notes() const override { return Doc().Notes(); }

  void SetVerbatim(bool on) override { verbatim_ = on; }
  bool Verbatim() const override { return verbatim_; }

 private:
  std::optional<std::string> Value(std::string_view key, std::string_view section) const;
  // The value for a device template: section + template name first, then the section.
  std::optional<std::string> TemplateValue(std::string_view key, std::string_view section,
                                           const std::shared_ptr<lns::DeviceTemplate>& deviceTemplate) const;

  const IniDocument& Doc() const;
  // The section index of `section` in the kept document; the last one asked for is kept,
  // since readers read several keys of one section in a row.
  uint32_t SectionIndexOf(std::string_view section) const;

  std::string path_;
  bool verbatim_ = false;
  mutable std::shared_ptr<const IniDocument> doc_;
  mutable std::time_t checkedSeconds_ = 0;
  mutable long checkedNanoseconds_ = 0;
  mutable bool lastSectionKnown_ = false;  // of the kept document
  mutable std::string lastSectionName_;
  mutable uint32_t lastSectionIndex_ = 0;
};

// Section names of the plug-in INI file's own layouts (see data/PortaB.ini).
inline constexpr std::string_view kAcceptedProgramIdsSection = "velta Porta Accepted Program IDs 1.0";
inline constexpr std::string_view kProgramsSection = "velta Porta Programs 1.0";

}  // namespace platform::ini
