#pragma once
// Self-identification data, as Query SI Data or Read Memory give it: a header of version 0 (5
// bytes), 1 (6) or 2 (17), two bytes per NV entry (flags, standard type index), the node
// self-documentation string, one extension record for each entry whose flags say so, and the
// alias field. Numbers are big-endian. An entry with an array count stands for that many NVs.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::device_interface {

// The bits of an SI entry's flags byte.
namespace si_flag {
inline constexpr uint8_t kExtension = 0x80;
inline constexpr uint8_t kSync = 0x40;
inline constexpr uint8_t kPolled = 0x20;
inline constexpr uint8_t kOffline = 0x10;
inline constexpr uint8_t kServiceConfigurable = 0x08;
inline constexpr uint8_t kPriorityConfigurable = 0x04;
inline constexpr uint8_t kAuthConfigurable = 0x02;
inline constexpr uint8_t kConfigClass = 0x01;  // a configuration NV
}  // namespace si_flag

struct SiNv {
  uint16_t index = 0;      // on the device: the first of an array's
  uint8_t flags = 0;
  uint8_t typeIndex = 0;   // 0: not a standard type
  std::optional<uint8_t> maxRate, rate;
  std::string name;        // "" when the data give none
  std::string selfDoc;     // "" when the data give none
  uint16_t arrayCount = 0; // 0: not an array
};

struct SiData {
  uint8_t version = 0;
  uint16_t length = 0;       // the total the header declares
  uint16_t nvEntries = 0;
  uint8_t messageTags = 0;
  std::vector<SiNv> nvs;
  std::string nodeSelfDoc;
  uint16_t aliases = 0;
  bool bindingII = false, queryStatistics = false;
};

// Raises InterfaceError saying what is missing or wrong and at which byte.
SiData ParseSiData(std::span<const uint8_t> bytes);

}  // namespace platform::device_interface
