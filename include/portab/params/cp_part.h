#pragma once
// The CP part operations: one parameter's number or text at a 1-based byte position of a
// CP, in an LNS CP object (through its "RAW" value text) or in a CP value buffer.
//
// Numbers: the part's bytes are one number, the byte at BytePos most significant; signed
// parts are two's complement. BytePos below 1 means the whole CP. UsedBytes m (0 < m < n)
// narrows the number to the first m bytes of an n-byte part; the other n - m bytes are
// written as 0. Only the part's bytes change. A number that does not fit its bytes (300 in
// one byte, -1 in an unsigned part) is not written.
//
// Texts: one byte a character, Windows-1252. Writing stores at most ByteLength bytes and
// pads a shorter text with 0 bytes; characters without a Windows-1252 byte become "?".
// Reading stops at the first 0 byte: bytes after it are not part of the text.
//
// Every error inside an operation is swallowed: a read leaves the out value at what was
// computed before (0 / ""), a write leaves the CP as it was. The operation then returns the
// error's description, so the caller can log it; it returns "" when the transfer succeeded.
// The LNS CP's value format is switched to "RAW" for the transfer and restored afterwards.
//
// While a ReadPassCache lives, each LNS CP's value is fetched from the server once and the
// further reads of parts of it take that value; a write to the CP drops it.
//
// Only parameters and the parameter set may call these (CpPartKey).

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "portab/lns/lns_objects.h"

namespace params {

class cConfigProp;

// The pass key that limits who may call the part operations.
class CpPartKey {
  friend class cParameter;
  friend class cParams;
  friend struct CpPartTestAccess;  // the unit tests of the part operations
  CpPartKey() = default;
};

namespace cp_part {

// Empty when the transfer succeeded, else the description of the swallowed error.
using Failure = std::string;

// A read pass for the object's lifetime; one made inside another joins the outer pass. Not for
// use from more than one thread.
class ReadPassCache {
 public:
  ReadPassCache();
  ~ReadPassCache();
  ReadPassCache(const ReadPassCache&) = delete;
  ReadPassCache& operator=(const ReadPassCache&) = delete;

 private:
  bool owner_ = false;
};

// Read a number or a text part from an LNS CP or from a CP value buffer (Ext).
Failure ReadCpPart(CpPartKey, lns::ConfigProperty* cp, int32_t& value, bool isSigned, int16_t bytePos,
                int16_t byteLength, uint8_t usedBytes);
Failure ReadExtCpPart(CpPartKey, cConfigProp* cp, int32_t& value, bool isSigned, int16_t bytePos, int16_t byteLength,
                   uint8_t usedBytes);
Failure ReadCpAsciiPart(CpPartKey, lns::ConfigProperty* cp, std::string& text, int16_t bytePos, int16_t byteLength);
Failure ReadExtCpAsciiPart(CpPartKey, cConfigProp* cp, std::string& text, int16_t bytePos, int16_t byteLength);

// The whole value of an LNS CP as "RAW" text (bytes as decimal numbers separated by TAB),
// taken from the current read pass when it holds the CP. `read` fetches it from the server
// otherwise; what it returns is kept for the rest of the pass.
Failure ReadCpRawText(CpPartKey, lns::ConfigProperty* cp, std::string& text,
                      const std::function<Failure(std::string&)>& read);

// Write a number or a text part into an LNS CP or into a CP value buffer (Ext).
Failure WriteCpPart(CpPartKey, lns::ConfigProperty* cp, int32_t value, bool isSigned, int16_t bytePos,
                 int16_t byteLength, uint8_t usedBytes);
Failure WriteExtCpPart(CpPartKey, cConfigProp* cp, int32_t value, bool isSigned, int16_t bytePos, int16_t byteLength,
                    uint8_t usedBytes);
Failure WriteCpAsciiPart(CpPartKey, lns::ConfigProperty* cp, const std::string& text, int16_t bytePos,
                      int16_t byteLength);
Failure WriteExtCpAsciiPart(CpPartKey, cConfigProp* cp, const std::string& text, int16_t bytePos, int16_t byteLength);

}  // namespace cp_part
}  // namespace params
