#pragma once
// Self-documentation strings: the node's ("&3.4@0NodeObject,4[2Lamp;text"), which lists the
// device's functional blocks, and an NV's ("@0|1", "@7#2[3]?;text"), which says which block and
// member the NV is. A configuration NV's "&..." string is a CP record (cp_records.h).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::device_interface {

struct FunctionalBlock {
  uint16_t index = 0;       // in the order the node string lists them, a count standing for that many
  uint32_t profileKey = 0;  // 0: the Node Object
  std::string name;         // "" when the string gives none
};

struct NodeSelfDoc {
  uint8_t major = 0, minor = 0;  // of the self-documentation format ("3.4")
  std::vector<FunctionalBlock> blocks;
  std::string text;  // after ';'
};

// Raises InterfaceError naming `what` and the block entry that is damaged.
NodeSelfDoc ParseNodeSelfDoc(std::string_view text, const std::string& what);

struct NvSelfDoc {
  uint16_t block = 0, lastBlock = 0;  // the block (a range for an NV shared by several)
  bool standardMember = true;         // '|' a member of the profile, '#' a maker's member
  uint16_t member = 0;
  std::optional<uint16_t> arrayIndex;
  bool changeableType = false;        // '?'
  std::string text;                   // after ';'
};

// nullopt for a string that names no member ("", "*", text only). Raises InterfaceError naming
// `what` for one that begins as a member and is damaged.
std::optional<NvSelfDoc> ParseNvSelfDoc(std::string_view text, const std::string& what);

}  // namespace platform::device_interface
