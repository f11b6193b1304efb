#pragma once
// The contract that every parameter kind offers, and the state they all keep.
//
// A parameter is one value bound to a part of one CP: either an LNS CP object
// (ConfigProperty) or a CP value buffer of the parameter set (ConfigPropExt). The parameter
// set and its read, write and file passes address every kind through IParameter only.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "portab/lns/lns_objects.h"
#include "portab/params/config_prop.h"
#include "portab/params/cp_part.h"

namespace params {

class cParams;

class IParameter {
 public:
  virtual ~IParameter() = default;

  virtual int16_t ClassId() const = 0;  // the kind's eParamClassIds value
  // The parameter's name in the set, its CP's name in the plug-in INI file ("" on a CP
  // buffer), and the set that made it.
  virtual const std::string& Name() const = 0;
  virtual const std::string& CpIniName() const = 0;
  virtual cParams* Parent() const = 0;
  // The LNS CP it is bound to (read/write; the set rebinds it for writes onto another target).
  virtual const std::shared_ptr<lns::ConfigProperty>& ConfigProperty() const = 0;
  virtual void SetConfigProperty(std::shared_ptr<lns::ConfigProperty> cp) = 0;
  // The CP buffer it is bound to instead, and whether there is one.
  virtual const std::shared_ptr<cConfigProp>& ConfigPropExt() const = 0;
  virtual bool CpIsExternal() const = 0;
  // Whether its CP was there when it was made; the passes skip an unavailable parameter.
  virtual bool Available() const = 0;

  // Set by a change of the value, cleared by every transfer (read/write).
  virtual bool Changed() const = 0;
  virtual void SetChanged(bool changed) = 0;

  // Steering flags, read by the parameter set only: the LNS read and write passes and the
  // file write skip the parameter (DontWriteToFile also keeps a file load from setting it);
  // ForceWriteToFile writes it to the file even when it is not available.
  virtual bool DontReadFromLns() const = 0;
  virtual void SetDontReadFromLns(bool value) = 0;
  virtual bool DontWriteToLns() const = 0;
  virtual void SetDontWriteToLns(bool value) = 0;
  virtual bool DontWriteToFile() const = 0;
  virtual void SetDontWriteToFile(bool value) = 0;
  virtual bool ForceWriteToFile() const = 0;
  virtual void SetForceWriteToFile(bool value) = 0;

  // Whether the write pass needs to write the value (false when it is unchanged since the
  // last transfer and only required writes were asked for).
  virtual bool WritingToLnsIsRequired() const = 0;
  // Transfer the value between the parameter and its LNS CP or its CP buffer; each does
  // nothing for a parameter bound the other way. A failed transfer is logged as a red line and
  // not raised; a value that does not fit its number raises the overflow error (6).
  virtual void WriteToLns() = 0;
  virtual void ReadFromLns() = 0;
  virtual void WriteToExtCp() = 0;
  virtual void ReadFromExtCp() = 0;

  // Whether the current value is invalid (asked of text box and combo box parameters).
  virtual bool ValueIsInvalid() const { return false; }
};

using ParameterPtr = std::shared_ptr<IParameter>;

// The common state and the access to the CP part operations.
class cParameter : public IParameter {
 public:
  // The IParameter state, kept as given.
  const std::string& Name() const override { return name_; }
  const std::string& CpIniName() const override { return cpIniName_; }
  cParams* Parent() const override { return parent_; }
  const std::shared_ptr<lns::ConfigProperty>& ConfigProperty() const override { return configProperty_; }
  void SetConfigProperty(std::shared_ptr<lns::ConfigProperty> cp) override { configProperty_ = std::move(cp); }
  const std::shared_ptr<cConfigProp>& ConfigPropExt() const override { return configPropExt_; }
  bool CpIsExternal() const override { return configPropExt_ != nullptr; }
  bool Available() const override { return available_; }

  bool Changed() const override { return changed_; }
  void SetChanged(bool changed) override { changed_ = changed; }

