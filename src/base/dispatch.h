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
  // Reads a property.
  virtual Variant Get(std::string_view name) = 0;
  // Puts a value, or sets an object reference when `value` holds an object.
  virtual void Put(std::string_view name, const Variant& value) = 0;
  // Calls a method and returns its result; arguments passed by reference come back changed
  // in `args`.
  virtual Variant Invoke(std::string_view name, std::vector<Variant>& args) = 0;
};

// A Dispatch built from a table of members, which a derived class fills in its constructor.
class DispatchTable : public Dispatch {
 public:
  // The code behind a property read, a property write and a method call.
  using Getter = std::function<Variant()>;
  using Putter = std::function<void(const Variant&)>;
  using Method = std::function<Variant(std::vector<Variant>&)>;

  // Look the member up by name (without regard to case). An unknown name raises 438, and so
  // does reading a property without a getter, writing one without a putter, or calling a
  // member that is not a method; the member's own code raises what it raises.
  Variant Get(std::string_view name) override;
  void Put(std::string_view name, const Variant& value) override;
  Variant Invoke(std::string_view name, std::vector<Variant>& args) override;

 protected:
  // `source` is the source of the errors the table raises.
  explicit DispatchTable(std::string source) : source_(std::move(source)) {}
  // Adds a member, replacing one of the same name; a property without `put` cannot be written
  // (438).
  void AddProperty(const std::string& name, Getter get, Putter put = nullptr);
  void AddMethod(const std::string& name, Method method);
  // A property whose write calls `refuseWrite`, which raises the error the caller should see.
  void AddReadOnly(const std::string& name, Getter get, std::function<void()> refuseWrite);
  const std::string& Source() const { return source_; }  // as given to the constructor

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
