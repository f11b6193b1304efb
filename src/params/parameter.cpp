#include "params/parameter.h"

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"

namespace params {

void cParameter::CheckAndStorePart(int16_t bytePos, int32_t byteLength, bool lengthMustBePositive,
                                   const std::string& description) {
  const int32_t sum = int32_t{bytePos} + byteLength;
  if (sum > INT16_MAX || sum < INT16_MIN) throw base::Error(base::err::kOverflow, "ConsiderPartOfCpOnly");
  if (!CpIsExternal() && configProperty_) {
    const int32_t length = int32_t{configProperty_->ElementSize()} * configProperty_->Dimension();
    const bool fits = bytePos >= 1 && (!lengthMustBePositive || byteLength >= 1) && sum - 1 <= length;
    if (!fits) throw base::Error(base::err::kRefusedArguments, "ConsiderPartOfCpOnly", description);
  }
  bytePos_ = bytePos;
  byteLength_ = static_cast<int16_t>(byteLength);
}

// "CP "HoldTime"" or "CP buffer "Options"": where this parameter's bytes live.
std::string cParameter::CpText() const {
  if (configPropExt_) return "CP buffer \"" + configPropExt_->Name() + "\"";
  if (configProperty_) return "CP \"" + configProperty_->Name() + "\"";
  return "no CP";
}

std::string cParameter::TransferProblem() const {
  if (!transferProblem_.empty() || !configPropExt_) return transferProblem_;
  return configPropExt_->TransferProblem();
}

void cParameter::LogReadFailure(const std::string& failure) const {
  transferProblem_.clear();
  if (failure.empty()) return;
  transferProblem_ = "Parameter \"" + name_ + "\": reading " + CpText() + " failed: " + failure;
  base::LogSwallowedError(transferProblem_);
}

void cParameter::LogWriteFailure(const std::string& failure, const std::string& value) const {
  transferProblem_.clear();
  if (failure.empty()) return;
  transferProblem_ = "Parameter \"" + name_ + "\": the value " + value + " was not written into " + CpText() + ": " + failure;
  base::LogSwallowedError(transferProblem_);
}

int32_t cParameter::ReadPart(bool isSigned, uint8_t usedBytes) const {
  int32_t value = 0;
  LogReadFailure(cp_part::ReadCpPart({}, configProperty_.get(), value, isSigned, bytePos_, byteLength_, usedBytes));
  return value;
}

void cParameter::WritePart(int32_t value, bool isSigned, uint8_t usedBytes) const {
  LogWriteFailure(
      cp_part::WriteCpPart({}, configProperty_.get(), value, isSigned, bytePos_, byteLength_, usedBytes),
      std::to_string(value));
}

int32_t cParameter::ReadExtPart(bool isSigned, uint8_t usedBytes) const {
  int32_t value = 0;
  LogReadFailure(cp_part::ReadExtCpPart({}, configPropExt_.get(), value, isSigned, bytePos_, byteLength_, usedBytes));
  return value;
}

void cParameter::WriteExtPart(int32_t value, bool isSigned, uint8_t usedBytes) const {
  LogWriteFailure(
      cp_part::WriteExtCpPart({}, configPropExt_.get(), value, isSigned, bytePos_, byteLength_, usedBytes),
      std::to_string(value));
}

std::string cParameter::ReadAsciiPart() const {
  std::string text;
  LogReadFailure(cp_part::ReadCpAsciiPart({}, configProperty_.get(), text, bytePos_, byteLength_));
  return text;
}

void cParameter::WriteAsciiPart(const std::string& text) const {
  LogWriteFailure(cp_part::WriteCpAsciiPart({}, configProperty_.get(), text, bytePos_, byteLength_),
                         "\"" + text + "\"");
}

std::string cParameter::ReadExtAsciiPart() const {
  std::string text;
  LogReadFailure(cp_part::ReadExtCpAsciiPart({}, configPropExt_.get(), text, bytePos_, byteLength_));
  return text;
}

void cParameter::WriteExtAsciiPart(const std::string& text) const {
  LogWriteFailure(cp_part::WriteExtCpAsciiPart({}, configPropExt_.get(), text, bytePos_, byteLength_),
                         "\"" + text + "\"");
}

std::string cParameter::ReadWholeRawValue(const std::function<std::string(std::string&)>& read) const {
  std::string text;
  LogReadFailure(cp_part::ReadCpRawText({}, configProperty_.get(), text, read));
  return text;
}

void cParameter::LogEntry(const char* procedure) const { base::LogEntry(Module(), base::Visibility::Public, procedure); }

}  // namespace params
