#include "platform/lns_embedded/device_entry.h"

#include <map>
#include <optional>
#include <set>

#include "base/error.h"
#include "base/text.h"
#include "lns/lns_errors.h"
#include "platform/lns_embedded/nv_types.h"

namespace platform::lns_embedded {
namespace {

namespace di = device_interface;
using json = nlohmann::ordered_json;

[[noreturn]] void Cannot(const std::string& what) { throw base::Error(lns::err::kBadValue, "portab-lns", what); }

json ByteList(const std::vector<uint8_t>& bytes) {
  json list = json::array();
  for (const uint8_t b : bytes) list.push_back(b);
  return list;
}

// "9FFFFF081C0A0401" as a network spells program IDs: "9F:FF:FF:08:1C:0A:04:01".
std::string ProgramIdText(const std::string& hex) {
  std::string text;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) text += (text.empty() ? "" : ":") + hex.substr(i, 2);
  return text;
}

std::string NvNameOf(const di::InterfaceNv& nv) { return nv.name.empty() ? "NV " + std::to_string(nv.index) : nv.name; }

json NvEntry(const di::InterfaceNv& nv) {
  json entry{{"name", NvNameOf(nv)}};
  const NvType* type = FindNvType(static_cast<int16_t>(nv.typeIndex));
  const bool changeable = (nv.member && nv.member->changeableType) || (nv.cp && nv.cp->changeableType);
  if (nv.length == 0) {
    if (type == nullptr) {
      Cannot("NV " + std::to_string(nv.index) + " \"" + nv.name + "\": the device did not give its value, and its type " +
             std::to_string(nv.typeIndex) + " does not say its length");
    }
    entry["type"] = std::string(type->name);
    entry["changeable"] = changeable;
    return entry;
  }
  if (type != nullptr && type->size == nv.length && nv.typeIndex != 0) {
    entry["type"] = std::string(type->name);
  } else {
    entry["typeIndex"] = nv.typeIndex;
    entry["size"] = nv.length;
  }
  entry["changeable"] = changeable;
  entry["value"] = ByteList(nv.value);
  return entry;
}

// Block names: the node string's, numbered where several blocks share one; "Block <n>" for none.
std::vector<std::string> BlockNames(const di::NodeSelfDoc& node) {
  std::map<std::string, int> uses;
  for (const auto& block : node.blocks) ++uses[base::FoldCase(block.name)];
  std::map<std::string, int> seen;
  std::vector<std::string> names;
  for (const auto& block : node.blocks) {
    if (block.name.empty()) {
      names.push_back("Block " + std::to_string(block.index));
    } else if (uses[base::FoldCase(block.name)] > 1) {
      names.push_back(block.name + "[" + std::to_string(seen[base::FoldCase(block.name)]++) + "]");
    } else {
      names.push_back(block.name);
    }
  }
  return names;
}

std::string CpTypeName(const di::CpRecord& record) {
  const std::string text = di::CpTypeText(record);  // "SCPTmaxSendTime (49)", "SCPT 52", "UCPT 9 (scope 1)"
  if (record.scope != 0) return "UCPT " + std::to_string(record.typeIndex);
  return text.substr(0, text.find(" ("));
}

// Adds `cp` to an owner's list under a name not used there yet.
void AddCp(json& list, json cp) {
  std::set<std::string> used;
  for (const auto& other : list) used.insert(base::FoldCase(other["name"].get<std::string>()));
  const std::string base = cp["name"].get<std::string>();
  for (int n = 2; used.contains(base::FoldCase(cp["name"].get<std::string>())); ++n) cp["name"] = base + " " + std::to_string(n);
  list.push_back(std::move(cp));
}

class EntryBuilder {
 public:
  EntryBuilder(const di::DeviceInterface& device, json& entry) : device_(device), entry_(entry) {
    for (size_t i = 0; i < device.nvs.size(); ++i) nvPosition_[device.nvs[i].index] = i;
    for (size_t i = 0; i < device.node.blocks.size(); ++i) blockPosition_[device.node.blocks[i].index] = i;
  }

