#include "platform/lns_embedded/nv_types.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/error.h"
#include "base/number_text.h"
#include "base/text.h"
#include "lns/lns_errors.h"

namespace platform::lns_embedded {
namespace {

[[noreturn]] void BadValue(const std::string& what) { throw base::Error(lns::err::kBadValue, "LNS", what); }

const std::vector<NvType>& Types() {
  static const std::vector<NvType> kTypes{
      {8, "SNVT_count", 2, {{"count", 0, 2, false, 1}}},
      {79, "SNVT_lux", 2, {{"lux", 0, 2, false, 1, "lux"}}},
      {81, "SNVT_percent", 2, {{"percent", 0, 2, true, 0.005, "%"}}},
      {95, "SNVT_switch", 2, {{"value", 0, 1, false, 0.5, "%", 100}, {"state", 1, 1, true, 1}}},
      {105, "SNVT_temp_p", 2, {{"temp", 0, 2, true, 0.01, "\xC2\xB0" "C"}}},
      {107, "SNVT_time_sec", 2, {{"time", 0, 2, false, 0.1, "s"}}},
      {109, "SNVT_occupancy", 1, {{"occupancy", 0, 1, true, 1}}},
      // The Node Object's file directory: a 16-bit address in the device's memory.
      {114, "SNVT_address", 2, {{"address", 0, 2, false, 1}}},
      {115, "SNVT_scene", 2, {{"function", 0, 1, true, 1}, {"scene_number", 1, 1, false, 1}}},
      {117,
       "SNVT_setting",
       4,
       {{"function", 0, 1, true, 1}, {"setting", 1, 1, false, 0.5, "%", 100}, {"rotation", 2, 2, true, 0.01, "\xC2\xB0"}}},
  };
  return kTypes;
}

int64_t ReadNumber(const std::vector<uint8_t>& bytes, int offset, int size, bool isSigned) {
  uint64_t value = 0;
  for (int i = 0; i < size; ++i) value = (value << 8) | bytes[static_cast<size_t>(offset + i)];
  if (isSigned && size < 8 && value >= (uint64_t{1} << (8 * size - 1))) {
    return static_cast<int64_t>(value) - (int64_t{1} << (8 * size));
  }
  return static_cast<int64_t>(value);
}

std::string NumberText(double value, double scale) {
  const int decimals = scale >= 1 ? 0 : (scale >= 0.1 ? 1 : (scale >= 0.01 ? 2 : 3));
  return base::FormatFixed(value, decimals);
}

}  // namespace

const NvType* FindNvType(int16_t index) {
  for (const auto& type : Types()) {
    if (type.index == index) return &type;
  }
  return nullptr;
}

const NvType* FindNvTypeByName(std::string_view name) {
  for (const auto& type : Types()) {
    if (base::EqualsNoCase(type.name, name)) return &type;
  }
  return nullptr;
}

int NvTypeSize(int16_t index, int fallbackSize) {
  const NvType* type = FindNvType(index);
  return type != nullptr ? type->size : fallbackSize;
}

std::string FormatRaw(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += '\t';
    text += std::to_string(bytes[i]);
  }
  return text;
}

std::vector<uint8_t> ParseRaw(std::string_view text, size_t expectedSize) {
  std::vector<uint8_t> bytes;
  for (const auto& field : base::Split(text, "\t")) {
    const std::string_view trimmed = base::TrimWhitespace(field);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (trimmed.empty() || ec != std::errc() || end != trimmed.data() + trimmed.size() || value > 255) {
      BadValue("\"" + std::string(trimmed) + "\" is not a byte value (0..255)");
    }
    bytes.push_back(static_cast<uint8_t>(value));
  }
  if (bytes.size() != expectedSize) {
    BadValue(std::to_string(bytes.size()) + " bytes given, " + std::to_string(expectedSize) + " expected");
  }
  return bytes;
}

std::string FormatHex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char digits[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    if (i > 0) text += ' ';
    text += digits;
  }
  return text;
}

std::vector<uint8_t> ParseHex(std::string_view text, size_t expectedSize) {
  std::vector<uint8_t> bytes;
  for (const auto& field : base::Split(base::TrimWhitespace(text), " ")) {
    if (field.empty()) continue;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value, 16);
    if (ec != std::errc() || end != field.data() + field.size() || field.size() > 2) {
      BadValue("\"" + field + "\" is not a hexadecimal byte");
    }
    bytes.push_back(static_cast<uint8_t>(value));
  }
  if (bytes.size() != expectedSize) {
    BadValue(std::to_string(bytes.size()) + " bytes given, " + std::to_string(expectedSize) + " expected");
  }
  return bytes;
}

