#include "params/cp_part.h"

#include <limits>
#include <optional>
#include <vector>

#include "base/encoding.h"
#include "base/error.h"
#include "base/text.h"
#include "params/config_prop.h"

namespace params::cp_part {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr const char* kRaw = "RAW";

[[noreturn]] void Fail(const std::string& why) { throw base::Error(base::err::kOverflow, "CpPart", why); }

// The values of LNS CPs fetched during the current read pass (none outside a pass).
thread_local std::map<const lns::ConfigProperty*, Bytes>* g_readPass = nullptr;

// The bytes of a "RAW" value text (decimal numbers separated by TAB).
Bytes ParseRawText(const std::string& text) {
  Bytes bytes;
  for (const auto& field : base::Split(text, "\t")) {
    const std::string_view trimmed = base::TrimWhitespace(field);
    const double number = base::Val(trimmed);
    if (trimmed.empty() || number < 0 || number > 255) Fail("the CP value \"" + text + "\" is not a list of bytes");
    bytes.push_back(static_cast<uint8_t>(number));
  }
  return bytes;
}

std::string RawText(const Bytes& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) text += (i > 0 ? "\t" : "") + std::to_string(bytes[i]);
  return text;
}

// Bytes from..from+count-1 (1-based); a part past the end is an error.
Bytes Slice(const Bytes& bytes, int16_t from, int32_t count) {
  if (from < 1 || count < 0 || from - 1 + count > static_cast<int32_t>(bytes.size())) {
    Fail("bytes " + std::to_string(from) + " to " + std::to_string(from - 1 + count) + " lie outside the CP's " +
         std::to_string(bytes.size()) + " bytes");
  }
  return Bytes(bytes.begin() + (from - 1), bytes.begin() + (from - 1 + count));
}

// The number of a part: MSB first, narrowed to UsedBytes, two's complement when signed.
int32_t NumberOf(Bytes part, int32_t n, bool isSigned, uint8_t usedBytes) {
  if (usedBytes > 0 && usedBytes < n && static_cast<size_t>(usedBytes) < part.size()) part.resize(usedBytes);
  if (part.size() > 8) Fail("a number of more than 8 bytes");
  const auto m = static_cast<int>(part.size());
  int64_t value = 0;
  for (uint8_t b : part) value = (value << 8) | b;
  if (isSigned && m > 0 && m < 8 && value >= (int64_t{1} << (8 * m - 1))) value -= int64_t{1} << (8 * m);
  if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min()) {
    Fail("the number " + std::to_string(value) + " does not fit 32 bits");
  }
  return static_cast<int32_t>(value);
}

// The n bytes that a number takes in a part (see the header for UsedBytes).
Bytes BytesOf(int32_t value, int32_t n, bool isSigned, uint8_t usedBytes) {
  if (n < 1 || n > 8) Fail("a part of " + std::to_string(n) + " bytes cannot hold a number");
  const int32_t m = (usedBytes > 0 && usedBytes < n) ? usedBytes : n;
  int64_t number = value;
  if (isSigned && number < 0 && m < 8) number += int64_t{1} << (8 * m);
  if (number < 0 || (m < 8 && number >= (int64_t{1} << (8 * m)))) {
    Fail("the value " + std::to_string(value) + " does not fit " + (isSigned ? "a signed" : "an unsigned") + " part of " +
         std::to_string(m) + (m == 1 ? " byte" : " bytes"));
  }
  Bytes bytes(static_cast<size_t>(n), 0);
  for (int32_t i = m - 1; i >= 0; --i) {
    bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(number & 0xFF);
    number >>= 8;
  }
  return bytes;
}

std::string TextOf(const Bytes& part) {
  std::string raw;
  for (uint8_t b : part) {
    if (b == 0) break;
    raw += static_cast<char>(b);
  }
  return base::Windows1252ToUtf8(raw);
}

Bytes CharactersOf(const std::string& text, int32_t length) {
  if (length < 0) Fail("a text part of negative length");
  std::string raw = base::Utf8ToWindows1252(text);
  raw.resize(static_cast<size_t>(length), '\0');
  return Bytes(raw.begin(), raw.end());
}

