#pragma once
// The INI file component: one object per file, reading the plug-in INI file, parameter
// files and the knowledge base. Missing keys are no error: they read as "", -1 or below 1.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portab/lns/lns_objects.h"

namespace lns {

// One program entry of the plug-in INI file, walked by the registration in the networks.
struct ProgramEntry {
  bool end = true;  // no entry at this index (the walk ends)
  std::string keyText;   // field 1: the device program's key text
  std::string fileName;  // field 2: its file
};

// One record of a program entry.
struct ProgramRecord {
  bool end = true;                  // no record at this index
  std::vector<std::string> values;  // its ","-fields, blanks around them removed
};

// The result of FindDeviceAndObject; the objects are set only when found.
struct FoundDeviceAndObject {
  bool found = false;
  std::shared_ptr<AppDevice> device;
  std::shared_ptr<LonMarkObjectCollection> lonMarkObjects;
  std::shared_ptr<LonMarkObject> lonMarkObject;
};

// Something a parse found odd in a file: a line without "=", a section or key given again (only
// the first is read), a line read as Windows-1252 in a file that is otherwise UTF-8.
struct IniNote {
  int line = 0;  // from 1
  std::string text;  // what is odd, for the author
};

// Sections and keys are found without regard to case.
class IniFile {
 public:
  virtual ~IniFile() = default;

  // The file the object reads (read/write); a file that is missing or unreadable reads as
  // one without sections.
  virtual void SetFile(const std::string& path) = 0;
  virtual std::string GetFile() const = 0;

  // The value (one pair of quotes around it removed unless the verbatim option is on); "".
  virtual std::string ReadString(std::string_view key, std::string_view section) const = 0;
  // The value's leading whole number; -1 when the key is missing. Device template lookups
  // search the section named `section` + the template's name first, then `section`.
  virtual int16_t ReadCpPosition(std::string_view key, std::string_view section,
                                 std::shared_ptr<DeviceTemplate>& deviceTemplate) const = 0;
  // Field `field` (from 1) of the ","-separated value as a whole number; 0 when missing.
  virtual int16_t ReadField(std::string_view key, std::string_view section,
                            std::shared_ptr<DeviceTemplate>& deviceTemplate, int16_t field) const = 0;
  // The value (as ReadString) with the device template lookup; "" when missing.
  virtual std::string ReadStringForTemplate(std::string_view key, std::string_view section,
                                            std::shared_ptr<DeviceTemplate>& deviceTemplate) const = 0;

  // Program ids whose parameter files a device with `programId` accepts.
  virtual std::vector<std::string> AcceptedProgramIds(std::string_view programId) const = 0;
  // The device named `deviceName` in `appDevices` and its LonMark object `objectName`; found is
  // false (nothing raised) when either is missing.
  virtual FoundDeviceAndObject FindDeviceAndObject(const std::shared_ptr<AppDeviceCollection>& appDevices,
                                                   std::string_view deviceName,
                                                   std::string_view objectName) const = 0;
  // Entry "Program<index>" and its record "Program<entry>.Record<record>" of the plug-in INI
  // file's programs section.
  virtual ProgramEntry ProgramEntryAt(int32_t index) const = 0;
  virtual ProgramRecord ProgramRecordAt(int32_t entry, int32_t record) const = 0;

  // What the knowledge base reads: sections in file order, a section's entries in file order
  // ("key=value" with the blanks around "=" removed; comment lines left out), and whole
  // values exactly as written (quotes included).
  virtual std::vector<std::string> SectionNames() const = 0;
  virtual std::vector<std::string> SectionLines(std::string_view section) const = 0;
  virtual std::optional<std::string> RawValue(std::string_view key, std::string_view section) const = 0;
  virtual bool FileExists() const = 0;  // a plain file is at the path
  // Where things sit, for messages that point an author at the place: the line (from 1) of a
  // key or a section header, 0 when missing; the first line holding binary junk, 0 when none.
  virtual int KeyLine(std::string_view key, std::string_view section) const = 0;
  virtual int SectionLine(std::string_view section) const = 0;
  virtual int FirstJunkLine() const = 0;
  // What makes something that exists at the file's path unusable as an INI file ("line 3 holds
  // binary data ...", "it cannot be read: Permission denied", "it is a folder, not a file");
  // "" for a usable file or when nothing is there.
  virtual std::string Damage() const { return {}; }
  virtual std::vector<IniNote> Notes() const = 0;  // what the parse found odd, by line

  // The Boolean file option: when on, values are returned verbatim (quotes kept) (read/write).
  virtual void SetVerbatim(bool on) = 0;
  virtual bool Verbatim() const = 0;
};

}  // namespace lns
