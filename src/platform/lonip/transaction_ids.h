#pragma once
// Transaction ids of the requests a client sends: 1..15 (1..4095 in the enhanced version),
// never 0, counted separately for priority and normal traffic. A device takes a request that
// repeats the id of the last one it had from the same sender, inside its receive timer, for a
// retry and answers from its cache, so a new request never takes the id last used with the
// same destination, nor the id of a recent broadcast, which every device heard.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform::lonip {

class TransactionIds {
 public:
  using Clock = std::chrono::steady_clock;
  // `enhanced`: 12-bit ids.
  explicit TransactionIds(bool enhanced) : limit_(enhanced ? 0x0FFF : 0x0F) {}

  // The id of a new request to `destination` ("*" for a broadcast) at `now`.
  uint16_t Next(bool priority, const std::string& destination, Clock::time_point now = Clock::now());
  // The last id given in a lane, and continuing from one kept by an earlier process: a device
  // takes the same id from the same address for a retry, whichever program sends it.
  uint16_t Last(bool priority) const { return last_[priority ? 1 : 0]; }
  void ContinueFrom(uint16_t normal, uint16_t priority) {
    last_[0] = static_cast<uint16_t>(normal % (limit_ + 1));
    last_[1] = static_cast<uint16_t>(priority % (limit_ + 1));
  }
  // The ids given to destinations within a device's receive timer before `now`, and taking
  // them over from an earlier process, so that its requests are not taken for retries either.
  struct Recent {
    bool priority = false;
    std::string destination;
    uint16_t id = 0;
    Clock::duration age{};  // before `now`
  };
  std::vector<Recent> RecentIds(Clock::time_point now = Clock::now()) const;
  void Remember(const Recent& recent, Clock::time_point now = Clock::now());

 private:
  struct Used {
    uint16_t id = 0;
    Clock::time_point at;
  };
  uint16_t limit_;
  uint16_t last_[2] = {0, 0};
  std::map<std::string, Used> lastByDestination_[2];
  Used lastBroadcast_[2];
};

}  // namespace platform::lonip