Failure Described(const std::exception& e) {
  if (const auto* error = dynamic_cast<const base::Error*>(&e)) {
    return error->Description().empty() ? "error " + base::ErrorNumberText(error->Number()) : error->Description();
  }
  return e.what();
}

enum class Access { Read, Write };

// Runs `transfer` on the CP's "RAW" value text and restores its format; errors are swallowed
// and described. Within a read pass a read takes the value fetched before.
template <typename Transfer>
Failure WithRawValue(lns::ConfigProperty* cp, Access access, Transfer transfer) {
  if (cp == nullptr) return "no CP";
  if (g_readPass != nullptr) {
    const auto cached = g_readPass->find(cp);
    if (access == Access::Write && cached != g_readPass->end()) g_readPass->erase(cached);
    if (access == Access::Read && cached != g_readPass->end()) {
      try {
        transfer(cached->second);
        return {};
      } catch (const std::exception& e) {
        return Described(e);
      }
    }
  }
  Failure failure;
  std::optional<std::string> saved;
  try {
    saved = cp->ValueFormat();
    cp->SetValueFormat(kRaw);
    Bytes bytes = ParseRawText(cp->Value());
    if (g_readPass != nullptr && access == Access::Read) (*g_readPass)[cp] = bytes;
    transfer(bytes);
  } catch (const std::exception& e) {
    failure = Described(e);  // swallowed: the caller goes on as if the transfer had succeeded
  }
  if (!saved) return failure;
  try {
    cp->SetValueFormat(*saved);
  } catch (const std::exception& e) {
    if (failure.empty()) failure = Described(e);
  }
  return failure;
}

template <typename Transfer>
Failure Swallowing(Transfer transfer) {
  try {
    transfer();
    return {};
  } catch (const std::exception& e) {
    return Described(e);
  }
}

// The part of an LNS CP's bytes and its width n (BytePos < 1: all bytes, n = element size).
std::pair<Bytes, int32_t> LnsPart(lns::ConfigProperty* cp, const Bytes& all, int16_t bytePos, int16_t byteLength) {
  if (bytePos < 1) return {all, cp->ElementSize()};
  return {Slice(all, bytePos, byteLength), byteLength};
}

// The part of a buffer's bytes (BytePos < 1: all of them).
Bytes BufferPart(cConfigProp* cp, int16_t bytePos, int16_t byteLength) {
  const Bytes all = cp->ByteValueArray();
  return bytePos < 1 ? all : Slice(all, bytePos, byteLength);
}

void StoreInBuffer(cConfigProp* cp, int16_t bytePos, const Bytes& bytes) {
  const int32_t first = bytePos < 1 ? 1 : bytePos;
  if (first - 1 + static_cast<int32_t>(bytes.size()) > cp->ByteLength()) {
    Fail("bytes " + std::to_string(first) + " to " + std::to_string(first - 1 + static_cast<int32_t>(bytes.size())) +
         " lie outside the buffer's " + std::to_string(cp->ByteLength()) + " bytes");
  }
  for (size_t i = 0; i < bytes.size(); ++i) cp->SetByteValue(first + static_cast<int32_t>(i), bytes[i]);
}

// The LNS CP's value with `bytes` written at BytePos (BytePos < 1: from the first byte).
void StoreInLnsCp(lns::ConfigProperty* cp, Bytes all, int16_t bytePos, const Bytes& bytes) {
  const int32_t first = bytePos < 1 ? 1 : bytePos;
  if (first - 1 + static_cast<int32_t>(bytes.size()) > static_cast<int32_t>(all.size())) {
    Fail("bytes " + std::to_string(first) + " to " + std::to_string(first - 1 + static_cast<int32_t>(bytes.size())) +
         " lie outside the CP's " + std::to_string(all.size()) + " bytes");
  }
  std::copy(bytes.begin(), bytes.end(), all.begin() + (first - 1));
  cp->SetValue(RawText(all));
}

}  // namespace

ReadPassCache::ReadPassCache() {
  if (g_readPass != nullptr) return;  // an outer pass holds the values
  g_readPass = new std::map<const lns::ConfigProperty*, Bytes>();
  owner_ = true;
}

