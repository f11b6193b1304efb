#pragma once
// What a thread does while it waits for outside I/O that runs on another thread (a device
// request on the device worker): the window's front end sets a turn of its event loop
// (repaints, timers, posted events, no user input), so that the window never freezes while a
// device is asked. Only the thread that set the turn runs it; a turn never runs inside itself.

#include <functional>

namespace base {

// Sets the turn for the calling thread (nullptr removes it).
void SetWaitTurn(std::function<void()> turn);
// Whether the calling thread has a turn to run while it waits.
bool HasWaitTurn();
// Runs the calling thread's turn once; nothing without one, or inside a turn already.
void TurnWhileWaiting();
// Whether the calling thread is inside its turn: what it does there must not start work that
// the code waiting below it is in the middle of (delivering events, say).
bool InWaitTurn();

}  // namespace base
