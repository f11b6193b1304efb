#pragma once
// cConfigProp: the value buffer of one configuration property. It holds the CP's bytes
// (numbered from 1), reads and writes them with the LNS object server in one piece, and
// keeps a copy of the bytes last exchanged, so that a write can be skipped when nothing
// changed. Server errors during the raw transfers are swallowed.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "portab/lns/lns_objects.h"

namespace params {

class cParams;

// Made by cParams::AddConfigProp, which sets its name, CP INI name and availability.
class cConfigProp {
 public:
  int16_t ClassId() const;  // PA_CLASSID_CONFIG_PROPERTY
  // The set that made it, its name there, the CP's name in the plug-in INI file, and whether
  // the CP was found when it was made (only an available buffer fetches and writes).
  cParams* Parent() const { return parent_; }
  const std::string& Name() const { return name_; }
  const std::string& CpIniName() const { return cpIniName_; }
  bool Available() const { return available_; }

  // The LNS CP; attaching it the first time creates the two buffers of ByteLength bytes.
  const std::shared_ptr<lns::ConfigProperty>& ConfigProperty() const { return configProperty_; }
  void SetConfigProperty(std::shared_ptr<lns::ConfigProperty> cp);
  bool CpFetched() const { return configProperty_ != nullptr; }  // whether an LNS CP is attached

  // The device (7) or LonMark object (28) that owns the CP; used by FetchCp only.
  const lns::ObjectPtr& SuperiorLnsObject() const { return superiorLnsObject_; }
  void SetSuperiorLnsObject(lns::ObjectPtr object) { superiorLnsObject_ = std::move(object); }

  // The CP's number of elements, bytes of one element and bytes in all: -1 when no CP is
  // attached; asked once, then cached. ByteLength raises the overflow error when the product
  // leaves 16 bits.
  int16_t Dimension();
  int16_t ElementByteLength();
  int16_t ByteLength();

  // Byte `index` (1-based, absolute); the first get reads the CP once. Error 9 outside.
  uint8_t ByteValue(int32_t index);
  // Sets byte `index` without reading the CP; error 9 outside.
  void SetByteValue(int32_t index, uint8_t value);
  // All bytes; the first get reads the CP once.
  std::vector<uint8_t> ByteValueArray();
  // Bytes startIndex .. startIndex+length-1 (length -1: to the last byte); empty when the
  // buffer was never created. A range outside the bytes raises 9.
  std::vector<uint8_t> ByteValues(int32_t startIndex, int32_t length);
  // Stores the values from startIndex on; false (nothing changed) when they would end past
  // ByteLength. A value outside 0..255 raises the overflow error.
  bool SetByteValues(int32_t startIndex, const std::vector<int32_t>& values);
  bool SetByteValues(int32_t startIndex, const std::vector<uint8_t>& values);
  // "12,0,255"; "" without buffer. Never reads the CP.
  std::string ByteValueStringForDebuggging() const;
  bool BuffersCreated() const { return created_; }  // whether a CP gave the buffer its length
  // The red line of the last read or write of the CP when it failed; "" after one that went
  // well (and before any).
  const std::string& TransferProblem() const { return transferProblem_; }

  // Steering flags (read/write): ReadFromLns does nothing unless forced, WriteToLns does
  // nothing, WriteToLns writes only bytes that differ from those last exchanged.
  bool DontReadFromLns() const { return dontReadFromLns_; }
  void SetDontReadFromLns(bool value) { dontReadFromLns_ = value; }
  bool DontWriteToLns() const { return dontWriteToLns_; }
  void SetDontWriteToLns(bool value) { dontWriteToLns_ = value; }
  bool WriteToLnsIfRequiredOnly() const { return writeToLnsIfRequiredOnly_; }
  void SetWriteToLnsIfRequiredOnly(bool value) { writeToLnsIfRequiredOnly_ = value; }

  // Reads the whole CP into the buffer (with fetchCpIfRequired the CP is fetched first);
  // nothing without a CP, nor with DontReadFromLns unless forced. A failed read is logged as
  // a red line and keeps the bytes.
  void ReadFromLns(bool fetchCpIfRequired = false, bool force = false);
  // Writes the whole buffer to the CP when required or forced (nothing without a CP or with
  // DontWriteToLns); a failed write is logged as a red line, not raised, and the bytes count as
  // exchanged all the same.
  void WriteToLns(bool force = false);
  // False only when WriteToLnsIfRequiredOnly is set and the bytes equal those last exchanged.
  bool WritingToLnsIsRequired() const;
  // Looks the CP up by its INI name below SuperiorLnsObject and attaches it; true when a CP is
  // attached. Nothing is looked up for a buffer that is not available, or that has its CP
  // already (unless forceFetch).
  bool FetchCp(bool forceFetch = false);

  // 1-based position in the server collection that holds the CP; 0 when unknown. Error 6 when
  // that collection holds more than 255 CPs.
  uint8_t GetCpIndex();
  // The device for a device CP, the LonMark object or NV that holds it otherwise; none else.
  lns::ObjectPtr GetSuperiorObject() const;

 private:
  friend class cParams;
  void EnsureRead();
  void RawRead();
  void RawWrite();

  lns::ObjectPtr superiorLnsObject_;
  cParams* parent_ = nullptr;
  std::shared_ptr<lns::ConfigProperty> configProperty_;
  std::string name_;
  std::string cpIniName_;
  bool available_ = false;
  bool valueRead_ = false;
  bool dontReadFromLns_ = false;
  bool dontWriteToLns_ = false;
  bool writeToLnsIfRequiredOnly_ = false;
  int16_t byteLength_ = 0;
  int16_t dimension_ = 0;
  int16_t elementLength_ = 0;
  bool created_ = false;
  std::vector<uint8_t> byteValue_;        // byteValue_[i - 1] is byte i
  std::vector<uint8_t> syncedByteValue_;
  uint8_t cpIndex_ = 0;
  std::string transferProblem_;
};

}  // namespace params
