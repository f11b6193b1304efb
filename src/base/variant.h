#pragma once
// Variant: the value of an automation argument or property: empty, Boolean, whole number,
// floating-point number, text or an object reference.

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>

namespace base {

class Dispatch;
using DispatchPtr = std::shared_ptr<Dispatch>;

class Variant {
 public:
  // What a Variant holds; Integer is any whole number (held as 64 bits).
  enum class Type { Empty, Bool, Integer, Double, String, Object };

  // An empty Variant, or one holding the given value.
  Variant() = default;
  Variant(bool value) : value_(value) {}  // NOLINT(google-explicit-constructor)
  template <typename Int, std::enable_if_t<std::is_integral_v<Int> && !std::is_same_v<Int, bool>, int> = 0>
  Variant(Int value) : value_(static_cast<int64_t>(value)) {}  // NOLINT(google-explicit-constructor)
  Variant(double value) : value_(value) {}                      // NOLINT(google-explicit-constructor)
  Variant(std::string value) : value_(std::move(value)) {}      // NOLINT(google-explicit-constructor)
  Variant(const char* value) : value_(std::string(value)) {}    // NOLINT(google-explicit-constructor)
  Variant(DispatchPtr object) : value_(std::move(object)) {}    // NOLINT(google-explicit-constructor)

  // What the Variant holds.
  Type GetType() const { return static_cast<Type>(value_.index()); }
  bool IsEmpty() const { return GetType() == Type::Empty; }
  bool IsObject() const { return GetType() == Type::Object; }

  // Conversions as the automation callee sees them: a value of another type raises the
  // type-mismatch error (13), a number out of range the overflow error (6). Numeric texts
  // convert to numbers, numbers to texts; Booleans are -1 and 0 as numbers.
  bool ToBool() const;
  int16_t ToInt16() const;
  int32_t ToInt32() const;
  double ToDouble() const;
  std::string ToString() const;
  DispatchPtr ToObject() const;  // an empty Variant gives nullptr (Nothing)

  // Same type and same value; no conversion (the whole number 1 differs from the double 1.0).
  bool operator==(const Variant& other) const { return value_ == other.value_; }

 private:
  std::variant<std::monostate, bool, int64_t, double, std::string, DispatchPtr> value_;
};

}  // namespace base
