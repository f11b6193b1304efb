#pragma once
// Dispatch: an object whose properties and methods are reached by name (without regard to
// case), with Variant values. An unknown member raises error 438, a value of the wrong type
// error 13.

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/variant.h"

namespace base {

class Dispatch {
 public:
  virtual ~Dispatch() = default;
  virtual Variant Get(std::string_view name) = 0;
  // Puts a value, or sets an object reference when `value` holds an object.
  virtual void Put(std::string_view name, const Variant& value) = 0;
  // Arguments passed by reference come back changed in `args`.
  virtual Variant Invoke(std::string_view name, std::vector<Variant>& args) = 0;
};

// A Dispatch built from a table of members.
class DispatchTable : public Dispatch {
 public:
  using Getter = std::function<Variant()>;
  using Putter = std::function<void(const Variant&)>;
  using Method = std::function<Variant(std::vector<Variant>&)>;

  Variant Get(std::string_view name) override;
  void Put(std::string_view name, const Variant& value) override;
  Variant Invoke(std::string_view name, std::vector<Variant>& args) override;

 protected:
  explicit DispatchTable(std::string source) : source_(std::move(source)) {}
  void AddProperty(const std::string& name, Getter get, Putter put = nullptr);
  void AddMethod(const std::string& name, Method method);
  // A property that raises `error` when written.
  void AddReadOnly(const std::string& name, Getter get, std::function<void()> refuseWrite);
  const std::string& Source() const { return source_; }

 private:
  struct Member {
    Getter get;
    Putter put;
    Method method;
  };
  Member& Find(std::string_view name);

  std::string source_;
  std::unordered_map<std::string, Member> members_;  // by folded name
};

}  // namespace base
