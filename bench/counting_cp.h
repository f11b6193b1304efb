#pragma once
// Shared by the benchmarks: an LNS CP that counts the transfers reaching the server, and a
// network of one device with many CPs on the embedded server.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "lns/lns_objects.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"

namespace bench_support {

class CountingCp final : public lns::ConfigProperty {
 public:
  CountingCp(std::shared_ptr<lns::ConfigProperty> inner, int64_t& reads, int64_t& writes)
      : inner_(std::move(inner)), reads_(reads), writes_(writes) {}
  lns::ObjectPtr Parent() const override { return inner_->Parent(); }
  std::string Name() const override { return inner_->Name(); }
  int16_t ElementSize() const override { return inner_->ElementSize(); }
  int16_t Dimension() const override { return inner_->Dimension(); }
  std::string ValueFormat() const override { return inner_->ValueFormat(); }
  void SetValueFormat(std::string_view format) override { inner_->SetValueFormat(format); }
  std::string Value() const override {
    ++reads_;
    return inner_->Value();
  }
  void SetValue(std::string_view text) override {
    ++writes_;
    inner_->SetValue(text);
  }
  std::vector<uint8_t> RawRead(int32_t e, int32_t c, int32_t o) const override {
    ++reads_;
    return inner_->RawRead(e, c, o);
  }
  void RawWrite(int32_t e, int32_t c, const std::vector<uint8_t>& b, int32_t o) override {
    ++writes_;
    inner_->RawWrite(e, c, b, o);
  }
  int64_t Identity() const override { return inner_->Identity(); }

 private:
  std::shared_ptr<lns::ConfigProperty> inner_;
  int64_t& reads_;
  int64_t& writes_;
};

// A network "Big" in a temporary folder with one device holding `count` CPs of `bytes`
// bytes each; the folder is removed at the end.
class ManyCpsNetwork {
 public:
  ManyCpsNetwork(const std::string& what, int count, int bytes)
      : folder_(std::filesystem::temp_directory_path() / ("portab-bench-" + what + "-" + std::to_string(::getpid()))) {
    std::string cps;
    for (int i = 0; i < count; ++i) {
      cps += std::string(i > 0 ? "," : "") + R"({"name": "Cp)" + std::to_string(i) + R"(", "dimension": )" +
             std::to_string(bytes) + "}";
    }
    platform::lns_embedded::CreateNetwork(
        folder_ / "lns",
        R"({"network": "Big", "system": "S", "subsystems": [{"name": "A", "devices": [{"name": "D", "programId": "P", "cps": [)" +
            cps + "]}]}]}",
        true);
    server_ = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(folder_ / "lns");
    server_->Open(0);
  }
  ~ManyCpsNetwork() {
    server_.reset();
    std::filesystem::remove_all(folder_);
  }
  ManyCpsNetwork(const ManyCpsNetwork&) = delete;
  ManyCpsNetwork& operator=(const ManyCpsNetwork&) = delete;

  std::shared_ptr<lns::System> System() const { return server_->Networks()->Item(1)->Systems()->Item(1); }
  std::shared_ptr<lns::CpCollection> Cps() const {
    return server_->Networks()->Item(1)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1)
        ->Interface()->ConfigProperties();
  }

 private:
  std::filesystem::path folder_;
  std::shared_ptr<platform::lns_embedded::EmbeddedObjectServer> server_;
};

}  // namespace bench_support
