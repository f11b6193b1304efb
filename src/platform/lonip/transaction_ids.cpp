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

}  // namespace platform::lonip