  void Cp(const di::InterfaceCp& cp) {
    const std::string what = cp.recordNumber == 0 ? "configuration NV " + std::to_string(cp.place.nvIndex)
                                                  : "template record " + std::to_string(cp.recordNumber);
    if (cp.record.size == 0 || cp.value.size() < cp.record.Bytes()) Cannot(what + ": the device did not give its value");
    for (const auto& share : di::SharesOf(cp.record)) {
      json item{{"name", CpTypeName(cp.record)}, {"elementSize", cp.record.size}, {"dimension", share.dimension}};
      const auto begin = cp.value.begin() + share.offset;
      item["value"] = ByteList({begin, begin + share.dimension * cp.record.size});
      if (cp.place.kind == di::CpPlace::Kind::ConfigNv) {
        item["deviceNv"] = NvNameOf(device_.nvs[nvPosition_.at(cp.place.nvIndex)]);
      } else {
        item["deviceFile"] = cp.place.kind == di::CpPlace::Kind::WritableFile ? "writable" : "readOnly";
        item["deviceOffset"] = cp.place.offset + share.offset;
      }
      if ((cp.record.flags & 0x7F) != 0) item["deviceFlags"] = cp.record.flags;
      AddCp(OwnerList(share, what), std::move(item));
    }
  }

 private:
  json& OwnerList(const di::CpShare& share, const std::string& what) {
    switch (share.kind) {
      case di::AppliesTo::Device: return entry_["cps"];
      case di::AppliesTo::Blocks: {
        const auto block = blockPosition_.find(share.index);
        if (block == blockPosition_.end()) Cannot(what + " applies to block " + std::to_string(share.index) + ", which the device does not list");
        return entry_["lonMarkObjects"][block->second]["cps"];
      }
      case di::AppliesTo::Nvs: break;
    }
    const auto nv = nvPosition_.find(share.index);
    if (nv == nvPosition_.end()) Cannot(what + " applies to NV " + std::to_string(share.index) + ", which the device does not have");
    return entry_["nvs"][nv->second]["cps"];
  }

  const di::DeviceInterface& device_;
  json& entry_;
  std::map<uint16_t, size_t> nvPosition_, blockPosition_;
};

bool SameText(const json& a, const json& b, const char* key) {
  const std::string left = a.value(key, std::string()), right = b.value(key, std::string());
  return base::EqualsNoCase(left, right);
}

std::string Size(const json& cp) {
  return std::to_string(cp.value("elementSize", 1)) + " x " + std::to_string(cp.value("dimension", 1));
}

std::string Place(const json& cp) {
  if (cp.contains("deviceNv")) return "the configuration NV " + cp.value("deviceNv", std::string());
  if (!cp.contains("deviceFile")) return "no place";
  return "offset " + std::to_string(cp.value("deviceOffset", 0)) + " of the " + cp.value("deviceFile", std::string()) + " value file";
}

// The template's CPs matched to the device's: a CP held by a configuration NV by that NV, the
// others in order. Differences are added to `differences`; the device CP of each template CP.
std::vector<std::optional<size_t>> MatchCps(const json& templ, const json& device, const std::string& owner,
                                            std::vector<std::string>& differences) {
  const json none = json::array();
  const json& t = templ.is_array() ? templ : none;
  const json& d = device.is_array() ? device : none;
  std::vector<std::optional<size_t>> match(t.size());
  std::vector<bool> used(d.size(), false);
  size_t next = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    const std::string name = t[i].value("name", std::string());
    if (t[i].contains("deviceNv")) {
      for (size_t j = 0; j < d.size() && !match[i]; ++j) {
        if (!used[j] && SameText(t[i], d[j], "deviceNv")) match[i] = j;
      }
      if (!match[i]) differences.push_back(owner + ": the network's CP \"" + name + "\" is held by the NV \"" +
                                           t[i]["deviceNv"].get<std::string>() + "\", which holds no CP on the device");
    } else {
      while (next < d.size() && (used[next] || d[next].contains("deviceNv"))) ++next;
      if (next < d.size()) match[i] = next++;
      else differences.push_back(owner + ": the network's CP \"" + name + "\" is not on the device");
    }
    if (!match[i]) continue;
    used[*match[i]] = true;
    const json& other = d[*match[i]];
    if (other.value("elementSize", 1) != t[i].value("elementSize", 1) || other.value("dimension", 1) != t[i].value("dimension", 1)) {
      differences.push_back(owner + ": the network's CP \"" + name + "\" has " + Size(t[i]) + " bytes, the device's " +
                            other.value("name", std::string()) + " " + Size(other));
    }
    // Where the network says the device keeps it, and its flags, are the device's to say.
    if (t[i].contains("deviceFile") && (!SameText(t[i], other, "deviceFile") || t[i].value("deviceOffset", -1) != other.value("deviceOffset", -1))) {
      differences.push_back(owner + ": the network's CP \"" + name + "\" is at " + Place(t[i]) + ", on the device at " + Place(other));
    }
    if ((t[i].contains("deviceFile") || t[i].contains("deviceNv")) && t[i].value("deviceFlags", 0) != other.value("deviceFlags", 0)) {
      differences.push_back(owner + ": the network's CP \"" + name + "\" has the flags " + std::to_string(t[i].value("deviceFlags", 0)) +
                            ", on the device " + std::to_string(other.value("deviceFlags", 0)));
    }
  }
  for (size_t j = 0; j < d.size(); ++j) {
    if (!used[j]) differences.push_back(owner + ": the device's CP " + d[j].value("name", std::string()) + " (" + Size(d[j]) +
                                        " bytes) is not in the network's device");
  }
  return match;
}

