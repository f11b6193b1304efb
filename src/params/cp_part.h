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
// computed before (0 / ""), a write leaves the CP as it was. The LNS CP's value format is
// switched to "RAW" for the transfer and restored afterwards.
//
// Only parameters and the parameter set may call these (CpPartKey).

#include <cstdint>
#include <string>

#include "lns/lns_objects.h"

namespace params {

class cConfigProp;

class CpPartKey {
  friend class cParameter;
  friend class cParams;
  friend struct CpPartTestAccess;  // the unit tests of the part operations
  CpPartKey() = default;
};

namespace cp_part {

void ReadCpPart(CpPartKey, lns::ConfigProperty* cp, int32_t& value, bool isSigned, int16_t bytePos,
                int16_t byteLength, uint8_t usedBytes);
void ReadExtCpPart(CpPartKey, cConfigProp* cp, int32_t& value, bool isSigned, int16_t bytePos, int16_t byteLength,
                   uint8_t usedBytes);
void ReadCpAsciiPart(CpPartKey, lns::ConfigProperty* cp, std::string& text, int16_t bytePos, int16_t byteLength);
void ReadExtCpAsciiPart(CpPartKey, cConfigProp* cp, std::string& text, int16_t bytePos, int16_t byteLength);

void WriteCpPart(CpPartKey, lns::ConfigProperty* cp, int32_t value, bool isSigned, int16_t bytePos,
                 int16_t byteLength, uint8_t usedBytes);
void WriteExtCpPart(CpPartKey, cConfigProp* cp, int32_t value, bool isSigned, int16_t bytePos, int16_t byteLength,
                    uint8_t usedBytes);
void WriteCpAsciiPart(CpPartKey, lns::ConfigProperty* cp, const std::string& text, int16_t bytePos,
                      int16_t byteLength);
void WriteExtCpAsciiPart(CpPartKey, cConfigProp* cp, const std::string& text, int16_t bytePos, int16_t byteLength);

}  // namespace cp_part
}  // namespace params
