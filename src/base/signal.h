#pragma once
// Events: handlers connected to a signal are called in the order they were connected.

#include <functional>
#include <vector>

namespace base {

template <typename... Args>
class Signal {
 public:
  using Handler = std::function<void(Args...)>;
  void Connect(Handler handler) { handlers_.push_back(std::move(handler)); }
  void Emit(Args... args) const {
    for (const auto& handler : handlers_) handler(args...);
  }
  bool Connected() const { return !handlers_.empty(); }

 private:
  std::vector<Handler> handlers_;
};

}  // namespace base
