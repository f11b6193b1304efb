#include "platform/device_interface/self_doc.h"

#include <cctype>

#include "platform/device_interface/interface_error.h"

namespace platform::device_interface {
namespace {

constexpr size_t kMostBlocks = 4096;

[[noreturn]] void Damaged(const std::string& what, const std::string& why) { throw InterfaceError(what + ": " + why); }

bool Digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The digits at `at` (moved past them); raises when there are none or the value is above `most`.
uint32_t Digits(std::string_view text, size_t& at, const char* name, const std::string& what, uint32_t most) {
  const size_t start = at;
  uint64_t value = 0;
  while (at < text.size() && Digit(text[at]) && at - start < 10) value = value * 10 + static_cast<uint64_t>(text[at++] - '0');
  if (at == start) Damaged(what, std::string("the ") + name + " is missing at \"" + std::string(text.substr(start, 16)) + "\"");
  if (value > most) Damaged(what, std::string("the ") + name + " " + std::to_string(value) + " is above " + std::to_string(most));
  return static_cast<uint32_t>(value);
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

NodeSelfDoc ParseNodeSelfDoc(std::string_view text, const std::string& what) {
  NodeSelfDoc doc;
  const size_t semicolon = text.find(';');
  if (semicolon != std::string_view::npos) doc.text = std::string(text.substr(semicolon + 1));
  const std::string_view head = text.substr(0, semicolon);
  size_t at = 0;
  if (head.empty() || head[0] != '&') Damaged(what, "it does not begin with \"&<major>.<minor>@\"");
  ++at;
  doc.major = static_cast<uint8_t>(Digits(head, at, "major version", what, 255));
  if (at >= head.size() || head[at] != '.') Damaged(what, "the version has no \".\"");
  ++at;
  doc.minor = static_cast<uint8_t>(Digits(head, at, "minor version", what, 255));
  if (at >= head.size() || head[at] != '@') Damaged(what, "no \"@\" after the version");
  const std::string_view list = head.substr(at + 1);
  if (Trimmed(list).empty()) return doc;  // a device without blocks
  size_t entry = 0;
  for (size_t start = 0; start <= list.size(); ++entry) {
    const size_t comma = list.find(',', start);
    std::string_view item = Trimmed(list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    const std::string itemWhat = what + ", block entry " + std::to_string(entry + 1) + " \"" + std::string(item.substr(0, 32)) + "\"";
    size_t pos = 0;
    FunctionalBlock block;
    block.profileKey = Digits(item, pos, "profile key", itemWhat, 0xFFFFFFFF);
    uint32_t count = 1;
    if (pos < item.size() && item[pos] == '[') {
      ++pos;
      count = Digits(item, pos, "block count", itemWhat, kMostBlocks);
      if (count == 0) Damaged(itemWhat, "the block count is 0");
      if (pos < item.size() && item[pos] == ']') {
        ++pos;
      } else if (item.back() == ']') {
        item.remove_suffix(1);  // "1[4DI]": the bracket closes after the name
      }
    }
    block.name = std::string(Trimmed(item.substr(pos)));
    if (doc.blocks.size() + count > kMostBlocks) Damaged(itemWhat, "more than 4096 blocks");
    for (uint32_t i = 0; i < count; ++i) {
      block.index = static_cast<uint16_t>(doc.blocks.size());
      doc.blocks.push_back(block);
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return doc;
}

std::optional<NvSelfDoc> ParseNvSelfDoc(std::string_view text, const std::string& what) {
  const size_t semicolon = text.find(';');
  const std::string_view head = Trimmed(text.substr(0, semicolon));
  if (head.empty() || head == "*" || head[0] != '@') return std::nullopt;
  NvSelfDoc doc;
  if (semicolon != std::string_view::npos) doc.text = std::string(text.substr(semicolon + 1));
  size_t at = 1;
  doc.block = doc.lastBlock = static_cast<uint16_t>(Digits(head, at, "block", what, 0xFFFF));
  if (at < head.size() && (head[at] == '-' || head[at] == '~')) {
    ++at;
    doc.lastBlock = static_cast<uint16_t>(Digits(head, at, "last block", what, 0xFFFF));
    if (doc.lastBlock < doc.block) Damaged(what, "the blocks end before they begin");
  }
  if (at >= head.size() || (head[at] != '|' && head[at] != '#')) Damaged(what, "no \"|\" or \"#\" before the member number");
  doc.standardMember = head[at++] == '|';
  doc.member = static_cast<uint16_t>(Digits(head, at, "member number", what, 0xFFFF));
  if (at < head.size() && head[at] == '[') {
    ++at;
    doc.arrayIndex = static_cast<uint16_t>(Digits(head, at, "array index", what, 0xFFFF));
    if (at >= head.size() || head[at] != ']') Damaged(what, "the array index has no \"]\"");
    ++at;
  }
  if (at < head.size() && head[at] == '?') {
    doc.changeableType = true;
    ++at;
  }
  if (at != head.size()) Damaged(what, "\"" + std::string(head.substr(at, 16)) + "\" follows the member");
  return doc;
}

}  // namespace platform::device_interface
