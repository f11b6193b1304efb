#pragma once
// The content rules of the knowledge-base checker, run once all files of a version exist.
// The rules go through every section and key of a file and judge each value the way its
// reader will use it; each group of rules lives with the file it reads (kb_rules_*.cpp), the
// shared judgements (resource keys, enumeration strings, byte lists) in kb_rules.cpp.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "knowledge/kb_checker.h"
#include "knowledge/mc16.h"

namespace knowledge {

// Runs the content rules over the files of one loaded knowledge-base version and adds what
// they find to a list of findings.
class KbRules {
 public:
  // `fileNames` are the files' names relative to the folder, by KbFile; `plugInIni` is the
  // plug-in INI file beside the folder (nullptr when there is none).
  KbRules(const cMC16& kb, const std::array<std::string, 9>& fileNames, const lns::IniFile* plugInIni,
          std::vector<KbFinding>& findings);

  // Checks the files' shapes, then runs the rules of every file that holds sections.
  void Run();

 private:
  // ---- what each file holds as a whole (kb_rules.cpp) ----
  void CheckShapes();
  // False (and one finding) when a file that holds sections lacks the one other files refer to.
  bool RequireSection(KbFile file, bool present, std::string_view missing);
  bool Holds(KbFile file) const { return holds_[static_cast<size_t>(file)]; }

  // ---- per file (kb_rules_modules.cpp, kb_rules_controls.cpp, kb_rules_objects.cpp) ----
  void CheckModules();
  void CheckModuleSection(const std::string& section);
  void CheckModuleChannels(const std::string& section);
  void CheckModuleOrder(const std::string& section);
  void CheckPhysicalChannelUsage(const std::string& section);
  void CheckCompatibility(const std::string& section);
  void CheckChannels();
  void CheckChannelTypes(const std::string& section);
  void CheckDependencies(const std::string& section);
  bool IsPlacedCp(std::string_view cpName) const;
  void CheckExceptionSection(KbFile file, const std::string& section);
  void CheckReference(KbFile file, const std::string& section, std::string_view moduleType);
  // "<parameter type>.<name>" (in `key`, before any "~") must be a parameter that the type's
  // section of `file` lists.
  void ListedParameter(KbFile file, int line, std::string_view key);
  void CheckControls();
  void CheckViewSection(const std::string& section);
  void CheckViewOrder(const std::string& section, std::string_view owner);
  void CheckViewException(const std::string& section, std::string_view owner, const std::string& key);
  void CheckParameterSection(const std::string& section);
  void CheckControlKind(const std::string& section);
  void CheckFunction(const std::string& section);
  void CheckTextBox(const std::string& section);
  // An override "<prefix>~<setting>" of a control setting: judged by the setting, except the
  // text-box numbers, whose prefixes are collected to be judged together.
  void CheckOverride(KbFile file, const std::string& section, const std::string& key,
                     std::vector<std::string>& numberPrefixes);
  // The text-box numbers that the keys "<prefix><setting>" of `section` override for the
  // parameter described in the Controls file's `parameterSection`.
  void CheckTextBoxOverrides(KbFile file, const std::string& section, const std::string& prefix,
                             const std::string& parameterSection);
  struct TextBoxNumber;
  void JudgeTextBox(KbFile file, const std::array<TextBoxNumber, 4>& numbers, bool judgeRange = true);
  void CheckListItems(KbFile file, int line, std::string_view what, std::string_view list);
  void CheckListControl(const std::string& section, std::string_view kind, bool checkBox);
  void CheckPicture(const std::string& section);
  // The Controls section describing parameter `name` of a view's owner (a module parameter
  // type, or a channel type whose parameter types are those listing `name` in the Channels
  // file); nullopt when there is none.
  std::optional<std::string> DescribedSection(std::string_view owner, std::string_view name) const;
  std::vector<std::string> ChannelParameterTypes(std::string_view name) const;
  void CheckObjects(KbFile file, std::string_view objectSection);
  void CheckObjectKey(KbFile file, const std::string& section, const std::string& key, bool objectList);
  void CheckFptOrder(KbFile file, const std::string& section);
  void CheckCommandTable();
  void CheckCommandEntry(int line, const std::string& key, const std::string& value);
  void CheckEnums();
  void CheckResources();