std::string NvShape(const json& nv) {
  std::string text = nv.contains("type") ? nv["type"].get<std::string>()
                                         : "type " + std::to_string(nv.value("typeIndex", 0)) + " of " +
                                               std::to_string(nv.value("size", 0)) + " bytes";
  return text + (nv.value("changeable", true) ? ", changeable" : ", fixed type");
}

const json& ListOf(const json& object, const char* key) {
  static const json none = json::array();
  return object.contains(key) && object[key].is_array() ? object[key] : none;
}

// Walks the CP owners of both entries side by side: the device, each NV, each LonMark object.
template <typename Visit>
void EachOwner(const json& templ, const json& entry, Visit visit) {
  visit("the device", ListOf(templ, "cps"), ListOf(entry, "cps"), std::string("cps"), size_t{0});
  const auto& tNvs = ListOf(templ, "nvs");
  const auto& eNvs = ListOf(entry, "nvs");
  for (size_t i = 0; i < tNvs.size() && i < eNvs.size(); ++i) {
    visit("NV \"" + tNvs[i].value("name", std::string()) + "\"", ListOf(tNvs[i], "cps"), ListOf(eNvs[i], "cps"),
          std::string("nvs"), i);
  }
  const auto& tObjects = ListOf(templ, "lonMarkObjects");
  const auto& eObjects = ListOf(entry, "lonMarkObjects");
  for (size_t i = 0; i < tObjects.size() && i < eObjects.size(); ++i) {
    visit("LonMark object \"" + tObjects[i].value("name", std::string()) + "\"", ListOf(tObjects[i], "cps"),
          ListOf(eObjects[i], "cps"), std::string("lonMarkObjects"), i);
  }
}

}  // namespace

json DeviceEntryOf(const di::DeviceInterface& device, const std::string& name, const std::string& templateName) {
  const std::string programId = ProgramIdText(device.programId);
  json entry{{"name", name}, {"template", templateName.empty() ? programId : templateName}, {"programId", programId},
             {"reachable", true}};
  entry["cps"] = json::array();
  entry["nvs"] = json::array();
  for (const auto& nv : device.nvs) {
    json item = NvEntry(nv);
    item["cps"] = json::array();
    entry["nvs"].push_back(std::move(item));
  }
  entry["lonMarkObjects"] = json::array();
  const auto names = BlockNames(device.node);
  for (size_t i = 0; i < device.node.blocks.size(); ++i) {
    const auto& block = device.node.blocks[i];
    json members = json::array();
    for (const auto& nv : device.nvs) {
      if (nv.member && nv.member->block <= block.index && block.index <= nv.member->lastBlock) members.push_back(NvNameOf(nv));
    }
    entry["lonMarkObjects"].push_back({{"name", names[i]}, {"profile", block.profileKey}, {"cps", json::array()}, {"nvs", members}});
  }
  EntryBuilder builder(device, entry);
  for (const auto& cp : device.cps) builder.Cp(cp);
  return entry;
}