std::string ElementText(const NvElementType& element, const std::vector<uint8_t>& bytes) {
  if (static_cast<size_t>(element.offset + element.size) > bytes.size()) BadValue("the value is too short");
  const int64_t raw = ReadNumber(bytes, element.offset, element.size, element.isSigned);
  return NumberText(static_cast<double>(raw) * element.scale, element.scale);
}

void SetElement(const NvElementType& element, std::string_view text, std::vector<uint8_t>& bytes) {
  const std::string_view trimmed = base::TrimWhitespace(text);
  const std::string copy(trimmed);
  const size_t sign = !copy.empty() && (copy[0] == '-' || copy[0] == '+') ? 1 : 0;
  double shown = 0;
  const auto [end, ec] = std::from_chars(copy.data() + sign, copy.data() + copy.size(), shown);
  if (sign == 1 && copy[0] == '-') shown = -shown;
  if (copy.size() == sign || ec != std::errc() || end != copy.data() + copy.size() || !std::isfinite(shown)) {
    BadValue("\"" + copy + "\" is not a number for " + std::string(element.name));
  }
  const double raw = std::nearbyint(shown / element.scale);
  const double bits = 8.0 * element.size;
  const double low = element.isSigned ? -std::pow(2.0, bits - 1) : 0;
  const double high = element.isSigned ? std::pow(2.0, bits - 1) - 1 : std::pow(2.0, bits) - 1;
  if (raw < low || raw > high) BadValue(copy + " is outside the range of " + std::string(element.name));
  auto value = static_cast<uint64_t>(static_cast<int64_t>(raw));
  for (int i = element.size - 1; i >= 0; --i) {
    bytes[static_cast<size_t>(element.offset + i)] = static_cast<uint8_t>(value & 0xFF);
    value >>= 8;
  }
}

std::string FormatNvValue(int16_t typeIndex, const std::vector<uint8_t>& bytes, std::string_view format) {
  const NvType* type = FindNvType(typeIndex);
  if (type == nullptr || format == "RAW" || bytes.size() != static_cast<size_t>(type->size)) return FormatRaw(bytes);
  std::string text;
  for (const auto& element : type->elements) {
    if (!text.empty()) text += ' ';
    text += ElementText(element, bytes);
  }
  return text;
}

std::vector<uint8_t> ParseNvValue(int16_t typeIndex, std::string_view text, std::string_view format, size_t size) {
  const NvType* type = FindNvType(typeIndex);
  if (type == nullptr || format == "RAW") return ParseRaw(text, size);
  std::vector<std::string> fields;
  for (auto& field : base::Split(base::TrimWhitespace(text), " ")) {
    if (!field.empty()) fields.push_back(std::move(field));
  }
  if (fields.size() != type->elements.size()) {
    BadValue(std::string(type->name) + " needs " + std::to_string(type->elements.size()) + " values");
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(type->size), 0);
  for (size_t i = 0; i < fields.size(); ++i) SetElement(type->elements[i], fields[i], bytes);
  return bytes;
}

}  // namespace platform::lns_embedded

namespace platform::lns_embedded {

std::optional<lns::NvTypeScaling> EmbeddedNvTypeInformation::Scaling(int32_t typeIndex, int16_t selector) const {
  if (typeIndex < INT16_MIN || typeIndex > INT16_MAX) return std::nullopt;
  const NvType* type = FindNvType(static_cast<int16_t>(typeIndex));
  if (type == nullptr || type->elements.empty()) return std::nullopt;
  const NvElementType* element = nullptr;
  if (selector == 0) {
    element = &type->elements.front();
  } else {
    const std::string_view wanted = selector == 1 ? "value" : (selector == 2 ? "setting" : "");
    for (const auto& candidate : type->elements) {
      if (candidate.name == wanted) element = &candidate;
    }
  }
  if (element == nullptr) return std::nullopt;
  const double bits = 8.0 * element->size;
  const double low = element->isSigned ? -std::pow(2.0, bits - 1) : 0;
  const double high = element->isSigned ? std::pow(2.0, bits - 1) - 1 : std::pow(2.0, bits) - 1;
  lns::NvTypeScaling scaling;
  scaling.factor = static_cast<int32_t>(std::lround(1.0 / element->scale));
  scaling.resolution = static_cast<float>(element->scale);
  scaling.offset = 0;
  scaling.rangeMin = static_cast<float>(low * element->scale);
  scaling.rangeMax = static_cast<float>(element->shownMax != 0 ? element->shownMax : high * element->scale);
  scaling.unitText = std::string(element->unit);
  return scaling;
}

}  // namespace platform::lns_embedded
