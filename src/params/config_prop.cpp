#include "params/config_prop.h"

#include <limits>

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "params/param_enums.h"
#include "params/params.h"

namespace params {
namespace {

constexpr const char* kModule = "cConfigProp";

[[noreturn]] void OutOfRange() { throw base::Error(base::err::kSubscriptOutOfRange, "cConfigProp"); }

}  // namespace

int16_t cConfigProp::ClassId() const { return cParamEnums::PA_CLASSID_CONFIG_PROPERTY; }

void cConfigProp::SetConfigProperty(std::shared_ptr<lns::ConfigProperty> cp) {
  configProperty_ = std::move(cp);
  if (created_ || !configProperty_) return;
  // Later attachments keep the buffers as they are, whatever the new CP's length.
  const int16_t length = ByteLength();
  byteValue_.assign(static_cast<size_t>(std::max<int16_t>(length, 0)), 0);
  syncedByteValue_ = byteValue_;
  created_ = true;
}

int16_t cConfigProp::Dimension() {
  if (!CpFetched()) return -1;
  if (dimension_ == 0) dimension_ = configProperty_->Dimension();
  return dimension_;
}

int16_t cConfigProp::ElementByteLength() {
  if (!CpFetched()) return -1;
  if (elementLength_ == 0) elementLength_ = configProperty_->ElementSize();
  return elementLength_;
}

int16_t cConfigProp::ByteLength() {
  if (!CpFetched()) return -1;
  if (byteLength_ == 0) {
    const int32_t product = int32_t{Dimension()} * int32_t{ElementByteLength()};
    if (product > std::numeric_limits<int16_t>::max() || product < std::numeric_limits<int16_t>::min()) {
      throw base::Error(base::err::kOverflow, "cConfigProp");
    }
    byteLength_ = static_cast<int16_t>(product);
  }
  return byteLength_;
}

void cConfigProp::EnsureRead() {
  if (valueRead_) return;
  ReadFromLns(false, false);
  valueRead_ = true;
}

uint8_t cConfigProp::ByteValue(int32_t index) {
  EnsureRead();
  if (index < 1 || static_cast<size_t>(index) > byteValue_.size()) OutOfRange();
  return byteValue_[static_cast<size_t>(index) - 1];
}

void cConfigProp::SetByteValue(int32_t index, uint8_t value) {
  if (index < 1 || static_cast<size_t>(index) > byteValue_.size()) OutOfRange();
  byteValue_[static_cast<size_t>(index) - 1] = value;
}

std::vector<uint8_t> cConfigProp::ByteValueArray() {
  EnsureRead();
  return byteValue_;
}

std::vector<uint8_t> cConfigProp::ByteValues(int32_t startIndex, int32_t length) {
  EnsureRead();
  if (!created_) return {};
  const auto count = static_cast<int32_t>(byteValue_.size());
  if (length == -1) length = count - startIndex + 1;
  if (length < 0) OutOfRange();
  if (length == 0) return {};
  if (startIndex < 1 || startIndex + length - 1 > count) OutOfRange();
  return std::vector<uint8_t>(byteValue_.begin() + (startIndex - 1), byteValue_.begin() + (startIndex - 1 + length));
}

bool cConfigProp::SetByteValues(int32_t startIndex, const std::vector<int32_t>& values) {
  const auto n = static_cast<int32_t>(values.size());
  if (ByteLength() < startIndex + n - 1) return false;
  for (int32_t i = 0; i < n; ++i) SetByteValue(startIndex + i, base::CByte(values[static_cast<size_t>(i)]));
  return true;
}

bool cConfigProp::SetByteValues(int32_t startIndex, const std::vector<uint8_t>& values) {
  return SetByteValues(startIndex, std::vector<int32_t>(values.begin(), values.end()));
}

std::string cConfigProp::ByteValueStringForDebuggging() const {
  std::string text;
  for (size_t i = 0; i < byteValue_.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(byteValue_[i]);
  }
  return text;
}

bool cConfigProp::WritingToLnsIsRequired() const {
  if (!writeToLnsIfRequiredOnly_) return true;
  return !(created_ && byteValue_ == syncedByteValue_);
}

void cConfigProp::RawRead() {
  try {
    const int32_t dimension = configProperty_->Dimension();
    byteValue_ = configProperty_->RawRead(0, dimension, 0);
    created_ = true;
    transferProblem_.clear();
  } catch (const std::exception& e) {
    // A failed read leaves the bytes as they were; the log shows it.
    transferProblem_ = "CP \"" + name_ + "\" could not be read: " + base::ToError(e, kModule).Description();
    base::LogSwallowedError(transferProblem_);
  }
}

void cConfigProp::RawWrite() {
  try {
    const int32_t dimension = configProperty_->Dimension();
    configProperty_->RawWrite(0, dimension, byteValue_, 0);
    transferProblem_.clear();
  } catch (const std::exception& e) {
    // Not repeated and not raised; the log shows it.
    transferProblem_ = "CP \"" + name_ + "\" could not be written: " + base::ToError(e, kModule).Description();
    base::LogSwallowedError(transferProblem_);
  }
}

void cConfigProp::ReadFromLns(bool fetchCpIfRequired, bool force) {
  base::LogEntry(kModule, base::Visibility::Public, "ReadFromLns");
  if (dontReadFromLns_ && !force) return;
  if (fetchCpIfRequired && !FetchCp(false)) return;
  if (!CpFetched()) return;
  RawRead();
  syncedByteValue_ = byteValue_;
}

void cConfigProp::WriteToLns(bool force) {
  base::LogEntry(kModule, base::Visibility::Public, "WriteToLns");
  if (dontWriteToLns_ || !CpFetched()) return;
  if (WritingToLnsIsRequired() || force) RawWrite();
  syncedByteValue_ = byteValue_;
}

bool cConfigProp::FetchCp(bool forceFetch) {
  base::LogEntry(kModule, base::Visibility::Public, "FetchCp");
  if (!available_) return false;
  if (CpFetched() && !forceFetch) return available_;
  if (!superiorLnsObject_ || parent_ == nullptr) return false;
  std::shared_ptr<lns::ConfigProperty> cp;
  bool succeeded = false;
  switch (superiorLnsObject_->ClassId()) {
    case lns::class_id::kAppDevice:
      parent_->FetchDevCp(cpIniName_, cParams::kCpSection, std::dynamic_pointer_cast<lns::AppDevice>(superiorLnsObject_),
                          cp, &succeeded);
      break;
    case lns::class_id::kLonMarkObject:
      parent_->FetchLmoCp(cpIniName_, cParams::kCpSection,
                          std::dynamic_pointer_cast<lns::LonMarkObject>(superiorLnsObject_), cp, &succeeded);
      break;
    default:
      return false;
  }
  if (succeeded) SetConfigProperty(cp);
  return succeeded;
}

uint8_t cConfigProp::GetCpIndex() {
  if (cpIndex_ != 0 || !CpFetched()) return cpIndex_;
  auto collection = std::dynamic_pointer_cast<lns::CpCollection>(configProperty_->Parent());
  if (!collection) return 0;
  const auto count = static_cast<int32_t>(base::CByte(collection->Count()));
  const int64_t identity = configProperty_->Identity();
  for (int32_t i = 1; i <= count; ++i) {
    if (collection->Item(i)->Identity() == identity) {
      cpIndex_ = static_cast<uint8_t>(i);
      break;
    }
  }
  return cpIndex_;
}

lns::ObjectPtr cConfigProp::GetSuperiorObject() const {
  if (!CpFetched()) return nullptr;
  const lns::ObjectPtr collection = configProperty_->Parent();
  const lns::ObjectPtr owner = collection ? collection->Parent() : nullptr;
  if (!owner) return nullptr;
  switch (owner->ClassId()) {
    case lns::class_id::kInterface:
      return owner->Parent();
    case lns::class_id::kLonMarkObject:
    case lns::class_id::kNetworkVariable:
      return owner;
    default:
      return nullptr;
  }
}

}  // namespace params