  // The steering flags of IParameter, kept as set.
  bool DontReadFromLns() const override { return dontReadFromLns_; }
  void SetDontReadFromLns(bool value) override { dontReadFromLns_ = value; }
  bool DontWriteToLns() const override { return dontWriteToLns_; }
  void SetDontWriteToLns(bool value) override { dontWriteToLns_ = value; }
  bool DontWriteToFile() const override { return dontWriteToFile_; }
  void SetDontWriteToFile(bool value) override { dontWriteToFile_ = value; }
  bool ForceWriteToFile() const override { return forceWriteToFile_; }
  void SetForceWriteToFile(bool value) override { forceWriteToFile_ = value; }
  // The red line of the parameter's last read or write that failed, or of its CP buffer's
  // last transfer with the server; "" when they went well (a window marks the control).
  std::string TransferProblem() const;

 protected:
  // Checks a part against the LNS CP's length (skipped for an external CP or without an
  // LNS CP) and stores it; raises 0x800403E8 from "ConsiderPartOfCpOnly" with `description`
  // when it does not fit. BytePos + ByteLength is 16-bit arithmetic (overflow error 6).
  void CheckAndStorePart(int16_t bytePos, int32_t byteLength, bool lengthMustBePositive,
                         const std::string& description);
  // The part: its first byte (from 1) and its length.
  int16_t BytePos() const { return bytePos_; }
  void SetPart(int16_t bytePos, int16_t byteLength) {
    bytePos_ = bytePos;
    byteLength_ = byteLength;
  }
  int16_t ByteLength() const { return byteLength_; }

  // Reads and writes of this parameter's part (see cp_part.h). A transfer that fails is
  // swallowed as the part operations do, but logged as a red line naming the parameter, the
  // CP and (for a write) the value; the caller goes on as if the transfer had succeeded.
  int32_t ReadPart(bool isSigned, uint8_t usedBytes = 0) const;
  void WritePart(int32_t value, bool isSigned, uint8_t usedBytes = 0) const;
  int32_t ReadExtPart(bool isSigned, uint8_t usedBytes = 0) const;
  void WriteExtPart(int32_t value, bool isSigned, uint8_t usedBytes = 0) const;
  std::string ReadAsciiPart() const;
  void WriteAsciiPart(const std::string& text) const;
  std::string ReadExtAsciiPart() const;
  void WriteExtAsciiPart(const std::string& text) const;
  // The LNS CP's whole value in "RAW" form, shared within a read pass; `read` fetches it.
  std::string ReadWholeRawValue(const std::function<std::string(std::string&)>& read) const;

  // Where the bytes live, for log lines: CP "name" or CP buffer "name".
  std::string CpText() const;

  // The module name used in log lines and errors ("cParam1Byte").
  virtual const char* Module() const = 0;
  void LogEntry(const char* procedure) const;  // the entry line "[<Module>] Public Sub <procedure>()"

 protected:
  // Written by the parameter set only (control kinds lock their control first).
  virtual void SetAvailable(bool available) { available_ = available; }

 private:
  friend class cParams;
  void LogReadFailure(const std::string& failure) const;
  void LogWriteFailure(const std::string& failure, const std::string& value) const;

  std::string name_;
  std::string cpIniName_;
  cParams* parent_ = nullptr;
  std::shared_ptr<lns::ConfigProperty> configProperty_;
  std::shared_ptr<cConfigProp> configPropExt_;
  bool available_ = false;
  bool changed_ = false;
  // Set by the part operations' outcome, which the const transfer helpers report.
  mutable std::string transferProblem_;
  bool dontReadFromLns_ = false;
  bool dontWriteToLns_ = false;
  bool dontWriteToFile_ = false;
  bool forceWriteToFile_ = false;
  int16_t bytePos_ = 0;
  int16_t byteLength_ = 0;
};

// The error of ConsiderPartOfCpOnly for a part outside the CP.
inline constexpr const char* kInvalidParameters = "invalid parameters";
// The same description as the text box and check box kinds give it.
inline constexpr const char* kInvalidParametersGerman = "ung\xC3\xBCltige Parameter";

}  // namespace params
