#pragma once
// Events: handlers connected to a signal are called in the order they were connected.
// A handler may be disconnected by the id Connect returned, also from within a handler.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace base {

template <typename... Args>
class Signal {
 public:
  using Handler = std::function<void(Args...)>;
  using Id = uint64_t;  // identifies one connection; never 0, never reused by a signal

  // Adds a handler after the others and returns its id.
  Id Connect(Handler handler) {
    handlers_.push_back({++lastId_, std::move(handler)});
    return lastId_;
  }
  // Removes the handler of that id (nothing when there is none).
  void Disconnect(Id id) {
    std::erase_if(handlers_, [id](const Entry& entry) { return entry.id == id; });
  }
  // Calls every handler with `args`, in the order they were connected.
  void Emit(Args... args) const {
    // By position and on a copy of the handler, so a handler may (dis)connect others.
    for (size_t i = 0; i < handlers_.size(); ++i) {
      Handler handler = handlers_[i].handler;
      handler(args...);
    }
  }
  bool Connected() const { return !handlers_.empty(); }  // whether any handler is connected

 private:
  struct Entry {
    Id id;
    Handler handler;
  };
  std::vector<Entry> handlers_;
  Id lastId_ = 0;
};

}  // namespace base

namespace base {

// Disconnects the handlers it made when it ends, for handlers that refer to their maker.
// A signal whose object has gone by then is skipped.
class Connections {
 public:
  Connections() = default;
  ~Connections() { DisconnectAll(); }
  Connections(const Connections&) = delete;
  Connections& operator=(const Connections&) = delete;

  // Connects `handler` to the signal member `signal` of `object` and remembers how to
  // disconnect it; the object is held weakly, so this does not keep it alive.
  template <typename Object, typename... Args>
  void Connect(const std::shared_ptr<Object>& object, Signal<Args...> Object::*signal,
               typename Signal<Args...>::Handler handler) {
    const auto id = ((*object).*signal).Connect(std::move(handler));
    std::weak_ptr<Object> weak = object;
    disconnects_.push_back([weak, signal, id] {
      if (auto alive = weak.lock()) ((*alive).*signal).Disconnect(id);
    });
  }

  // Disconnects every handler made so far (those of objects that have gone are skipped).
  void DisconnectAll() {
    for (auto& disconnect : disconnects_) disconnect();
    disconnects_.clear();
  }

 private:
  std::vector<std::function<void()>> disconnects_;
};

}  // namespace base
