#include "platform/device_interface/interface_compare.h"

#include <map>

namespace platform::device_interface {
namespace {

std::string NvLabel(const InterfaceNv& nv) {
  return "NV " + std::to_string(nv.index) + (nv.name.empty() ? "" : " (" + nv.name + ")");
}

std::string Direction(bool output) { return output ? "output" : "input"; }

template <typename T>
void Differs(std::vector<std::string>& lines, const std::string& what, const T& planned, const T& found) {
  if (planned == found) return;
  lines.push_back(what + ": the template " + planned + ", the device " + found);
}

void CompareBlocks(std::vector<std::string>& lines, const NodeSelfDoc& planned, const NodeSelfDoc& found) {
  if (planned.blocks.size() != found.blocks.size()) {
    lines.push_back("functional blocks: the template " + std::to_string(planned.blocks.size()) + ", the device " +
                    std::to_string(found.blocks.size()));
    return;
  }
  for (size_t i = 0; i < planned.blocks.size(); ++i) {
    Differs(lines, "block " + std::to_string(i) + " profile", std::to_string(planned.blocks[i].profileKey),
            std::to_string(found.blocks[i].profileKey));
  }
}

void CompareNvs(std::vector<std::string>& lines, const DeviceInterface& planned, const DeviceInterface& found) {
  if (planned.nvs.size() != found.nvs.size()) {
    lines.push_back("NVs: the template " + std::to_string(planned.nvs.size()) + ", the device " + std::to_string(found.nvs.size()));
  }
  std::map<uint16_t, const InterfaceNv*> foundByIndex;
  for (const auto& nv : found.nvs) foundByIndex[nv.index] = &nv;
  for (const auto& nv : planned.nvs) {
    const auto it = foundByIndex.find(nv.index);
    if (it == foundByIndex.end()) {
      lines.push_back(NvLabel(nv) + ": the device has no NV " + std::to_string(nv.index));
      continue;
    }
    const InterfaceNv& other = *it->second;
    Differs(lines, NvLabel(nv) + " type", std::to_string(nv.typeIndex), std::to_string(other.typeIndex));
    if (nv.length != 0 && other.length != 0) {
      Differs(lines, NvLabel(nv) + " length", std::to_string(nv.length), std::to_string(other.length));
    }
    Differs(lines, NvLabel(nv) + " direction", Direction(nv.output), Direction(other.output));
    foundByIndex.erase(it);
  }
  for (const auto& [index, nv] : foundByIndex) lines.push_back(NvLabel(*nv) + ": the template has no NV " + std::to_string(index));
}

// Where a CP lives, by number only: a device's self-identification data may name no NV.
std::string PlaceOf(const InterfaceCp& cp) {
  switch (cp.place.kind) {
    case CpPlace::Kind::ConfigNv: return "configuration NV " + std::to_string(cp.place.nvIndex);
    case CpPlace::Kind::WritableFile: return "writable value file at " + std::to_string(cp.place.offset);
    case CpPlace::Kind::ReadOnlyFile: return "read-only value file at " + std::to_string(cp.place.offset);
  }
  return "";
}

// The record as compared; `withSize` false leaves the element size out (a configuration NV's
// size follows from its NV's length, which a template may not give).
std::string RecordText(const InterfaceCp& cp, bool withSize) {
  std::string items;
  for (const auto index : cp.record.select) items += (items.empty() ? "" : ",") + std::to_string(index);
  const char* kinds[] = {"the device", "block", "NV"};
  return std::string(kinds[static_cast<int>(cp.record.appliesTo)]) + (items.empty() ? "" : " " + items) + ", " +
         CpTypeText(cp.record) + ", " + (withSize ? std::to_string(cp.record.size) : "?") + " x " +
         std::to_string(cp.record.dimension) + " bytes, flags " + std::to_string(cp.record.flags) + ", " + PlaceOf(cp);
}

void CompareCps(std::vector<std::string>& lines, const DeviceInterface& planned, const DeviceInterface& found) {
  if (!found.cpProblem.empty()) {
    lines.push_back("CPs: the device's were not read: " + found.cpProblem);
    return;
  }
  if (planned.cps.size() != found.cps.size()) {
    lines.push_back("CPs: the template " + std::to_string(planned.cps.size()) + ", the device " + std::to_string(found.cps.size()));
  }
  for (size_t i = 0; i < std::min(planned.cps.size(), found.cps.size()); ++i) {
    const auto& a = planned.cps[i];
    const auto& b = found.cps[i];
    const bool withSize = a.record.size != 0 && b.record.size != 0;
    if (RecordText(a, withSize) != RecordText(b, withSize)) {
      lines.push_back("CP " + std::to_string(i + 1) + ": the template " + RecordText(a, true) + "; the device " + RecordText(b, true));
    }
  }
}

}  // namespace

std::vector<std::string> InterfaceDifferences(const DeviceInterface& planned, const DeviceInterface& found) {
  std::vector<std::string> lines;
  Differs(lines, "program ID", planned.programId, found.programId);
  CompareBlocks(lines, planned.node, found.node);
  CompareNvs(lines, planned, found);
  CompareCps(lines, planned, found);
  return lines;
}

}  // namespace platform::device_interface
