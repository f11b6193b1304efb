#pragma once
// Numbered errors with a source and a description, raised as exceptions.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace base {

// The error numbers the system raises or tests for.
namespace err {
inline constexpr int32_t kInvalidCallOrKey = 5;         // invalid procedure call / missing key
inline constexpr int32_t kOverflow = 6;                 // a number does not fit its type
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kDivisionByZero = 11;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kInternal = 51;                // an exception that is not a numbered error
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kPathFileAccess = 75;          // a file system operation failed
inline constexpr int32_t kInvalidFileFormat = 321;
inline constexpr int32_t kInvalidPropertyValue = 380;
inline constexpr int32_t kMemberNotSupported = 438;     // a member the object does not have
inline constexpr int32_t kDuplicateKey = 457;
inline constexpr int32_t kAppErrorBase = static_cast<int32_t>(0x80040000u);  // first application error
inline constexpr int32_t kRefusedArguments = kAppErrorBase + 1000;  // 0x800403E8, arguments a call refuses
inline constexpr int32_t kNotAvailable = kAppErrorBase + 1999;      // a piece not built yet
inline constexpr int32_t kCpNvNotPlaced = 10000;  // a CP or NV the INI file does not place
inline constexpr int32_t kReadOnlyProperty = -2147201502;          // 0x80044E22, write to a read-only property
}  // namespace err

// The standard description of an error number ("" when the number has none).
std::string_view DefaultDescription(int32_t number);

// An error number as shown to a user: negative numbers (status codes with the top bit set)
// in hex, "0x80040FA1", others in decimal, "321".
std::string ErrorNumberText(int32_t number);

// A numbered error; what() is its description.
class Error : public std::runtime_error {
 public:
  // An error with its number, the object or procedure that raised it, and its text.
  Error(int32_t number, std::string source, std::string description);
  // An error with the standard description of its number.
  Error(int32_t number, std::string source);

  // What the constructor was given.
  int32_t Number() const noexcept { return number_; }
  const std::string& Source() const noexcept { return source_; }
  const std::string& Description() const noexcept { return description_; }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

// The error raised by a piece of the system that is not built yet.
Error NotAvailable(std::string source, std::string_view what);

// Converts any exception caught by a handler into a numbered error: a numbered error stays as
// it is, a file system error becomes 75, an allocation failure 7, anything else 51.
Error ToError(const std::exception& e, std::string_view source);

}  // namespace base
