#include "platform/ini/profile_ini_file.h"

#include <filesystem>

#include "base/error.h"
#include "base/text.h"
#include "platform/ini/ini_document.h"

namespace platform::ini {
namespace {

int16_t WholeNumber(std::string_view text) {
  try {
    return base::CInt(base::Val(text));
  } catch (const base::Error&) {
    return 0;  // a number outside the 16-bit range places nothing
  }
}

}  // namespace

const IniDocument& ProfileIniFile::Doc() const {
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);  // answered in user space (vDSO)
  if (!doc_ || now.tv_sec != checkedSeconds_ || now.tv_nsec != checkedNanoseconds_) {
    auto fresh = IniCache::Get(path_);
    if (fresh != doc_) lastSectionKnown_ = false;  // section indexes belong to one document
    doc_ = std::move(fresh);
    checkedSeconds_ = now.tv_sec;
    checkedNanoseconds_ = now.tv_nsec;
  }
  return *doc_;
}

uint32_t ProfileIniFile::SectionIndexOf(std::string_view section) const {
  const IniDocument& doc = Doc();
  if (lastSectionKnown_ && lastSectionName_ == section) return lastSectionIndex_;
  lastSectionIndex_ = doc.SectionIndex(section);
  lastSectionName_.assign(section);
  lastSectionKnown_ = true;
  return lastSectionIndex_;
}

std::optional<std::string> ProfileIniFile::Value(std::string_view key, std::string_view section) const {
  const uint32_t index = SectionIndexOf(section);
  const auto value = doc_->FindValueIn(index, key);
  if (!value) return std::nullopt;
  return verbatim_ ? std::string(*value) : Unquote(*value);
}

std::optional<std::string> ProfileIniFile::TemplateValue(
    std::string_view key, std::string_view section, const std::shared_ptr<lns::DeviceTemplate>& deviceTemplate) const {
  if (deviceTemplate) {
    std::string name;
    try {
      name = deviceTemplate->Name();
    } catch (const base::Error&) {
      // A template that cannot tell its name adds no section.
    }
    if (!name.empty()) {
      if (auto value = Value(key, std::string(section) + name)) return value;
    }
  }
  return Value(key, section);
}

std::string ProfileIniFile::ReadString(std::string_view key, std::string_view section) const {
  return Value(key, section).value_or("");
}

int16_t ProfileIniFile::ReadCpPosition(std::string_view key, std::string_view section,
                                       std::shared_ptr<lns::DeviceTemplate>& deviceTemplate) const {
  const auto value = TemplateValue(key, section, deviceTemplate);
  return value ? WholeNumber(*value) : -1;
}

int16_t ProfileIniFile::ReadField(std::string_view key, std::string_view section,
                                  std::shared_ptr<lns::DeviceTemplate>& deviceTemplate, int16_t field) const {
  const auto value = TemplateValue(key, section, deviceTemplate);
  return value ? WholeNumber(base::Field(*value, field, ",")) : 0;
}

std::string ProfileIniFile::ReadStringForTemplate(std::string_view key, std::string_view section,
                                                  std::shared_ptr<lns::DeviceTemplate>& deviceTemplate) const {
  return TemplateValue(key, section, deviceTemplate).value_or("");
}

std::vector<std::string> ProfileIniFile::AcceptedProgramIds(std::string_view programId) const {
  std::vector<std::string> ids;
  for (auto& id : base::Split(ReadString(programId, kAcceptedProgramIdsSection), ",")) {
    std::string trimmed(base::TrimWhitespace(id));
    if (!trimmed.empty()) ids.push_back(std::move(trimmed));
  }
  return ids;
}

lns::FoundDeviceAndObject ProfileIniFile::FindDeviceAndObject(
    const std::shared_ptr<lns::AppDeviceCollection>& appDevices, std::string_view deviceName,
    std::string_view objectName) const {
  lns::FoundDeviceAndObject result;
  if (!appDevices) return result;
  try {
    auto device = appDevices->ItemByName(deviceName);
    auto objects = device->Interface()->LonMarkObjects();
    auto object = objects->ItemByName(objectName);
    result = {true, std::move(device), std::move(objects), std::move(object)};
  } catch (const base::Error&) {
    // Not found: the success flag stays false.
  }
  return result;
}

lns::ProgramEntry ProfileIniFile::ProgramEntryAt(int32_t index) const {
  const auto value = Value("Program" + std::to_string(index), kProgramsSection);
  if (!value || value->empty()) return {};
  return {false, std::string(base::TrimWhitespace(base::Field(*value, 1, ","))),
          std::string(base::TrimWhitespace(base::Field(*value, 2, ",")))};
}

lns::ProgramRecord ProfileIniFile::ProgramRecordAt(int32_t entry, int32_t record) const {
  const auto value = Value("Program" + std::to_string(entry) + ".Record" + std::to_string(record), kProgramsSection);
  if (!value) return {};
  lns::ProgramRecord result{false, {}};
  for (auto& field : base::Split(*value, ",")) result.values.emplace_back(base::TrimWhitespace(field));
  return result;
}

std::vector<std::string> ProfileIniFile::SectionNames() const { return Doc().SectionNames(); }

std::vector<std::string> ProfileIniFile::SectionLines(std::string_view section) const {
  return Doc().SectionEntries(section);
}

std::optional<std::string> ProfileIniFile::RawValue(std::string_view key, std::string_view section) const {
  const uint32_t index = SectionIndexOf(section);
  const auto value = doc_->FindValueIn(index, key);
  if (!value) return std::nullopt;
  return std::string(*value);
}

int ProfileIniFile::KeyLine(std::string_view key, std::string_view section) const {
  return Doc().KeyLine(section, key);
}

int ProfileIniFile::SectionLine(std::string_view section) const { return Doc().SectionLine(section); }

int ProfileIniFile::FirstJunkLine() const { return Doc().FirstJunkLine(); }

std::string ProfileIniFile::Damage() const {
  std::error_code ec;
  const auto status = std::filesystem::status(path_, ec);
  if (path_.empty() || !std::filesystem::exists(status)) return {};
  if (std::filesystem::is_directory(status)) return "it is a folder, not a file";
  if (!std::filesystem::is_regular_file(status)) return "it is not a plain file (a device, a pipe or a socket)";
  const IniDocument& doc = Doc();
  if (!doc.ReadError().empty()) return "it cannot be read: " + doc.ReadError();
  if (doc.FirstJunkLine() > 0) {
    return "line " + std::to_string(doc.FirstJunkLine()) +
           " holds binary data (NUL or other control characters): it is not a text file";
  }
  return {};
}

bool ProfileIniFile::FileExists() const {
  std::error_code ec;
  return !path_.empty() && std::filesystem::is_regular_file(path_, ec);
}

}  // namespace platform::ini
