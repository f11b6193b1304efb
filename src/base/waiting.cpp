#include "base/waiting.h"

#include <mutex>
#include <thread>

namespace base {
namespace {

struct Turn {
  std::mutex mutex;
  std::function<void()> run;
  std::thread::id owner;
};

Turn& TheTurn() {
  static Turn turn;
  return turn;
}

thread_local bool inTurn = false;

}  // namespace

void SetWaitTurn(std::function<void()> turn) {
  Turn& the = TheTurn();
  const std::lock_guard lock(the.mutex);
  the.run = std::move(turn);
  the.owner = std::this_thread::get_id();
}

bool HasWaitTurn() {
  Turn& the = TheTurn();
  const std::lock_guard lock(the.mutex);
  return the.run && the.owner == std::this_thread::get_id();
}

bool InWaitTurn() { return inTurn; }

void TurnWhileWaiting() {
  if (inTurn || !HasWaitTurn()) return;
  std::function<void()> run;
  {
    Turn& the = TheTurn();
    const std::lock_guard lock(the.mutex);
    run = the.run;
  }
  inTurn = true;
  struct Done {
    ~Done() { inTurn = false; }
  } done;
  run();
}

}  // namespace base
