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
  using Id = uint64_t;

  Id Connect(Handler handler) {
    handlers_.push_back({++lastId_, std::move(handler)});
    return lastId_;
  }
  void Disconnect(Id id) {
    std::erase_if(handlers_, [id](const Entry& entry) { return entry.id == id; });
  }
  void Emit(Args... args) const {
    // By position and on a copy of the handler, so a handler may (dis)connect others.
    for (size_t i = 0; i < handlers_.size(); ++i) {
      Handler handler = handlers_[i].handler;
      handler(args...);
    }
  }
  bool Connected() const { return !handlers_.empty(); }

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

  template <typename Object, typename... Args>
  void Connect(const std::shared_ptr<Object>& object, Signal<Args...> Object::*signal,
               typename Signal<Args...>::Handler handler) {
    const auto id = ((*object).*signal).Connect(std::move(handler));
    std::weak_ptr<Object> weak = object;
    disconnects_.push_back([weak, signal, id] {
      if (auto alive = weak.lock()) ((*alive).*signal).Disconnect(id);
    });
  }

  void DisconnectAll() {
    for (auto& disconnect : disconnects_) disconnect();
    disconnects_.clear();
  }

 private:
  std::vector<std::function<void()>> disconnects_;
};

}  // namespace base
