#include "plugin/cp_lookup.h"

#include "base/error.h"
#include "base/text.h"

namespace plugin {
namespace {

constexpr const char* kSource = "plugin.CpLookup";

// The member of that name in a collection, or none. A walk instead of ItemByName: a missing CP
// is an expected case (a parameter without CP), and raising and catching an error for it costs
// more than looking at the few members.
template <typename Collection>
auto MemberNamed(const std::shared_ptr<Collection>& members, std::string_view name) -> decltype(members->Item(1)) {
  const int32_t count = members ? members->Count() : 0;
  for (int32_t position = 1; position <= count; ++position) {
    auto member = members->Item(position);
    if (base::EqualsNoCase(member->Name(), name)) return member;
  }
  return nullptr;
}

template <typename Member>
std::shared_ptr<Member> Checked(std::shared_ptr<Member> member, Need need, const std::string& what) {
  if (member == nullptr && need == Need::Required) throw base::Error(base::err::kInvalidCallOrKey, kSource, what);
  return member;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::shared_ptr<lns::ConfigProperty> ObjectCp(const std::shared_ptr<lns::LonMarkObject>& object,
                                              const std::string& name, Need need) {
  return Checked(object ? MemberNamed(object->ConfigProperties(), name) : nullptr, need,
                 "The LonMark object " + (object ? Quoted(object->Name()) + " " : std::string()) + "has no CP " +
                     Quoted(name) + ".");
}

std::shared_ptr<lns::ConfigProperty> DeviceCp(const std::shared_ptr<lns::AppDevice>& device, const std::string& name,
                                              Need need) {
  return Checked(device ? MemberNamed(device->Interface()->ConfigProperties(), name) : nullptr, need,
                 "The device " + (device ? Quoted(device->Name()) + " " : std::string()) + "has no CP " +
                     Quoted(name) + ".");
}

std::shared_ptr<lns::NetworkVariable> DeviceNv(const std::shared_ptr<lns::AppDevice>& device, const std::string& name,
                                               Need need) {
  return Checked(device ? MemberNamed(device->Interface()->NetworkVariables(), name) : nullptr, need,
                 "The device " + (device ? Quoted(device->Name()) + " " : std::string()) + "has no NV " +
                     Quoted(name) + ".");
}

std::shared_ptr<lns::ConfigProperty> NvCp(const std::shared_ptr<lns::AppDevice>& device, const std::string& nvName,
                                          const std::string& name, Need need) {
  const auto variable = DeviceNv(device, nvName, need);
  return Checked(variable ? MemberNamed(variable->ConfigProperties(), name) : nullptr, need,
                 "The NV " + Quoted(nvName) + " of the device " + (device ? Quoted(device->Name()) + " " : "") +
                     "has no CP " + Quoted(name) + ".");
}

}  // namespace plugin