ReadPassCache::~ReadPassCache() {
  if (!owner_) return;
  delete g_readPass;
  g_readPass = nullptr;
}

Failure ReadCpPart(CpPartKey, lns::ConfigProperty* cp, int32_t& value, bool isSigned, int16_t bytePos,
                int16_t byteLength, uint8_t usedBytes) {
  value = 0;
  return WithRawValue(cp, Access::Read, [&](const Bytes& all) {
    const auto [part, n] = LnsPart(cp, all, bytePos, byteLength);
    value = NumberOf(part, n, isSigned, usedBytes);
  });
}

Failure ReadExtCpPart(CpPartKey, cConfigProp* cp, int32_t& value, bool isSigned, int16_t bytePos, int16_t byteLength,
                   uint8_t usedBytes) {
  value = 0;
  if (cp == nullptr) return "no CP buffer";
  return Swallowing([&] {
    const Bytes part = BufferPart(cp, bytePos, byteLength);
    value = NumberOf(part, static_cast<int32_t>(part.size()), isSigned, usedBytes);
  });
}

Failure ReadCpAsciiPart(CpPartKey, lns::ConfigProperty* cp, std::string& text, int16_t bytePos, int16_t byteLength) {
  text.clear();
  return WithRawValue(cp, Access::Read, [&](const Bytes& all) { text = TextOf(LnsPart(cp, all, bytePos, byteLength).first); });
}

Failure ReadExtCpAsciiPart(CpPartKey, cConfigProp* cp, std::string& text, int16_t bytePos, int16_t byteLength) {
  text.clear();
  if (cp == nullptr) return "no CP buffer";
  return Swallowing([&] { text = TextOf(BufferPart(cp, bytePos, byteLength)); });
}

Failure ReadCpRawText(CpPartKey, lns::ConfigProperty* cp, std::string& text,
                      const std::function<Failure(std::string&)>& read) {
  if (cp == nullptr) return "no CP";
  if (g_readPass != nullptr) {
    if (const auto cached = g_readPass->find(cp); cached != g_readPass->end()) {
      text = RawText(cached->second);
      return {};
    }
  }
  Failure failure = read(text);
  if (failure.empty() && g_readPass != nullptr) {
    try {
      (*g_readPass)[cp] = ParseRawText(text);
    } catch (const std::exception&) {
      // Not a list of bytes: the next reader fetches it again.
    }
  }
  return failure;
}

Failure WriteCpPart(CpPartKey, lns::ConfigProperty* cp, int32_t value, bool isSigned, int16_t bytePos,
                 int16_t byteLength, uint8_t usedBytes) {
  return WithRawValue(cp, Access::Write, [&](const Bytes& all) {
    const int32_t n = bytePos < 1 ? cp->ElementSize() : byteLength;
    StoreInLnsCp(cp, all, bytePos, BytesOf(value, n, isSigned, usedBytes));
  });
}

Failure WriteExtCpPart(CpPartKey, cConfigProp* cp, int32_t value, bool isSigned, int16_t bytePos, int16_t byteLength,
                    uint8_t usedBytes) {
  if (cp == nullptr) return "no CP buffer";
  return Swallowing([&] {
    const int32_t n = bytePos < 1 ? cp->ByteLength() : byteLength;
    StoreInBuffer(cp, bytePos, BytesOf(value, n, isSigned, usedBytes));
  });
}

Failure WriteCpAsciiPart(CpPartKey, lns::ConfigProperty* cp, const std::string& text, int16_t bytePos,
                      int16_t byteLength) {
  return WithRawValue(cp, Access::Write, [&](const Bytes& all) {
    const int32_t n = bytePos < 1 ? static_cast<int32_t>(all.size()) : byteLength;
    StoreInLnsCp(cp, all, bytePos, CharactersOf(text, n));
  });
}

Failure WriteExtCpAsciiPart(CpPartKey, cConfigProp* cp, const std::string& text, int16_t bytePos, int16_t byteLength) {
  if (cp == nullptr) return "no CP buffer";
  return Swallowing([&] {
    const int32_t n = bytePos < 1 ? cp->ByteLength() : byteLength;
    StoreInBuffer(cp, bytePos, CharactersOf(text, n));
  });
}

}  // namespace params::cp_part
