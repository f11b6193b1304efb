// Reads of devices away from the owner's thread: one round of timeouts for a silent device,
// however many of its NVs were asked for, while other devices are asked as usual; answers only
// on the owner's thread.

#include "platform/lns_embedded/device_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <future>
#include <map>

#include "base/error.h"
#include "lns/lns_errors.h"

namespace {

using platform::lns_embedded::DeviceAnswer;
using platform::lns_embedded::DeviceReader;
using platform::lns_embedded::DeviceWorker;

TEST(DeviceReaderTest, ASilentDeviceFailsItsQueuedReadsUnaskedAndOthersAreAskedAsUsual) {
  auto worker = std::make_shared<DeviceWorker>();
  std::map<int64_t, std::pair<int32_t, std::vector<uint8_t>>> answers;  // by NV
  DeviceReader reader(
      worker, [&](const DeviceAnswer& a) { answers[a.nvId] = {a.error, a.value}; }, std::make_shared<std::atomic<int64_t>>(0));
  std::atomic<int> asked{0};
  std::promise<void> allAsked;  // the device takes as long as the asks below
  const std::shared_future<void> asksDone = allAsked.get_future().share();
  const auto fetch = [&](int32_t error, uint8_t value) {
    return [&asked, asksDone, error, value]() -> std::vector<uint8_t> {
      asksDone.wait_for(std::chrono::seconds(5));
      ++asked;
      if (error != 0) throw base::Error(error, "LNS", "no");
      return {value};
    };
  };
  // Device 1 does not answer; device 2 is busy once (its own read alone fails), then answers.
  for (int64_t nv = 11; nv <= 13; ++nv) reader.Ask(1, nv, fetch(lns::err::kDeviceNotAccessible, 0));
  reader.Ask(1, 11, fetch(0, 9));  // asked already: not queued twice
  reader.Ask(2, 21, fetch(lns::err::kInterfaceBusy, 0));
  reader.Ask(2, 22, fetch(0, 7));
  EXPECT_TRUE(reader.Asking(12));
  allAsked.set_value();
  pollfd ready{worker->Descriptor(), POLLIN, 0};
  int taken = 0;
  while (taken < 5 && ::poll(&ready, 1, 5000) == 1) taken += worker->RunDelivered();
  using Answer = std::pair<int32_t, std::vector<uint8_t>>;
  EXPECT_EQ(answers, (std::map<int64_t, Answer>{{11, {lns::err::kDeviceNotAccessible, {}}},
                                                 {12, {lns::err::kDeviceNotAccessible, {}}},
                                                 {13, {lns::err::kDeviceNotAccessible, {}}},
                                                 {21, {lns::err::kInterfaceBusy, {}}},
                                                 {22, {0, {7}}}}));
  EXPECT_EQ(asked, 3);  // device 1 once, device 2 twice
  EXPECT_FALSE(reader.Asking(12));  // answered: the next ask asks the device again
}

}  // namespace
