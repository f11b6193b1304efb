#include "platform/device_interface/si_data.h"

#include "platform/device_interface/interface_error.h"

namespace platform::device_interface {
namespace {

constexpr uint32_t kMostNvs = 4096;  // more than any device has

// The bytes read one after another; running out is an error naming what was being read.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint8_t Byte(const char* what) {
    if (at_ >= bytes_.size()) Short(what);
    return bytes_[at_++];
  }
  uint16_t Word(const char* what) {
    const uint8_t high = Byte(what);
    return static_cast<uint16_t>(high << 8 | Byte(what));
  }
  std::string Text(const char* what) {
    std::string text;
    for (uint8_t c = Byte(what); c != 0; c = Byte(what)) text += static_cast<char>(c);
    return text;
  }
  size_t At() const { return at_; }

 private:
  [[noreturn]] void Short(const char* what) const {
    throw InterfaceError("self-identification data: " + std::string(what) + " missing: the data end after " +
                         std::to_string(bytes_.size()) + " bytes");
  }
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

// The extension record's fields, in the order of their mask bits: maximum rate before rate.
void Extension(Reader& in, SiNv& nv) {
  const uint8_t mask = in.Byte("an extension record's mask");
  if ((mask & 0x80) != 0) nv.maxRate = in.Byte("a maximum rate");
  if ((mask & 0x40) != 0) nv.rate = in.Byte("a rate");
  if ((mask & 0x20) != 0) nv.name = in.Text("an NV name");
  if ((mask & 0x10) != 0) nv.selfDoc = in.Text("an NV self-documentation string");
  if ((mask & 0x08) != 0) nv.arrayCount = in.Word("an array count");
}

}  // namespace

SiData ParseSiData(std::span<const uint8_t> bytes) {
  Reader in(bytes);
  SiData data;
  data.length = in.Word("the length");
  const uint8_t countLow = in.Byte("the NV count");
  data.version = in.Byte("the version");
  if (data.version > 2) {
    throw InterfaceError("self-identification data: version " + std::to_string(data.version) + " (known: 0, 1 and 2)");
  }
  data.nvEntries = countLow;
  if (data.version >= 1) data.nvEntries = static_cast<uint16_t>(in.Byte("the NV count's high byte") << 8 | countLow);
  data.messageTags = in.Byte("the message tag count");
  if (data.version == 2) {
    for (const char* field : {"the static NV count", "the current NV count", "the highest NV index", "the alias count",
                              "the node self-documentation length"}) {
      in.Word(field);
    }
    in.Byte("the flags");
  }
  data.nvs.resize(data.nvEntries);
  for (SiNv& nv : data.nvs) {
    nv.flags = in.Byte("an NV entry's flags");
    nv.typeIndex = in.Byte("an NV entry's type");
  }
  data.nodeSelfDoc = in.Text("the node self-documentation string");
  uint32_t index = 0;
  for (SiNv& nv : data.nvs) {
    if ((nv.flags & si_flag::kExtension) != 0) Extension(in, nv);
    nv.index = static_cast<uint16_t>(index);
    index += nv.arrayCount > 0 ? nv.arrayCount : 1;
    if (index > kMostNvs) {
      throw InterfaceError("self-identification data: the entries stand for more than " + std::to_string(kMostNvs) +
                           " NVs (an array count of " + std::to_string(nv.arrayCount) + " at NV " + std::to_string(nv.index) + ")");
    }
  }
  const uint8_t alias = in.Byte("the alias field");
  data.bindingII = (alias & 0x80) != 0;
  data.queryStatistics = (alias & 0x40) != 0;
  data.aliases = (alias & 0x3F) == 63 ? in.Word("the alias count") : static_cast<uint16_t>(alias & 0x3F);
  // What follows (some stacks append more) is not read.
  return data;
}

}  // namespace platform::device_interface
