#include "base/error.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <new>

namespace base {
namespace {

struct ErrorInfo {
  int32_t number;
  std::string_view description;
};

constexpr std::array kErrorTable{
    ErrorInfo{err::kInvalidCallOrKey, "Invalid procedure call or argument"},
    ErrorInfo{err::kOverflow, "Overflow"},
    ErrorInfo{err::kOutOfMemory, "Out of memory"},
    ErrorInfo{err::kSubscriptOutOfRange, "Subscript out of range"},
    ErrorInfo{err::kDivisionByZero, "Division by zero"},
    ErrorInfo{err::kTypeMismatch, "Type mismatch"},
    ErrorInfo{err::kInternal, "Internal error"},
    ErrorInfo{err::kFileNotFound, "File not found"},
    ErrorInfo{err::kPathFileAccess, "Path/File access error"},
    ErrorInfo{err::kInvalidFileFormat, "Invalid file format"},
    ErrorInfo{err::kInvalidPropertyValue, "Invalid property value"},
    ErrorInfo{err::kMemberNotSupported, "Object doesn't support this property or method"},
    ErrorInfo{err::kDuplicateKey, "This key is already associated with an element of this collection"},
    ErrorInfo{err::kRefusedArguments, "Invalid arguments"},
    ErrorInfo{err::kNotAvailable, "Not available yet"},
    ErrorInfo{err::kCpNvNotPlaced, "CP or NV not placed by the INI file"},
    ErrorInfo{err::kReadOnlyProperty, "Write not supported. This property is read-only."},
};

}  // namespace

std::string_view DefaultDescription(int32_t number) {
  for (const auto& info : kErrorTable) {
    if (info.number == number) return info.description;
  }
  return {};
}

std::string ErrorNumberText(int32_t number) {
  if (number >= 0) return std::to_string(number);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<uint32_t>(number));
  return hex;
}

Error::Error(int32_t number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

Error::Error(int32_t number, std::string source)
    : Error(number, std::move(source), std::string(DefaultDescription(number))) {}

Error NotAvailable(std::string source, std::string_view what) {
  return Error(err::kNotAvailable, std::move(source), std::string(what) + " is not available yet");
}

Error ToError(const std::exception& e, std::string_view source) {
  if (const auto* own = dynamic_cast<const Error*>(&e)) return *own;
  if (dynamic_cast<const std::filesystem::filesystem_error*>(&e) != nullptr) {
    return Error(err::kPathFileAccess, std::string(source), e.what());
  }
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
    return Error(err::kOutOfMemory, std::string(source));
  }
  return Error(err::kInternal, std::string(source), e.what());
}

}  // namespace base
