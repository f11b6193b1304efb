// The parameter set file of cParams: an INI-style text in Windows-1252 with CR LF line ends,
// a [General] header naming the plug-in, the device program and the file version, and the
// values under [Settings], one block per parameter kind.

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "base/atomic_file.h"
#include "base/encoding.h"
#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "params/param_enums.h"
#include "params/params.h"

namespace params {
namespace {

using namespace cParamEnums;
constexpr const char* kModule = "cParams";
constexpr const char* kCrLf = "\r\n";

struct FileBlock {
  Kind kind;
  const char* comment;
};
// The order of the blocks in a file.
constexpr FileBlock kFileBlocks[] = {
    {Kind::OneByte, ";  *** Generic 1 Byte ***"}, {Kind::TwoByte, ";  *** Generic 2 Byte ***"},
    {Kind::Ascii, ";  *** Generic ASCII ***"},    {Kind::CheckBox, ";  *** CheckBox ***"},
    {Kind::ComboBox, ";  *** ComboBox ***"},      {Kind::OptionButton, ";  *** OptionButton ***"},
    {Kind::TextBox, ";  *** TextBox ***"},
};
// The order in which a load sets the values.
constexpr Kind kLoadOrder[] = {Kind::TextBox, Kind::OptionButton, Kind::ComboBox, Kind::CheckBox,
                               Kind::TwoByte, Kind::OneByte,      Kind::Ascii};

bool Qualifies(const IParameter& parameter) {
  return parameter.ForceWriteToFile() || (parameter.Available() && !parameter.DontWriteToFile());
}

// The whole number of a text's leading number, rounded ties to even (error 6 beyond 32 bits).
int32_t LeadingNumber(std::string_view text) { return base::CLng(base::Val(text)); }

// A text that must be a number as a whole (a check box's value): error 13 otherwise.
int32_t WholeNumber(const std::string& text) {
  const std::string trimmed(base::TrimBlanks(text));
  const char* first = trimmed.data();
  const char* last = first + trimmed.size();
  const bool negative = first != last && *first == '-';
  if (first != last && (*first == '-' || *first == '+')) ++first;
  double value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (first == last || error != std::errc() || end != last) {
    throw base::Error(base::err::kTypeMismatch, kModule, "\"" + text + "\" is not a number");
  }
  return base::CLng(negative ? -value : value);
}

}  // namespace

std::string cParams::FileLine(Kind kind, const IParameter& parameter) const {
  const std::string key = parameter.Name() + " = ";
  switch (kind) {
    case Kind::OneByte: return key + std::to_string(static_cast<const cParam1Byte&>(parameter).Value());
    case Kind::TwoByte: {
      const auto& twoByte = static_cast<const cParam2Byte&>(parameter);
      return key + std::to_string(twoByte.Value1()) + "," + std::to_string(twoByte.Value2());
    }
    case Kind::Ascii: return key + static_cast<const cParamASCII&>(parameter).Value() + ",";
    case Kind::CheckBox: return key + std::to_string(static_cast<const cParamCheckBox&>(parameter).Value());
    case Kind::ComboBox: return key + std::to_string(static_cast<const cParamComboBox&>(parameter).Value());
    case Kind::OptionButton: return key + static_cast<const cParamOptBtn&>(parameter).Value();
    case Kind::TextBox: return key + std::to_string(static_cast<const cParamTextBox&>(parameter).Value());
  }
  return key;
}

namespace {

// The file's bytes: Windows-1252, unless a line of those bytes would read back as UTF-8 (the
// reader takes lines that are valid UTF-8 as UTF-8: "\xC3\x93\xC5\xB8" is D3 9F in
// Windows-1252, which is another character in UTF-8); then UTF-8 with a byte-order mark, which
// the reader takes as UTF-8 whole.
std::string FileBytes(const std::string& text) {
  std::string bytes = base::Utf8ToWindows1252(text);
  for (size_t start = 0; start < bytes.size();) {
    const size_t end = std::min(bytes.find('\n', start), bytes.size());
    const std::string_view line(bytes.data() + start, end - start);
    const bool nonAscii = std::any_of(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; });
    if (nonAscii && base::IsValidUtf8(line)) return "\xEF\xBB\xBF" + text;
    start = end + 1;
  }
  return bytes;
}

}  // namespace

