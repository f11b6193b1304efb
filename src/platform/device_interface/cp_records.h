#pragma once
// CP records: the records of a device's CP template file and the "&..." self-documentation of
// its configuration NVs, and where each CP's bytes live.
//
// A template file is ASCII text of tokens separated by ';': the format version ("1.1"), then one
// record a token, `header,select,<scope digit><flags byte>,type index,size[,dimension[,range]]`.
// Empty tokens and tokens that begin with a NUL byte are ignored. The flags byte comes raw (a
// device's file) or as the text "\xNN" (an interface file).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::device_interface {

// What a CP applies to (the record's header).
enum class AppliesTo : uint8_t { Device = 0, Blocks = 1, Nvs = 2 };

// The bits of a CP record's flags byte (0x80 is always set).
namespace cp_flag {
inline constexpr uint8_t kDisableBlock = 0x01;    // disable the block while changing it
inline constexpr uint8_t kOffline = 0x02;         // take the device offline while changing it
inline constexpr uint8_t kConstant = 0x04;        // read-only
inline constexpr uint8_t kReset = 0x08;           // reset the device after a change
inline constexpr uint8_t kManufacturing = 0x10;   // changed by the maker only
inline constexpr uint8_t kDeviceSpecific = 0x20;  // the device's application may change it
}  // namespace cp_flag

struct CpRecord {
  AppliesTo appliesTo = AppliesTo::Device;
  std::vector<uint16_t> select;  // the block or NV indexes (ranges spelt out), none for the device
  uint8_t scope = 0;             // 0: a standard type (SCPT); else the resource-file scope of a user type
  uint8_t flags = 0x80;
  uint16_t typeIndex = 0;
  uint16_t size = 0;             // bytes of one element (0 in a configuration NV's string: the NV's length)
  uint16_t dimension = 1;        // elements
  std::string range;             // "min:max" as written, "" for none
  bool changeableType = false;   // a configuration NV's "?"

  bool Constant() const { return (flags & cp_flag::kConstant) != 0; }
  bool ManufacturingOnly() const { return (flags & 0x90) == 0x90; }
  // size x dimension
  uint32_t Bytes() const { return uint32_t{size} * dimension; }
};

// One template record; `what` names it in errors. Raises InterfaceError.
CpRecord ParseCpRecord(std::string_view text, const std::string& what);
// The records of a template file in file order; raises InterfaceError naming the record (by its
// number from 1 and its text) that is damaged, or a file without a version.
std::vector<CpRecord> ParseTemplateFile(std::string_view file);
// The "&header,select,<scope><flags>,type[,dimension][,range][,?][;text]" string of a
// configuration NV. Raises InterfaceError naming `what`.
CpRecord ParseConfigNvSelfDoc(std::string_view text, const std::string& what);

// Where a CP's bytes live.
struct CpPlace {
  enum class Kind : uint8_t { ConfigNv, WritableFile, ReadOnlyFile } kind = Kind::WritableFile;
  uint32_t offset = 0;  // in its value file
  uint16_t nvIndex = 0; // the configuration NV
};
// The places of the template's records in the value files: in record order, size x dimension
// bytes each, without padding; constant records in the read-only file when the device has one.
std::vector<CpPlace> ValueFileLayout(const std::vector<CpRecord>& records, bool readOnlyFile);

}  // namespace platform::device_interface
