#pragma once
// The NV types the embedded server knows, their byte layout and their value text.
//
// Value text of an NV (format ""): its elements in order, separated by one blank, each as
// a decimal number with its scale applied (SNVT_switch 100.0 1 = value 100.0 %, state 1).
// Format "RAW": the bytes as decimal numbers separated by TAB, as for CPs.
// Types not in the table hold their bytes and read as "RAW".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lns/nv_type_info.h"

namespace platform::lns_embedded {

struct NvElementType {
  std::string_view name;
  int offset;  // byte offset in the value
  int size;    // 1, 2 or 4 bytes, most significant first
  bool isSigned;
  double scale;  // shown value = stored number * scale
  std::string_view unit = {};  // unit text of the shown value
  double shownMax = 0;         // the type's own upper limit, when narrower than its bytes
};

struct NvType {
  int16_t index;
  std::string_view name;
  int size;  // bytes
  std::vector<NvElementType> elements;
};

// The type with that index, or a raw type of `fallbackSize` bytes when it is unknown.
const NvType* FindNvType(int16_t index);
const NvType* FindNvTypeByName(std::string_view name);
int NvTypeSize(int16_t index, int fallbackSize);

std::string FormatRaw(const std::vector<uint8_t>& bytes);
// Raises the bad-value error when a field is not a number of 0..255 or the count differs.
std::vector<uint8_t> ParseRaw(std::string_view text, size_t expectedSize);
std::string FormatHex(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ParseHex(std::string_view text, size_t expectedSize);

// The value text of `bytes` in `format` ("" or "RAW").
std::string FormatNvValue(int16_t typeIndex, const std::vector<uint8_t>& bytes, std::string_view format);
std::vector<uint8_t> ParseNvValue(int16_t typeIndex, std::string_view text, std::string_view format, size_t size);
std::string ElementText(const NvElementType& element, const std::vector<uint8_t>& bytes);

// The scaling of the types' numeric fields, for text box parameters (selector 0: the first
// field, 1: "value", 2: "setting").
class EmbeddedNvTypeInformation final : public lns::NvTypeInformation {
 public:
  std::optional<lns::NvTypeScaling> Scaling(int32_t typeIndex, int16_t selector) const override;
};
// Writes one element into `bytes`; raises the bad-value error for a text that does not fit.
void SetElement(const NvElementType& element, std::string_view text, std::vector<uint8_t>& bytes);

}  // namespace platform::lns_embedded
