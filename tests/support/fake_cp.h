#pragma once
// An LNS CP held in memory that counts its transfers and can be told to fail.

#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "lns/lns_objects.h"

namespace testing_support {

class FakeCp final : public lns::ConfigProperty {
 public:
  FakeCp(std::vector<uint8_t> bytes, int16_t elementSize = 0)
      : bytes_(std::move(bytes)),
        elementSize_(elementSize == 0 ? static_cast<int16_t>(bytes_.size()) : elementSize) {}

  lns::ObjectPtr Parent() const override { return nullptr; }
  std::string Name() const override { return name; }
  int16_t ElementSize() const override { return elementSize_; }
  int16_t Dimension() const override {
    return dimensionOverride != 0 ? dimensionOverride : static_cast<int16_t>(bytes_.size() / static_cast<size_t>(elementSize_));
  }
  std::string ValueFormat() const override { return format_; }
  void SetValueFormat(std::string_view format) override {
    if (failFormat) throw base::Error(4026, "fake", "format refused");
    format_ = std::string(format);
  }
  std::string Value() const override {
    ++valueReads;
    if (failValueRead) throw base::Error(4020, "fake", "device gone");
    if (format_ != "RAW") return "hex";
    std::string text;
    for (size_t i = 0; i < bytes_.size(); ++i) text += (i > 0 ? "\t" : "") + std::to_string(bytes_[i]);
    return text;
  }
  void SetValue(std::string_view text) override {
    ++valueWrites;
    if (failValueWrite) throw base::Error(4020, "fake", "device gone");
    if (format_ != "RAW") throw base::Error(4025, "fake", "only RAW is written in tests");
    std::vector<uint8_t> bytes;
    for (const auto& field : base::Split(text, "\t")) bytes.push_back(static_cast<uint8_t>(base::Val(field)));
    bytes_ = bytes;
  }
  std::vector<uint8_t> RawRead(int32_t, int32_t, int32_t) const override {
    ++rawReads;
    if (failRaw) throw base::Error(4020, "fake", "device gone");
    return bytes_;
  }
  void RawWrite(int32_t, int32_t, const std::vector<uint8_t>& bytes, int32_t) override {
    ++rawWrites;
    if (failRaw) throw base::Error(4020, "fake", "device gone");
    bytes_ = bytes;
  }
  int64_t Identity() const override { return 1; }

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  void SetBytes(std::vector<uint8_t> bytes) { bytes_ = std::move(bytes); }

  std::string name = "FakeCp";
  int16_t dimensionOverride = 0;
  mutable int valueReads = 0;
  int valueWrites = 0;
  mutable int rawReads = 0;
  int rawWrites = 0;
  bool failValueRead = false;
  bool failValueWrite = false;
  bool failRaw = false;
  bool failFormat = false;

 private:
  std::vector<uint8_t> bytes_;
  int16_t elementSize_;
  std::string format_ = "HEX";
};

inline std::shared_ptr<FakeCp> NamedCp(const std::string& name, std::vector<uint8_t> bytes = {0, 0}) {
  auto cp = std::make_shared<FakeCp>(std::move(bytes));
  cp->name = name;
  return cp;
}

}  // namespace testing_support
