#include "base/dispatch.h"

#include "base/error.h"
#include "base/text.h"

namespace base {

DispatchTable::Member& DispatchTable::Find(std::string_view name) {
  auto it = members_.find(FoldCase(name));
  if (it == members_.end()) {
    throw Error(err::kMemberNotSupported, source_,
                "Object doesn't support this property or method: " + std::string(name));
  }
  return it->second;
}

Variant DispatchTable::Get(std::string_view name) {
  Member& member = Find(name);
  if (!member.get) throw Error(err::kMemberNotSupported, source_, "Property " + std::string(name) + " is write-only");
  return member.get();
}

void DispatchTable::Put(std::string_view name, const Variant& value) {
  Member& member = Find(name);
  if (!member.put) throw Error(err::kMemberNotSupported, source_, "Property " + std::string(name) + " cannot be written");
  member.put(value);
}

Variant DispatchTable::Invoke(std::string_view name, std::vector<Variant>& args) {
  Member& member = Find(name);
  if (!member.method) throw Error(err::kMemberNotSupported, source_, std::string(name) + " is not a method");
  return member.method(args);
}

void DispatchTable::AddProperty(const std::string& name, Getter get, Putter put) {
  members_[FoldCase(name)] = Member{std::move(get), std::move(put), nullptr};
}

void DispatchTable::AddMethod(const std::string& name, Method method) {
  members_[FoldCase(name)] = Member{nullptr, nullptr, std::move(method)};
}

void DispatchTable::AddReadOnly(const std::string& name, Getter get, std::function<void()> refuseWrite) {
  members_[FoldCase(name)] = Member{std::move(get), [refuse = std::move(refuseWrite)](const Variant&) { refuse(); }, nullptr};
}

}  // namespace base