  // ---- shared judgements (kb_rules.cpp) ----
  void Report(KbFile file, int line, std::string message);
  // Runs one section's rules; an error of a reader becomes a finding at the section.
  void Guarded(KbFile file, const std::string& section, const std::function<void()>& rules);
  const lns::IniFile& File(KbFile file) const { return kb_.File(file); }
  const std::string& FileName(KbFile file) const { return fileNames_[static_cast<size_t>(file)]; }
  // The sections a reader can reach: each name once (only the first of duplicates is read).
  std::vector<std::string> Sections(KbFile file) const;
  // The keys of a section in file order (each once), a key's value as the readers see it, and its line.
  std::vector<std::string> Keys(KbFile file, std::string_view section) const;
  std::string Value(KbFile file, std::string_view section, std::string_view key) const;
  int Line(KbFile file, std::string_view section, std::string_view key) const;
  bool HasSection(KbFile file, std::string_view section) const { return File(file).SectionLine(section) > 0; }
  // `what` names the place in the message ("ModuleName", "ListItems item 2", ...).
  // A resource key must be in [String Resources] ("" names nothing); its texts are judged
  // where it is written (CheckResources).
  void ResourceKey(KbFile file, int line, std::string_view what, std::string_view resourceKey);
  // A control setting that holds resource keys ("ControlTitle", "ListItems", "TypeName", ...),
  // given by its key (which may carry an override prefix) and the setting's own name.
  void ResourceSetting(KbFile file, std::string_view section, std::string_view key, std::string_view setting);
  // The number of an enumeration string; nullopt (and a finding) when it does not resolve.
  std::optional<int32_t> EnumValue(KbFile file, int line, std::string_view what, std::string_view enumString);
  // The same without a finding.
  std::optional<int32_t> KnownEnumValue(std::string_view enumString) const;
  // A parameter exception: "DONTSHOW" or "CONST" (letter case ignored), or where a module's
  // exception gives a channel parameter's default, a number.
  void ShowMark(KbFile file, int line, std::string_view key, std::string_view mark, bool numberAllowed);
  bool IsChannelType(std::string_view channelType) const;
  void ChannelType(KbFile file, int line, std::string_view what, std::string_view channelType);
  // A byte list as the readers parse it (up to its first empty field), and one byte field that
  // may be empty (read as 0).
  void ByteList(KbFile file, int line, std::string_view what, std::string_view list);
  void ByteField(KbFile file, int line, std::string_view what, std::string_view field);

  struct EnumEntry {
    int line = 0;
    std::string number;  // the text after "=", comment cut
  };

  const cMC16& kb_;
  const std::array<std::string, 9>& fileNames_;
  const lns::IniFile* plugInIni_;
  std::vector<KbFinding>& findings_;
  // Every enumeration string with its line, the first one in file order as the reader finds it.
  std::unordered_map<std::string, EnumEntry, base::FoldedHasher, base::FoldedEqual> enums_;
  // Which files hold sections, and whether the sections that references lead into are there:
  // without them every reference would fail alike, so one finding stands for all.
  std::array<bool, 9> holds_{};
  bool resourcesReadable_ = false;
  bool enumsReadable_ = false;
  bool channelTypesReadable_ = false;
};

// Texts shared by the rule files.
inline constexpr std::string_view kExceptionsSuffix = "Exceptions#";  // ends a module's exception section
inline constexpr std::string_view kViewSuffix = "#VIEW";              // ends a view section of the Controls file
inline constexpr std::string_view kModuleParameterPrefix = "MODP";     // starts a module parameter type's name
inline constexpr std::string_view kChannelParameterPrefix = "DCHP";    // starts a channel parameter type's name
// Whether `text` ends or starts with that text, case ignored.
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// The text in double quotes, for messages.
std::string Quoted(std::string_view text);
// The number a whole text reads as (blanks around it aside); nullopt when it is none.
std::optional<double> Number(std::string_view text);
// The same, when it is a whole number that fits 32 bits.
std::optional<int32_t> WholeNumber(std::string_view text);

}  // namespace knowledge
