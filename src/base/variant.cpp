#include "base/variant.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "base/error.h"
#include "base/text.h"

namespace base {
namespace {

[[noreturn]] void Mismatch() { throw Error(err::kTypeMismatch, "Variant"); }

// A text that is a whole number as written (blanks around it allowed).
double NumberOfText(const std::string& text) {
  const std::string_view trimmed = TrimWhitespace(text);
  if (trimmed.empty()) Mismatch();
  std::string copy(trimmed);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value)) Mismatch();
  return value;
}

}  // namespace

double Variant::ToDouble() const {
  switch (GetType()) {
    case Type::Bool: return std::get<bool>(value_) ? -1.0 : 0.0;
    case Type::Integer: return static_cast<double>(std::get<int64_t>(value_));
    case Type::Double: return std::get<double>(value_);
    case Type::String: return NumberOfText(std::get<std::string>(value_));
    case Type::Empty: return 0;
    case Type::Object: break;
  }
  Mismatch();
}

bool Variant::ToBool() const {
  if (GetType() == Type::Bool) return std::get<bool>(value_);
  if (GetType() == Type::String) {
    const std::string& text = std::get<std::string>(value_);
    if (EqualsNoCase(text, "true")) return true;
    if (EqualsNoCase(text, "false")) return false;
  }
  return ToDouble() != 0;
}

int16_t Variant::ToInt16() const { return CInt(ToDouble()); }
int32_t Variant::ToInt32() const { return CLng(ToDouble()); }

std::string Variant::ToString() const {
  switch (GetType()) {
    case Type::Empty: return {};
    case Type::Bool: return std::get<bool>(value_) ? "True" : "False";
    case Type::Integer: return std::to_string(std::get<int64_t>(value_));
    case Type::Double: {
      char text[32];
      std::snprintf(text, sizeof text, "%.15g", std::get<double>(value_));
      return text;
    }
    case Type::String: return std::get<std::string>(value_);
    case Type::Object: break;
  }
  Mismatch();
}

DispatchPtr Variant::ToObject() const {
  if (GetType() == Type::Empty) return nullptr;
  if (GetType() != Type::Object) Mismatch();
  return std::get<DispatchPtr>(value_);
}

}  // namespace base
