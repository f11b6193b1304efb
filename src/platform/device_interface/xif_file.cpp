#include "platform/device_interface/xif_file.h"

#include <cctype>
#include <algorithm>
#include <charconv>
#include <set>

#include "base/encoding.h"
#include "platform/device_interface/hex_digit.h"
#include "platform/device_interface/interface_error.h"
#include "platform/device_interface/si_data.h"

namespace platform::device_interface {
namespace {

constexpr size_t kMostNvs = 4096;

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    const size_t start = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
    if (at > start) words.push_back(line.substr(start, at - start));
  }
  return words;
}

std::optional<int64_t> Integer(std::string_view word) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

bool Same(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

// The records portab reads, in any letter case.
bool IsKeyword(std::string_view word) { return Same(word, "VAR") || Same(word, "TAG") || Same(word, "FILE") || Same(word, "NVVAL"); }

// A record's first line: a word of capital letters (or a keyword) at the start of the line.
bool IsRecordStart(std::string_view line) {
  if (line.empty() || std::isalpha(static_cast<unsigned char>(line[0])) == 0) return false;
  const auto words = Words(line);
  if (IsKeyword(words.front())) return true;
  for (const char c : words.front()) {
    if (std::isupper(static_cast<unsigned char>(c)) == 0 && c != '_') return false;
  }
  return true;
}

class Reader {
 public:
  Reader(std::string_view bytes, std::string name) : name_(std::move(name)), utf8_(base::IsValidUtf8(bytes)) {
    for (size_t start = 0; start <= bytes.size();) {
      size_t end = bytes.find('\n', start);
      if (end == std::string_view::npos) end = bytes.size();
      std::string_view line = bytes.substr(start, end - start);
      // Trailing blanks, the CR of a CR LF, an end-of-file mark (Ctrl-Z) or NULs are no content.
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t' || line.back() == '\x1A' ||
                               line.back() == '\0')) {
        line.remove_suffix(1);
      }
      while (lines_.empty() && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);  // UTF-8 byte-order marks
      lines_.push_back(line);
      start = end + 1;
    }
    while (!lines_.empty() && lines_.back().empty()) lines_.pop_back();
  }

  XifFile Read() {
    XifFile xif;
    Header(xif);
    while (SkipBlank()) {
      const auto words = Words(Line());
      if (Same(words.front(), "VAR")) {
        Var(xif);
      } else if (Same(words.front(), "TAG")) {
        Tag(xif);
      } else if (Same(words.front(), "FILE")) {
        File(xif);
      } else if (Same(words.front(), "NVVAL")) {
        NvVal(xif);
      } else if (IsRecordStart(Line())) {
        // A record portab does not read: kept as written.
        do {
          xif.unread.push_back(Text(Line()));
          ++at_;
        } while (at_ < lines_.size() && !lines_[at_].empty() && !IsRecordStart(lines_[at_]));
      } else {
        Expected("a record (VAR, TAG, FILE, NVVAL, ...), not \"" + Shown(Line()) + "\"");
      }
    }
    Finish(xif);
    return xif;
  }

 private:
  [[noreturn]] void Expected(const std::string& what) const {
    throw InterfaceError(name_ + ", line " + std::to_string(std::min(at_, lines_.size()) + 1) + ": expected " + what);
  }
  [[noreturn]] void Damaged(size_t line, const std::string& what) const {
    throw InterfaceError(name_ + ", line " + std::to_string(line + 1) + ": " + what);
  }
  std::string_view Line() const { return at_ < lines_.size() ? lines_[at_] : std::string_view(); }
  bool AtEnd() const { return at_ >= lines_.size(); }
  std::string_view Next(const std::string& what) {
    if (AtEnd()) Expected(what + ", but the file ends");
    return lines_[at_++];
  }
  bool SkipBlank() {
    while (!AtEnd() && Words(lines_[at_]).empty()) ++at_;
    return !AtEnd();
  }
  std::string Text(std::string_view bytes) const {
    return utf8_ ? std::string(bytes) : base::Windows1252ToUtf8(bytes);
  }
  static std::string Shown(std::string_view line) { return std::string(line.substr(0, 40)); }

  // Lines that begin with '"', joined: a self-documentation string or the template's text.
  std::string Quoted() {
    std::string text;
    while (!AtEnd() && !lines_[at_].empty() && lines_[at_][0] == '"') {
      std::string_view part = lines_[at_++].substr(1);
      if (!part.empty() && part.back() == '"') part.remove_suffix(1);
      text += std::string(part);
    }
    return text;
  }

  std::vector<int64_t> Numbers(std::string_view line, size_t least, const std::string& what) {
    std::vector<int64_t> numbers;
    for (const auto word : Words(line)) {
      const auto number = Integer(word);
      if (!number) Damaged(at_ - 1, "expected " + what + ", whole numbers, but \"" + std::string(word) + "\" is not one");
      numbers.push_back(*number);
    }
    if (numbers.size() < least) Damaged(at_ - 1, "expected " + what + ": " + std::to_string(least) + " numbers, " + std::to_string(numbers.size()) + " given");
    return numbers;
  }

  int64_t Field(const std::vector<std::string_view>& words, size_t index, const std::string& what, int64_t most) {
    const auto number = index < words.size() ? Integer(words[index]) : std::nullopt;
    if (!number || *number < 0 || *number > most) {
      Damaged(at_ - 1, "expected " + what + " (0 to " + std::to_string(most) + ")" +
                           (index < words.size() ? ", not \"" + std::string(words[index]) + "\"" : ""));
    }
    return *number;
  }

  void Header(XifFile& xif) {
    const std::string_view first = Next("the line \"File: ... XIF Version <major>.<minor>\"");
    xif.firstLine = Text(first);
    // "XIF Version 4.0", in any case, with or without a colon, a comma after the number.
    size_t version = std::string_view::npos;
    for (size_t i = 0; i + 11 <= first.size() && version == std::string_view::npos; ++i) {
      if (Same(first.substr(i, 11), "XIF Version")) version = i;
    }
    size_t at = version == std::string_view::npos ? first.size() : version + 11;
    while (at < first.size() && (first[at] == ' ' || first[at] == ':' || first[at] == '\t')) ++at;
    const size_t dot = first.find('.', at);
    size_t end = dot == std::string_view::npos ? dot : dot + 1;
    while (end != std::string_view::npos && end < first.size() && std::isdigit(static_cast<unsigned char>(first[end])) != 0) ++end;
    const auto major = dot == std::string_view::npos ? std::nullopt : Integer(first.substr(at, dot - at));
    const auto minor = dot == std::string_view::npos || end == dot + 1 ? std::nullopt : Integer(first.substr(dot + 1, end - dot - 1));
    if (!major || !minor || *major < 1 || *major > 99 || *minor < 0 || *minor > 999) {
      at_ = 0;
      Expected("\"File: <name> generated by <tool>, XIF Version <major>.<minor>\"");
    }
    xif.major = static_cast<uint16_t>(*major);
    xif.minor = static_cast<uint16_t>(*minor);
    // Comment lines, up to the program ID.
    for (;;) {
      const std::string_view line = Next("the program ID (\"9F:FF:FF:05:01:84:04:60\")");
      if (auto id = ProgramId(line)) {
        xif.device.programId = *id;
        break;
      }
      xif.comments.push_back(Text(line));
    }
    if (!SkipBlank()) Expected("the line of device numbers, but the file ends");
    xif.deviceNumbers = Numbers(Next("the device numbers"), 1, "the device numbers");
    // The Neuron and channel lines, up to the node's string or the first record.
    while (!AtEnd() && (Line().empty() || Line()[0] != '"') && !(IsRecordStart(Line()) && IsKeyword(Words(Line()).front()))) {
      xif.headerLines.emplace_back(Text(Next("")));
    }
    // Blank lines before the first record are layout: a file that ends with them (nothing but
    // its header) reads back as the same header once they are gone.
    while (!xif.headerLines.empty() && xif.headerLines.back().empty()) xif.headerLines.pop_back();
    const size_t nodeLine = at_;
    const std::string node = Text(Quoted());
    xif.nodeSelfDoc = node;
    xif.device.node = node.empty() || node[0] != '&'
                          ? NodeSelfDoc{0, 0, {}, node}
                          : ParseNodeSelfDoc(node, name_ + ", line " + std::to_string(nodeLine + 1) + ", the node's self-documentation");
  }

  static std::optional<std::string> ProgramId(std::string_view line) {
    const auto words = Words(line);
    if (words.size() != 1 || words[0].size() != 23) return std::nullopt;
    std::string hex;
    for (size_t i = 0; i < 23; ++i) {
      const char c = words[0][i];
      if (i % 3 == 2 ? c != ':' : HexDigit(c) < 0) return std::nullopt;
      if (i % 3 != 2) hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return hex;
  }

  void Var(XifFile& xif) {
    const size_t recordLine = at_;
    const auto head = Words(Next("a VAR record"));
    if (head.size() < 6) Damaged(recordLine, "expected \"VAR <name> <index> <average rate> <maximum rate> <array size>\"");
    XifVar var;
    const std::string name = Text(head[1]);
    const auto index = static_cast<uint16_t>(Field(head, 2, "the NV index", kMostNvs - 1));
    var.averageRate = static_cast<uint16_t>(Field(head, 3, "the average rate", 0xFFFF));
    var.maximumRate = static_cast<uint16_t>(Field(head, 4, "the maximum rate", 0xFFFF));
    var.arraySize = static_cast<uint16_t>(Field(head, 5, "the array size", kMostNvs));
    SkipBlank();
    var.attributes = Numbers(Next("the VAR's attributes line"), 13, "the VAR's attributes (offline, bindable, ..., configuration class)");
    SkipBlank();
    std::string selfDoc;
    if (!AtEnd() && Line() == "*") {
      ++at_;
    } else if (!AtEnd() && !Line().empty() && Line()[0] == '"') {
      selfDoc = Text(Quoted());
    } else {
      Expected("the VAR's self-documentation (lines that begin with '\"', or \"*\")");
    }
    SkipBlank();
    const auto type = Words(Next("the VAR's type line \"<type index> * <element count>\""));
    if (type.size() < 2) Damaged(at_ - 1, "expected the VAR's type line \"<type index> * <element count>\"");
    const auto typeIndex = Field(type, 0, "the type index", 0xFFFF);
    var.name = name;
    var.index = index;
    var.typeIndex = static_cast<uint16_t>(typeIndex);
    var.selfDoc = selfDoc;
    var.elementCount = static_cast<uint16_t>(Field(type, type.size() - 1, "the element count", 255));
    for (uint16_t i = 0; i < var.elementCount; ++i) {
      const std::string what = "element " + std::to_string(i + 1) + " of the VAR's type";
      const std::string_view element = Next(what);
      if (IsRecordStart(element)) Damaged(at_ - 1, "expected " + what + ", not the record \"" + Shown(element) + "\"");
      var.elements.push_back(Text(element));
    }
    const auto& a = var.attributes;
    uint8_t flags = 0;
    if (a[0] != 0) flags |= si_flag::kOffline;
    if (a[5] != 0) flags |= si_flag::kServiceConfigurable;
    if (a[7] != 0) flags |= si_flag::kAuthConfigurable;
    if (a[9] != 0) flags |= si_flag::kPriorityConfigurable;
    if (a[10] != 0) flags |= si_flag::kPolled;
    if (a[11] != 0) flags |= si_flag::kSync;
    if (a[12] != 0) flags |= si_flag::kConfigClass;
    const uint16_t count = var.arraySize > 0 ? var.arraySize : 1;
    if (index + count > kMostNvs || xif.device.nvs.size() + count > kMostNvs) Damaged(recordLine, "more NVs than any device has");
    for (uint16_t i = 0; i < count; ++i) {
      if (!usedIndexes_.insert(static_cast<uint16_t>(index + i)).second) {
        Damaged(recordLine, "NV index " + std::to_string(index + i) + " of " + name + " is another VAR's already");
      }
      InterfaceNv nv;
      nv.index = static_cast<uint16_t>(index + i);
      nv.name = var.arraySize > 0 ? name + "[" + std::to_string(i) + "]" : name;
      nv.typeIndex = static_cast<uint8_t>(typeIndex > 255 ? 0 : typeIndex);
      nv.output = a[3] == 1;
      nv.service = static_cast<uint8_t>(a[4] & 3);
      nv.siFlags = flags;
      nv.selfDoc = selfDoc;
      const std::string what = name_ + ", line " + std::to_string(recordLine + 1) + ", the self-documentation of " + name;
      if ((flags & si_flag::kConfigClass) != 0 && !selfDoc.empty() && selfDoc[0] == '&') {
        nv.cp = ParseConfigNvSelfDoc(selfDoc, what);
      } else {
        nv.member = ParseNvSelfDoc(selfDoc, what);
      }
      xif.device.nvs.push_back(std::move(nv));
    }
    xif.vars.push_back(std::move(var));
  }

  void Tag(XifFile& xif) {
    const size_t recordLine = at_;
    const auto head = Words(Next("a TAG record"));
    if (head.size() < 3) Damaged(recordLine, "expected \"TAG <name> <index> <average rate> <maximum rate>\"");
    XifTag tag;
    tag.name = Text(head[1]);
    tag.index = static_cast<uint16_t>(Field(head, 2, "the tag index", 0xFFFF));
    tag.lines.emplace_back(Text(lines_[recordLine]));
    if (!AtEnd() && IsRecordStart(Line())) Expected("the TAG's second line, not the record \"" + Shown(Line()) + "\"");
    const auto second = Words(Next("the TAG's second line"));
    tag.lines.emplace_back(Text(lines_[at_ - 1]));
    tag.bindable = second.size() > 1 && second[1] == "1";
    xif.tags.push_back(std::move(tag));
  }

  // "\x02 \x58", "\x02\x58": the bytes of a value section's lines.
  std::vector<uint8_t> Bytes(std::string_view line, size_t lineIndex) const {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < line.size();) {
      if (line[i] == ' ' || line[i] == '\t' || line[i] == ',') {
        ++i;
      } else if (i + 3 < line.size() && line[i] == '\\' && (line[i + 1] == 'x' || line[i + 1] == 'X') && HexDigit(line[i + 2]) >= 0 &&
                 HexDigit(line[i + 3]) >= 0) {
        bytes.push_back(static_cast<uint8_t>(HexDigit(line[i + 2]) * 16 + HexDigit(line[i + 3])));
        i += 4;
      } else {
        Damaged(lineIndex, "expected bytes written \"\\xNN\", not \"" + Shown(line.substr(i)) + "\"");
      }
    }
    return bytes;
  }

  void File(XifFile& xif) {
    const size_t recordLine = at_;
    const auto head = Words(Next("a FILE record"));
    if (head.size() < 2) Damaged(recordLine, "expected \"FILE <template|value|readOnly> <index> <type>\"");
    const std::string_view kind = head[1];
    // The kind, in any case; the index (0 template, 1 value, 2 read-only) where the kind is another word.
    const std::string_view index = head.size() > 2 ? head[2] : std::string_view();
    const bool templ = Same(kind, "template") || (!Same(kind, "value") && !Same(kind, "readOnly") && index == "0");
    const bool readOnly = Same(kind, "readOnly") || (!Same(kind, "value") && !templ && index == "2");
    const bool value = Same(kind, "value") || (!templ && !readOnly && index == "1");
    if (templ) {
      templateLine_ = recordLine;
      xif.templateText = Quoted();
      std::vector<uint8_t> raw = ByteLines();  // a template written as bytes
      xif.templateText.append(raw.begin(), raw.end());
      return;
    }
    if (!value && !readOnly) {
      xif.unread.push_back(Text(lines_[recordLine]));
      while (!AtEnd() && !IsRecordStart(Line()) && !Line().empty()) xif.unread.push_back(Text(Next("")));
      return;
    }
    auto bytes = ByteLines();
    auto& file = value ? xif.writable : xif.readOnly;
    file.insert(file.end(), bytes.begin(), bytes.end());
  }

  // Lines of "\xNN" bytes (indented or not), up to the next record.
  std::vector<uint8_t> ByteLines() {
    std::vector<uint8_t> all;
    while (!AtEnd()) {
      const std::string_view line = Line();
      const size_t first = line.find_first_not_of(" \t");
      if (first == std::string_view::npos) {
        ++at_;
        continue;
      }
      if (line[first] != '\\') break;
      const auto bytes = Bytes(line.substr(first), at_);
      all.insert(all.end(), bytes.begin(), bytes.end());
      ++at_;
    }
    return all;
  }

  // One value per configuration NV, in NV order: "\xNN" bytes, or "0xNN NN ..." (hexadecimal
  // bytes, the first with its "0x"); a line that begins with a tab continues the value before.
  void NvVal(XifFile&) {
    nvValLine_ = at_++;
    while (!AtEnd() && !IsRecordStart(Line())) {
      const std::string_view line = Line();
      if (Words(line).empty()) {
        ++at_;
        continue;
      }
      const bool continues = (line[0] == '\t' || line[0] == ' ') && !nvValues_.empty();
      const auto bytes = ValueBytes(line, at_);
      if (continues) {
        nvValues_.back().second.insert(nvValues_.back().second.end(), bytes.begin(), bytes.end());
      } else {
        nvValues_.push_back({at_, bytes});
      }
      if (nvValues_.back().second.size() > 255) Damaged(at_, "a value of NVVAL longer than 255 bytes");
      ++at_;
    }
  }

  // NVVAL's values, in NV order: one for each element of a configuration NV, or one for each
  // configuration VAR that its elements share evenly.
  void GiveNvValues(XifFile& xif) {
    if (nvValLine_ == 0 && nvValues_.empty()) return;
    std::vector<InterfaceNv*> configNvs;
    for (auto& nv : xif.device.nvs) {
      if ((nv.siFlags & si_flag::kConfigClass) != 0) configNvs.push_back(&nv);
    }
    std::sort(configNvs.begin(), configNvs.end(), [](const InterfaceNv* a, const InterfaceNv* b) { return a->index < b->index; });
    size_t configVars = 0;
    for (size_t i = 0; i < xif.vars.size(); ++i) configVars += xif.vars[i].attributes[12] != 0 ? 1 : 0;
    const auto give = [](InterfaceNv& nv, std::vector<uint8_t> value) {
      nv.value = std::move(value);
      nv.length = static_cast<uint16_t>(nv.value.size());
    };
    if (nvValues_.size() == configNvs.size()) {
      for (size_t i = 0; i < configNvs.size(); ++i) give(*configNvs[i], nvValues_[i].second);
      return;
    }
    if (nvValues_.size() != configVars) {
      Damaged(nvValLine_, "NVVAL gives " + std::to_string(nvValues_.size()) + " values for " + std::to_string(configNvs.size()) +
                              " configuration NVs");
    }
    // One value per array VAR: its elements take equal parts, in index order.
    size_t next = 0;
    for (size_t i = 0; i < configNvs.size();) {
      const std::string base = configNvs[i]->name.substr(0, configNvs[i]->name.find('['));
      size_t elements = 1;
      while (i + elements < configNvs.size() && configNvs[i + elements]->name.substr(0, configNvs[i + elements]->name.find('[')) == base &&
             configNvs[i + elements]->name.find('[') != std::string::npos) {
        ++elements;
      }
      const auto& [line, value] = nvValues_[next++];
      if (value.size() % elements != 0) Damaged(line, "a value of NVVAL that the " + std::to_string(elements) + " elements of " + base + " cannot share");
      const size_t part = value.size() / elements;
      for (size_t e = 0; e < elements; ++e) {
        give(*configNvs[i + e], {value.begin() + static_cast<std::ptrdiff_t>(e * part), value.begin() + static_cast<std::ptrdiff_t>((e + 1) * part)});
      }
      i += elements;
    }
  }

  std::vector<uint8_t> ValueBytes(std::string_view line, size_t lineIndex) const {
    if (line.find('\\') != std::string_view::npos) return Bytes(line, lineIndex);
    std::vector<uint8_t> bytes;
    std::string spaced(line);
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    for (auto word : Words(spaced)) {
      if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) word.remove_prefix(2);
      if (word.size() != 2 || HexDigit(word[0]) < 0 || HexDigit(word[1]) < 0) {
        Damaged(lineIndex, "expected a value's bytes (\"\\xNN\" or \"0xNN NN\"), not \"" + std::string(word) + "\"");
      }
      bytes.push_back(static_cast<uint8_t>(HexDigit(word[0]) * 16 + HexDigit(word[1])));
    }
    if (bytes.empty()) Damaged(lineIndex, "expected a value's bytes, not a line without any");
    return bytes;
  }

  // The CP records of the template with their values, then the configuration NVs' CPs.
  void Finish(XifFile& xif) {
    GiveNvValues(xif);
    if (!xif.templateText.empty()) {
      try {
        auto cps = TemplateCps(ParseTemplateFile(xif.templateText), !xif.readOnly.empty());
        if (!xif.writable.empty() || !xif.readOnly.empty()) {
          TakeValues(cps, xif.writable, xif.readOnly);
        } else if (!cps.empty()) {
          xif.device.cpProblem = "the file gives the template's records but no value section: their values are not known";
        }
        xif.device.cps = std::move(cps);
      } catch (const InterfaceError& error) {
        Damaged(templateLine_, std::string("the FILE template section: ") + error.what());
      }
    }
    // The configuration NVs' CPs in NV order, as a device lists them.
    std::vector<InterfaceNv*> byIndex;
    for (auto& nv : xif.device.nvs) byIndex.push_back(&nv);
    std::sort(byIndex.begin(), byIndex.end(), [](const InterfaceNv* a, const InterfaceNv* b) { return a->index < b->index; });
    for (InterfaceNv* each : byIndex) {
      InterfaceNv& nv = *each;
      if (!nv.cp) continue;
      nv.cp->size = static_cast<uint16_t>(nv.length / std::max<uint16_t>(nv.cp->dimension, 1));
      xif.device.cps.push_back({*nv.cp, 0, {CpPlace::Kind::ConfigNv, 0, nv.index}, nv.value});
    }
  }

  std::string name_;
  bool utf8_;
  std::vector<std::string_view> lines_;
  size_t at_ = 0;
  size_t templateLine_ = 0;
  std::set<uint16_t> usedIndexes_;
  std::vector<std::pair<size_t, std::vector<uint8_t>>> nvValues_;  // NVVAL's items, with their lines
  size_t nvValLine_ = 0;
};

}  // namespace

XifFile ParseXif(std::string_view bytes, const std::string& name) { return Reader(bytes, name).Read(); }

}  // namespace platform::device_interface
