// The knowledge-base checker's rules for the Objects, GroupObjects, CommandTable and Enums
// files: object type order and names, default CP values, value lists, the command table's
// entries, value byte lists, priority and output source names, and the enumeration numbers.
// The texts of the Resources file are judged with the resource keys (kb_rules.cpp).

#include <algorithm>

#include "knowledge/ini_fields.h"
#include "knowledge/kb_rules.h"

namespace knowledge {
namespace {

bool IsValueListKey(std::string_view key) {
  return StartsWithNoCase(key, "TimeoutValues~") || StartsWithNoCase(key, "SensorValues~") ||
         StartsWithNoCase(key, "StdFunctions~");
}

std::string Numbered(std::string_view what, size_t index) { return std::string(what) + " " + std::to_string(index); }

}  // namespace

// `objectSection` lists the object types ("FptOrder" and their names "FPT_<n>").
void KbRules::CheckObjects(KbFile file, std::string_view objectSection) {
  for (const auto& section : Sections(file)) {
    if (base::EqualsNoCase(section, "Copying CPs") || base::EqualsNoCase(section, "Plug-in")) continue;
    Guarded(file, section, [&] {
      const bool objectList = base::EqualsNoCase(section, objectSection);
      const size_t hash = section.find('#');
      if (file == KbFile::Objects && hash != std::string::npos) {  // "<channel type>#<FPT index>"
        ChannelType(file, File(file).SectionLine(section), "[" + section + "]", section.substr(0, hash));
      }
      if (objectList) CheckFptOrder(file, section);
      for (const auto& key : Keys(file, section)) CheckObjectKey(file, section, key, objectList);
    });
  }
}

void KbRules::CheckObjectKey(KbFile file, const std::string& section, const std::string& key, bool objectList) {
  const int line = Line(file, section, key);
  const std::string value = Value(file, section, key);
  if (objectList && StartsWithNoCase(key, "FPT_")) {
    ResourceKey(file, line, key, value);
  } else if (StartsWithNoCase(key, "CP_")) {
    ByteList(file, line, key, value);
  } else if (IsValueListKey(key)) {  // entries "<resource key>/<index>"
    size_t entryNo = 0;
    for (const auto& entry : SplitToCollection(value, ",")) {
      ResourceKey(file, line, Numbered(key + " entry", ++entryNo), entry.substr(0, entry.find('/')));
    }
  }
}

// Each object type of the order once, each with its name "FPT_<n>".
void KbRules::CheckFptOrder(KbFile file, const std::string& section) {
  const int line = Line(file, section, "FptOrder");
  std::vector<std::string> seen;
  for (const auto& fpt : SplitToCollection(Value(file, section, "FptOrder"), ",")) {
    if (std::find(seen.begin(), seen.end(), fpt) != seen.end()) {
      Report(file, line, "FptOrder lists " + Quoted(fpt) + " twice");
      continue;
    }
    seen.push_back(fpt);
    if (Value(file, section, "FPT_" + fpt).empty()) {
      Report(file, line, "FptOrder lists " + Quoted(fpt) + ", which has no name FPT_" + fpt + " in [" + section + "]");
    }
  }
}

void KbRules::CheckCommandTable() {
  constexpr KbFile kFile = KbFile::CommandTable;
  for (const auto& section : Sections(kFile)) {
    Guarded(kFile, section, [&] {
      const bool entries = base::EqualsNoCase(section, "Entries");
      const bool values = base::EqualsNoCase(section, "Timeout Values") || base::EqualsNoCase(section, "Sensor Values");
      const bool priorities = base::EqualsNoCase(section, "Priorities");
      const bool outputSources = base::EqualsNoCase(section, "Output Sources");
      for (const auto& key : Keys(kFile, section)) {
        const int line = Line(kFile, section, key);
        const std::string value = Value(kFile, section, key);
        if (entries) {
          CheckCommandEntry(line, key, value);
        } else if (values && StartsWithNoCase(key, "Value_")) {
          ByteList(kFile, line, key, value);
        } else if ((priorities && StartsWithNoCase(key, "Priority_")) ||
                   (outputSources && StartsWithNoCase(key, "OutputSource_"))) {
          ResourceKey(kFile, line, key, value);
        }
      }
    });
  }
}

// State, name resource, five value bytes; a missing byte reads as 0 without a word.
void KbRules::CheckCommandEntry(int line, const std::string& key, const std::string& value) {
  constexpr KbFile kFile = KbFile::CommandTable;
  ResourceKey(kFile, line, Numbered(key + " field", 2), base::Field(value, 2, ","));
  int given = 0;
  for (int field = 3; field <= 7; ++field) {
    const std::string byte = base::Field(value, field, ",");
    given += byte.empty() ? 0 : 1;
    ByteField(kFile, line, Numbered(key + " field", static_cast<size_t>(field)), byte);
  }
  if (given < 5) Report(kFile, line, key + " has " + std::to_string(given) + " of the five value bytes");
}

// Each line of an "Enum_<prefix>" section: "<enumeration string>=<whole number>".
void KbRules::CheckEnums() {
  constexpr KbFile kFile = KbFile::Enums;
  for (const auto& section : Sections(kFile)) {
    if (!StartsWithNoCase(section, "Enum_")) continue;
    Guarded(kFile, section, [&] {
      for (const auto& line : File(kFile).SectionLines(section)) {
        // A line without "=" is among the notes of the parse (CheckShapes).
        if (line.find('=') == std::string::npos) continue;
        const std::string key(SectionLineKey(line));
        if (const std::string number = SectionLineValue(line); !WholeNumber(number)) {
          Report(kFile, Line(kFile, section, key),
                 Quoted(key) + " has " + Quoted(number) + ", which is not a whole number");
        }
      }
    });
  }
}

}  // namespace knowledge
