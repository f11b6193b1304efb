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

// ---- one byte ----

cParam1Byte::cParam1Byte() { SetPart(1, 1); }

int16_t cParam1Byte::ClassId() const { return cParamEnums::PA_CLASSID_1BYTE_PARAMETER; }

void cParam1Byte::SetValue(int32_t value) {
  value_ = value;
  SetChanged(true);
}

void cParam1Byte::ConsiderPartOfCpOnly(int16_t bytePos) { CheckAndStorePart(bytePos, 1, true, kInvalidParameters); }

bool cParam1Byte::WritingToLnsIsRequired() const { return !writeIfRequiredOnly_ || value_ != lastLnsValue_; }

void cParam1Byte::WriteToLns() {
  LogEntry("WriteToLns");
  if (!LnsTransferAllowed(false)) return;
  if (WritingToLnsIsRequired()) WritePart(value_, signedValue_);
  lastLnsValue_ = value_;
  SetChanged(false);
}

void cParam1Byte::ReadFromLns(bool fetchCpIfRequired) {
  LogEntry("ReadFromLns");
  if (!LnsTransferAllowed(fetchCpIfRequired)) return;
  value_ = ReadPart(signedValue_);
  lastLnsValue_ = value_;
  SetChanged(false);
}

void cParam1Byte::WriteToExtCp() {
  LogEntry("WriteToExtCp");
  if (!CpIsExternal()) return;
  WriteExtPart(value_, signedValue_);
  SetChanged(false);
}

void cParam1Byte::ReadFromExtCp() {
  LogEntry("ReadFromExtCp");
  if (!CpIsExternal()) return;
  value_ = ReadExtPart(signedValue_);
  SetChanged(false);
}

// ---- two bytes ----

cParam2Byte::cParam2Byte() { SetPart(1, 2); }

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

void cParam2Byte::ConsiderPartOfCpOnly(int16_t bytePos) { CheckAndStorePart(bytePos, 2, true, kInvalidParameters); }

bool cParam2Byte::WritingToLnsIsRequired() const { return !writeIfRequiredOnly_ || Value() != lastLnsValue_; }

void cParam2Byte::WriteToLns() {
  LogEntry("WriteToLns");
  if (!LnsTransferAllowed(false)) return;
  const int32_t value = Value();
  if (WritingToLnsIsRequired()) WritePart(value, signedValue_);
  lastLnsValue_ = value;
  SetChanged(false);
}

void cParam2Byte::ReadFromLns(bool fetchCpIfRequired) {
  LogEntry("ReadFromLns");
  if (!LnsTransferAllowed(fetchCpIfRequired)) return;
  const int32_t value = ReadPart(signedValue_);
  SetValue(value);
  lastLnsValue_ = value;
  SetChanged(false);
}

void cParam2Byte::WriteToExtCp() {
  LogEntry("WriteToExtCp");
  if (!CpIsExternal()) return;
  WriteExtPart(Value(), signedValue_);
  SetChanged(false);
}

void cParam2Byte::ReadFromExtCp() {
  LogEntry("ReadFromExtCp");
  if (!CpIsExternal()) return;
  SetValue(ReadExtPart(signedValue_));
  SetChanged(false);
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
