#include "params/param_raw.h"

#include <limits>

#include "base/error.h"
#include "params/param_enums.h"

namespace params {

bool cRawParameter::FetchCp(bool forceFetch) {
  LogEntry("FetchCp");
  (void)forceFetch;  // the CP is attached by the set at creation; there is nothing to look up
  if (CpIsExternal() || !Available()) return false;
  return Available();
}

bool cRawParameter::LnsTransferAllowed(bool fetchCpIfRequired) {
  if (CpIsExternal()) return false;
  if (fetchCpIfRequired && !FetchCp(false)) return false;
  return CpFetched();
}

// ---- numbers ----

cRawNumber::cRawNumber(int16_t width) : width_(width) { SetPart(1, width); }

void cRawNumber::ConsiderPartOfCpOnly(int16_t bytePos) { CheckAndStorePart(bytePos, width_, true, kInvalidParameters); }

bool cRawNumber::WritingToLnsIsRequired() const {
  return !writeIfRequiredOnly_ || Number() != lastLnsValue_;
}

void cRawNumber::WriteToLns() {
  LogEntry("WriteToLns");
  if (!LnsTransferAllowed(false)) return;
  const int32_t value = Number();
  // A part that refuses the value (300 in one byte, a server error) logs a red line; the
  // value still counts as transferred, so it is not written again until it changes.
  if (WritingToLnsIsRequired()) WritePart(value, signedValue_);
  lastLnsValue_ = value;
  SetChanged(false);
}

void cRawNumber::ReadFromLns(bool fetchCpIfRequired) {
  LogEntry("ReadFromLns");
  if (!LnsTransferAllowed(fetchCpIfRequired)) return;
  const int32_t value = ReadPart(signedValue_);
  StoreNumber(value);
  lastLnsValue_ = value;
  SetChanged(false);
}

void cRawNumber::WriteToExtCp() {
  LogEntry("WriteToExtCp");
  if (!CpIsExternal()) return;
  WriteExtPart(Number(), signedValue_);
  SetChanged(false);
}

void cRawNumber::ReadFromExtCp() {
  LogEntry("ReadFromExtCp");
  if (!CpIsExternal()) return;
  StoreNumber(ReadExtPart(signedValue_));
  SetChanged(false);
}

// ---- one byte ----

int16_t cParam1Byte::ClassId() const { return cParamEnums::PA_CLASSID_1BYTE_PARAMETER; }

void cParam1Byte::SetValue(int32_t value) {
  value_ = value;
  SetChanged(true);
}

// ---- two bytes ----

int16_t cParam2Byte::ClassId() const { return cParamEnums::PA_CLASSID_2BYTE_PARAMETER; }

int32_t cParam2Byte::Value() const {
  const int64_t value = int64_t{value1_} * 256 + value2_;
  if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min()) {
    throw base::Error(base::err::kOverflow, "cParam2Byte");
  }
  return static_cast<int32_t>(value);
}

void cParam2Byte::SetValue(int32_t value) {
  SetValue1(value / 256);  // C++ division truncates toward zero; % keeps the dividend's sign
  SetValue2(value % 256);
}

void cParam2Byte::SetValue1(int32_t value) {
  value1_ = value;
  SetChanged(true);
}

void cParam2Byte::SetValue2(int32_t value) {
  value2_ = value;
  SetChanged(true);
}

// ---- ASCII ----

int16_t cParamASCII::ClassId() const { return cParamEnums::PA_CLASSID_ASCII_PARAMETER; }

void cParamASCII::SetValue(std::string value) {
  value_ = std::move(value);
  SetChanged(true);
}

void cParamASCII::ConsiderPartOfCpOnly(int16_t bytePos, uint8_t byteLength) {
  CheckAndStorePart(bytePos, byteLength, false, kInvalidParameters);
}

void cParamASCII::WriteToLns() {
  LogEntry("WriteToLns");
  if (!LnsTransferAllowed(false)) return;
  WriteAsciiPart(value_);
  SetChanged(false);
}

void cParamASCII::ReadFromLns(bool fetchCpIfRequired) {
  LogEntry("ReadFromLns");
  if (!LnsTransferAllowed(fetchCpIfRequired)) return;
  value_ = ReadAsciiPart();
  SetChanged(false);
}

void cParamASCII::WriteToExtCp() {
  LogEntry("WriteToExtCp");
  if (!CpIsExternal()) return;
  WriteExtAsciiPart(value_);
  SetChanged(false);
}

void cParamASCII::ReadFromExtCp() {
  LogEntry("ReadFromExtCp");
  if (!CpIsExternal()) return;
  value_ = ReadExtAsciiPart();
  SetChanged(false);
}

}  // namespace params
