#include "platform/lonip/transaction_ids.h"

namespace platform::lonip {

namespace {
// The longest receive timer of a device (Neuron-ID addressed messages).
constexpr auto kReceiveTimer = std::chrono::milliseconds(8192);
}  // namespace

uint16_t TransactionIds::Next(bool priority, const std::string& destination, Clock::time_point now) {
  const int lane = priority ? 1 : 0;
  auto& byDestination = lastByDestination_[lane];
  const bool broadcast = destination == "*";
  const auto recent = [&](const Used& used) { return used.id != 0 && now - used.at < kReceiveTimer; };
  uint16_t id = last_[lane];
  for (int tries = 0; tries < 3; ++tries) {
    id = static_cast<uint16_t>(id % limit_ + 1);
    const auto previous = byDestination.find(destination);
    const bool sameAsLast = previous != byDestination.end() && recent(previous->second) && previous->second.id == id;
    const bool sameAsBroadcast = recent(lastBroadcast_[lane]) && lastBroadcast_[lane].id == id;
    bool sameAsAnyRecent = false;
    if (broadcast) {
      for (const auto& [name, used] : byDestination) sameAsAnyRecent = sameAsAnyRecent || (recent(used) && used.id == id);
    }
    if (!sameAsLast && !sameAsBroadcast && !sameAsAnyRecent) break;
  }
  last_[lane] = id;
  if (broadcast) {
    lastBroadcast_[lane] = {id, now};
  } else {
    byDestination[destination] = {id, now};
  }
  // Old entries go, so that a long session does not keep every device it ever asked.
  if (byDestination.size() > 4096) std::erase_if(byDestination, [&](const auto& entry) { return !recent(entry.second); });
  return id;
}

std::vector<TransactionIds::Recent> TransactionIds::RecentIds(Clock::time_point now) const {
  std::vector<Recent> recent;
  for (int lane = 0; lane < 2; ++lane) {
    for (const auto& [destination, used] : lastByDestination_[lane]) {
      if (used.id != 0 && now - used.at < kReceiveTimer) recent.push_back({lane == 1, destination, used.id, now - used.at});
    }
    const Used& broadcast = lastBroadcast_[lane];
    if (broadcast.id != 0 && now - broadcast.at < kReceiveTimer) recent.push_back({lane == 1, "*", broadcast.id, now - broadcast.at});
  }
  return recent;
}

void TransactionIds::Remember(const Recent& recent, Clock::time_point now) {
  if (recent.id == 0 || recent.id > limit_ || recent.age < Clock::duration::zero() || recent.age >= kReceiveTimer) return;
  const Used used{recent.id, now - recent.age};
  const int lane = recent.priority ? 1 : 0;
  if (recent.destination == "*") {
    lastBroadcast_[lane] = used;
  } else {
    lastByDestination_[lane][recent.destination] = used;
  }
}

}  // namespace platform::lonip