bool cParams::WriteToFile(const std::string& fileName, const std::string& plugInName, const std::string& programId,
                          const std::string& dataFileVersion) const {
  base::LogEntry(kModule, base::Visibility::Public, "WriteToFile");
  std::string text = std::string("[General]") + kCrLf + "PlugInName = " + plugInName + kCrLf +
                     "ProgramId = " + programId + kCrLf + "DataFileVersion = " + dataFileVersion + kCrLf + kCrLf +
                     "[Settings]" + kCrLf;
  for (const auto& block : kFileBlocks) {
    const ParameterList& parameters = List(block.kind);
    if (parameters.Count() > 0) text += std::string(block.comment) + kCrLf;
    for (const auto& parameter : parameters) {
      if (Qualifies(*parameter)) text += FileLine(block.kind, *parameter) + kCrLf;
    }
    text += kCrLf;
  }
  try {
    if (base::ReplaceFileAtomically(fileName, FileBytes(text))) return true;
  } catch (const std::exception&) {
    // Reported below like any other failure.
  }
  base::LogNote("The parameter file \"" + fileName + "\" could not be written");
  return false;
}

void cParams::LoadValue(Kind kind, IParameter& parameter, const std::string& text) {
  switch (kind) {
    case Kind::TextBox: static_cast<cParamTextBox&>(parameter).SetValue(LeadingNumber(text)); break;
    case Kind::ComboBox: static_cast<cParamComboBox&>(parameter).SetValue(LeadingNumber(text)); break;
    case Kind::OneByte: static_cast<cParam1Byte&>(parameter).SetValue(LeadingNumber(text)); break;
    case Kind::CheckBox: static_cast<cParamCheckBox&>(parameter).SetValue(WholeNumber(text)); break;
    case Kind::OptionButton: static_cast<cParamOptBtn&>(parameter).SetValue(text); break;
    case Kind::TwoByte: {
      auto& twoByte = static_cast<cParam2Byte&>(parameter);
      twoByte.SetValue1(LeadingNumber(base::Field(text, 1, ",")));
      twoByte.SetValue2(LeadingNumber(base::Field(text, 2, ",")));
      break;
    }
    case Kind::Ascii: {
      // The writer ends the text with ","; what stands before the last comma is the text.
      const size_t comma = text.rfind(',');
      static_cast<cParamASCII&>(parameter).SetValue(comma == std::string::npos ? text : text.substr(0, comma));
      break;
    }
  }
}

int32_t cParams::LoadFromFile(const std::string& fileName, const lns::IniFile& plugInIniFile,
                              const std::string& plugInName, const std::string& programId,
                              const std::string& dataFileVersion) {
  base::LogEntry(kModule, base::Visibility::Public, "LoadFromFile");
  if (!newIniFile_) throw base::NotAvailable("cParams.LoadFromFile", "Reading parameter files without an INI component");
  // A file that is missing or unreadable reads as one without keys: its plug-in name differs.
  std::unique_ptr<lns::IniFile> file = newIniFile_();
  file->SetFile(fileName);
  if (base::TrimBlanks(file->ReadString("PlugInName", "General")) != base::TrimBlanks(plugInName)) {
    return LE_WRONG_PLUGIN;
  }
  const std::string fileProgramId = file->ReadString("ProgramId", "General");
  if (fileProgramId.empty()) return LE_WRONG_DATAFILE_VERSION;
  if (fileProgramId != programId) {
    const auto accepted = plugInIniFile.AcceptedProgramIds(programId);
    if (std::find(accepted.begin(), accepted.end(), fileProgramId) == accepted.end()) return LE_WRONG_DEVICE;
  }
  if (base::TrimBlanks(file->ReadString("DataFileVersion", "General")) != base::TrimBlanks(dataFileVersion)) {
    return LE_WRONG_DATAFILE_VERSION;
  }
  for (Kind kind : kLoadOrder) {
    for (const auto& parameter : List(kind)) {
      const std::string text = file->ReadString(parameter->Name(), "Settings");
      if (!text.empty() && !parameter->DontWriteToFile()) LoadValue(kind, *parameter, text);
    }
  }
  return LE_NO_ERROR;
}

}  // namespace params