std::vector<std::string> ShapeDifferences(const json& templ, const json& entry) {
  std::vector<std::string> differences;
  const auto& tNvs = ListOf(templ, "nvs");
  const auto& eNvs = ListOf(entry, "nvs");
  if (tNvs.size() != eNvs.size()) {
    differences.push_back("the network's device has " + std::to_string(tNvs.size()) + " NVs, the device " + std::to_string(eNvs.size()));
  }
  for (size_t i = 0; i < tNvs.size() && i < eNvs.size(); ++i) {
    const std::string t = tNvs[i].value("name", std::string()), e = eNvs[i].value("name", std::string());
    if (!base::EqualsNoCase(t, e)) differences.push_back("NV " + std::to_string(i) + ": \"" + t + "\" in the network, \"" + e + "\" on the device");
    if (NvShape(tNvs[i]) != NvShape(eNvs[i])) {
      differences.push_back("NV " + std::to_string(i) + " \"" + t + "\": " + NvShape(tNvs[i]) + " in the network, " +
                            NvShape(eNvs[i]) + " on the device");
    }
  }
  const auto& tObjects = ListOf(templ, "lonMarkObjects");
  const auto& eObjects = ListOf(entry, "lonMarkObjects");
  if (tObjects.size() != eObjects.size()) {
    differences.push_back("the network's device has " + std::to_string(tObjects.size()) + " LonMark objects, the device " +
                          std::to_string(eObjects.size()) + " functional blocks");
  }
  for (size_t i = 0; i < tObjects.size() && i < eObjects.size(); ++i) {
    const std::string name = tObjects[i].value("name", std::string());
    if (tObjects[i].value("profile", 0) != eObjects[i].value("profile", 0)) {
      differences.push_back("LonMark object " + std::to_string(i) + " \"" + name + "\": profile " +
                            std::to_string(tObjects[i].value("profile", 0)) + " in the network, " +
                            std::to_string(eObjects[i].value("profile", 0)) + " on the device");
    }
    std::vector<std::string> tMembers, eMembers;
    for (const auto& m : ListOf(tObjects[i], "nvs")) tMembers.push_back(base::FoldCase(m.get<std::string>()));
    for (const auto& m : ListOf(eObjects[i], "nvs")) eMembers.push_back(base::FoldCase(m.get<std::string>()));
    if (tMembers != eMembers) differences.push_back("LonMark object \"" + name + "\": its NVs differ");
  }
  EachOwner(templ, entry, [&](const std::string& owner, const json& t, const json& e, const std::string&, size_t) {
    MatchCps(t, e, owner, differences);
  });
  return differences;
}

void TakeTemplateNames(const json& templ, json& entry) {
  const auto& tObjects = ListOf(templ, "lonMarkObjects");
  for (size_t i = 0; i < tObjects.size() && i < ListOf(entry, "lonMarkObjects").size(); ++i) {
    entry["lonMarkObjects"][i]["name"] = tObjects[i]["name"];
  }
  const json original = entry;
  EachOwner(templ, original, [&](const std::string& owner, const json& t, const json& e, const std::string& key, size_t i) {
    std::vector<std::string> ignored;
    const auto match = MatchCps(t, e, owner, ignored);
    json ordered = json::array();
    for (size_t j = 0; j < match.size(); ++j) {
      if (!match[j]) continue;
      json cp = e[*match[j]];
      cp["name"] = t[j]["name"];
      ordered.push_back(std::move(cp));
    }
    (key == "cps" ? entry["cps"] : entry[key][i]["cps"]) = std::move(ordered);
  });
}

}  // namespace platform::lns_embedded
