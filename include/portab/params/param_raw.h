#pragma once
// The parameter kinds without a control: one byte and two bytes as numbers, a run of bytes
// as text.

#include <cstdint>
#include <string>

#include "portab/params/parameter.h"

namespace params {

// What the three raw kinds share: the LNS CP is "fetched" when it is attached.
class cRawParameter : public cParameter {
 public:
  bool CpFetched() const { return ConfigProperty() != nullptr; }  // whether an LNS CP is attached
  // Whether the LNS CP is usable: false for an external CP or one not available.
  bool FetchCp(bool forceFetch = false);
  // Reads the part from the LNS CP (nothing for an external CP or without a CP).
  void ReadFromLns() override { ReadFromLns(false); }
  virtual void ReadFromLns(bool fetchCpIfRequired) = 0;

 protected:
  // The gate of the LNS transfers: not external, optionally fetched, fetched.
  bool LnsTransferAllowed(bool fetchCpIfRequired);
};

// The numeric raw kinds: a number of `width` bytes (BytePos 0 is byte 1: the part starts at the
// first byte until it is bound elsewhere), signed or not, written only when it changed if asked to.
class cRawNumber : public cRawParameter {
 public:
  // Whether the part is two's complement, and whether only a value that differs from the
  // last one transferred is written (read/write).
  bool SignedValue() const { return signedValue_; }
  void SetSignedValue(bool value) { signedValue_ = value; }
  bool WriteToLnsIfRequiredOnly() const { return writeIfRequiredOnly_; }
  void SetWriteToLnsIfRequiredOnly(bool value) { writeIfRequiredOnly_ = value; }
  // Binds the parameter to the bytes at bytePos: error 0x800403E8 "invalid parameters" when
  // they are outside the LNS CP, 6 when bytePos + width leaves 16 bits.
  void ConsiderPartOfCpOnly(int16_t bytePos);

  // The transfers of IParameter. A value the part refuses (300 in one byte) logs a red line
  // and still counts as transferred, so it is not written again until it changes.
  bool WritingToLnsIsRequired() const override;
  void WriteToLns() override;
  using cRawParameter::ReadFromLns;
  void ReadFromLns(bool fetchCpIfRequired) override;
  void WriteToExtCp() override;
  void ReadFromExtCp() override;

 protected:
  explicit cRawNumber(int16_t width);
  // The kind's value as one number, and storing a number read from the CP.
  virtual int32_t Number() const = 0;
  virtual void StoreNumber(int32_t value) = 0;

 private:
  int16_t width_;
  bool signedValue_ = false;
  bool writeIfRequiredOnly_ = false;
  int32_t lastLnsValue_ = 0;
};

// A number in one byte of a CP (no control): Value 0..255, or -128..127 when signed.
class cParam1Byte final : public cRawNumber {
 public:
  cParam1Byte() : cRawNumber(1) {}
  int16_t ClassId() const override;  // PA_CLASSID_1BYTE_PARAMETER
  // The number (read/write); setting marks the parameter changed. It is not checked here: a
  // number the byte cannot hold is refused at the write.
  int32_t Value() const { return value_; }
  void SetValue(int32_t value);

 protected:
  const char* Module() const override { return "cParam1Byte"; }
  int32_t Number() const override { return value_; }
  void StoreNumber(int32_t value) override { value_ = value; }

 private:
  int32_t value_ = 0;
};

// A number in two bytes of a CP (no control), as two byte values Value1 and Value2.
class cParam2Byte final : public cRawNumber {
 public:
  cParam2Byte() : cRawNumber(2) {}
  int16_t ClassId() const override;  // PA_CLASSID_2BYTE_PARAMETER
  // Value1 * 256 + Value2 (overflow error 6 when that leaves 32 bits).
  int32_t Value() const;
  // Value1 = value / 256 truncated toward zero, Value2 = the remainder with the value's sign.
  void SetValue(int32_t value);
  // The high and the low part (read/write, not checked); setting marks the parameter changed.
  int32_t Value1() const { return value1_; }
  void SetValue1(int32_t value);
  int32_t Value2() const { return value2_; }
  void SetValue2(int32_t value);

 protected:
  const char* Module() const override { return "cParam2Byte"; }
  int32_t Number() const override { return Value(); }
  void StoreNumber(int32_t value) override { SetValue(value); }

 private:
  int32_t value1_ = 0;
  int32_t value2_ = 0;
};

// A text in a part of a CP (no control), one Windows-1252 byte a character.
class cParamASCII final : public cRawParameter {
 public:
  int16_t ClassId() const override;  // PA_CLASSID_ASCII_PARAMETER
  // The text (read/write); setting marks the parameter changed.
  const std::string& Value() const { return value_; }
  void SetValue(std::string value);
  // Binds the parameter to `byteLength` bytes at bytePos (0 bytes allowed): error 0x800403E8
  // "invalid parameters" when they are outside the LNS CP, 6 when the sum leaves 16 bits.
  void ConsiderPartOfCpOnly(int16_t bytePos, uint8_t byteLength);

  bool WritingToLnsIsRequired() const override { return true; }  // the text is always written
  // Writes the text into the LNS CP part (see cp_part.h for the conversion).
  void WriteToLns() override;
  using cRawParameter::ReadFromLns;
  // Reads the text from the LNS CP part (fetching the CP first when asked and needed).
  void ReadFromLns(bool fetchCpIfRequired) override;
  // The same with the external CP buffer the parameter shares.
  void WriteToExtCp() override;
  void ReadFromExtCp() override;

 protected:
  const char* Module() const override { return "cParamASCII"; }

 private:
  std::string value_;
};

}  // namespace params
