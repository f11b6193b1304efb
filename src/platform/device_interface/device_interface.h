#pragma once
// A device's whole interface in one model, as read from the device itself: its program ID,
// functional blocks, NVs (with direction, service and self-documentation), its CPs with where
// their bytes live and their values, and how its CP files are reached. The file directory that
// the Node Object's nvoFileDirectory points at is read here too.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/device_interface/cp_records.h"
#include "platform/device_interface/self_doc.h"

namespace platform::device_interface {

struct InterfaceNv {
  uint16_t index = 0;
  std::string name;            // "" when the device gives none
  uint8_t typeIndex = 0;       // standard type, 0 for none
  uint16_t length = 0;         // bytes of its value (0: unknown, the device gave none)
  bool output = false;
  uint8_t service = 0;         // 0 acknowledged, 1 repeated, 2 unacknowledged
  uint8_t siFlags = 0;         // the si_flag bits (polled, sync, configuration class, ...)
  std::string selfDoc;
  std::optional<NvSelfDoc> member;  // which block and member it is
  std::optional<CpRecord> cp;       // a configuration NV: the CP it holds
  std::vector<uint8_t> value;       // as the device held it when read
};

// How the device offers its CP files.
enum class FileAccess : uint8_t { None, DirectMemory, FileTransfer };

// The kinds of file a directory entry names.
namespace file_type {
inline constexpr uint16_t kValue = 1;
inline constexpr uint16_t kTemplate = 2;
}  // namespace file_type

struct FileEntry {
  uint16_t type = 0;
  uint16_t size = 0;
  uint16_t address = 0;  // in the device's memory space
};

struct FileDirectory {
  uint8_t version = 0;  // major and minor nibble: 0x10 is 1.0
  std::vector<FileEntry> files;
};
// Bytes of one entry: 5 before version 2.0, 6 from it (the type takes two).
size_t DirectoryEntrySize(uint8_t version);
// The entries, `count` of them, read from `bytes` (the directory's bytes after its version and
// count). Raises InterfaceError when they are short.
FileDirectory ParseFileDirectory(uint8_t version, uint8_t count, std::span<const uint8_t> bytes);

// The CP files in a directory: index 0 the template, 1 the writable value file, 2 the
// read-only one. Raises InterfaceError when index 0 is not a template, a value file is of
// another type, or a file runs past the end of memory or overlaps another or the directory
// (at `directoryAddress`): a write into the value file must never reach them.
struct CpFiles {
  FileEntry templateFile;
  std::optional<FileEntry> writable, readOnly;
};
CpFiles CpFilesOf(const FileDirectory& directory, uint16_t directoryAddress);

// One CP of the device.
struct InterfaceCp {
  CpRecord record;
  uint16_t recordNumber = 0;  // in the template file, from 1; 0 for a configuration NV
  CpPlace place;
  std::vector<uint8_t> value;  // record.Bytes() bytes once read
};

// The CPs of a template's records, placed in the value files.
std::vector<InterfaceCp> TemplateCps(const std::vector<CpRecord>& records, bool readOnlyFile);
// Takes each CP's value out of its value file. Raises InterfaceError naming the record and the
// file when the file is too short to hold it.
void TakeValues(std::vector<InterfaceCp>& cps, std::span<const uint8_t> writable, std::span<const uint8_t> readOnly);

// The part of a record one item it applies to gets: a record for several blocks or NVs whose
// dimension is a multiple of their number gives each its own elements, in select order; one
// whose dimension is not gives each item the whole (shared) value.
struct CpShare {
  AppliesTo kind = AppliesTo::Device;
  uint16_t index = 0;     // the block or NV (0 for the device)
  uint32_t offset = 0;    // bytes into the record's value
  uint16_t dimension = 1; // elements of record.size bytes
  bool shared = false;    // the same bytes as the record's other items
};
std::vector<CpShare> SharesOf(const CpRecord& record);

struct DeviceInterface {
  std::string programId;  // 16 hexadecimal digits
  uint8_t siVersion = 0;
  NodeSelfDoc node;
  std::vector<InterfaceNv> nvs;
  FileAccess fileAccess = FileAccess::None;
  uint16_t directoryAddress = 0;
  std::vector<FileEntry> files;
  std::vector<InterfaceCp> cps;  // the template's records in file order, then the configuration NVs'
  // Why the CPs in files are not in `cps` ("" when they are, or the device has none): a damaged
  // template, files reached only by file transfer, ...
  std::string cpProblem;
};

// "SCPTlocation (17)", "SCPT 49", "UCPT 9 (scope 1)"
std::string CpTypeText(const CpRecord& record);
// "writable value file at 12", "read-only value file at 0", "configuration NV 5 (nciHoldTime)"
std::string CpPlaceText(const InterfaceCp& cp, const DeviceInterface& device);
// The interface as an engineer reads it: the program ID, the blocks with their NVs, the NVs
// of no block, the CPs with what they apply to, their flags, where they live and their values.
std::string InterfaceText(const DeviceInterface& device);

}  // namespace platform::device_interface
