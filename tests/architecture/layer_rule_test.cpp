// The layer rule of the source tree, checked: every "#include" of src/, include/ and app/ is
// resolved as the compiler finds it, and may point only down a layer or into its own room.
//   core (src/<room>, with its public part in include/portab/<room>), lowest first:
//     base; lns and services (the interfaces of the outside components); ui; params, knowledge
//     and monitoring; config; host; plugin (a plug-in's entry point, which uses all of them)
//   platform (src/platform/<room>): our implementations of the outside components; they may use
//     the core, and each other only downwards: device_interface, registry, process, dialogs, ini;
//     automation, lonip; lns_embedded; qt and the wiring (src/platform/real_components.*);
//     plugin (the entry point's implementation)
//   app: every program's main(), which wires all of it
// The core never includes a platform header, and an installed header only installed ones.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::vector<std::vector<std::string>> kCoreLayers = {
    {"base"}, {"lns", "services"}, {"ui"}, {"params", "knowledge", "monitoring"}, {"config"}, {"host"},
    {"plugin", ""},  // "": the header of the whole API, include/portab/portab.h
};
const std::vector<std::vector<std::string>> kPlatformLayers = {
    {"device_interface", "registry", "process", "dialogs", "ini"},
    {"automation", "lonip"},
    {"lns_embedded"},
    {"qt", ""},  // "": the wiring of the real components, at the top of src/platform
    {"plugin"},
};

// Where a file of the tree belongs.
struct Place {
  enum class Part { Core, Platform, App, Other } part = Part::Other;
  std::string room;
  bool installed = false;  // under include/portab
};

Place PlaceOf(const std::string& path) {  // relative to the source folder
  std::vector<std::string> parts;
  for (const auto& part : fs::path(path)) parts.push_back(part.string());
  if (parts.size() >= 3 && parts[0] == "include" && parts[1] == "portab") {
    return {Place::Part::Core, parts.size() > 3 ? parts[2] : "", true};
  }
  if (parts.size() >= 3 && parts[0] == "src" && parts[1] == "platform") {
    return {Place::Part::Platform, parts.size() > 3 ? parts[2] : "", false};
  }
  if (parts.size() >= 3 && parts[0] == "src") return {Place::Part::Core, parts[1], false};
  if (!parts.empty() && parts[0] == "app") return {Place::Part::App, "", false};
  return {};
}

std::optional<size_t> LayerOf(const std::vector<std::vector<std::string>>& layers, const std::string& room) {
  for (size_t layer = 0; layer < layers.size(); ++layer) {
    for (const auto& name : layers[layer]) {
      if (name == room) return layer;
    }
  }
  return std::nullopt;
}

// Why `from` may not include `to` (paths relative to the source folder), or nothing when it may.
std::optional<std::string> Violation(const std::string& from, const std::string& to) {
  const Place source = PlaceOf(from);
  const Place target = PlaceOf(to);
  if (source.part == Place::Part::App || source.part == Place::Part::Other) return std::nullopt;
  if (source.installed && !target.installed) return "an installed header includes " + to + ", which is not installed";
  if (target.part == Place::Part::App) return "includes a program's file " + to;
  if (source.part == Place::Part::Core && target.part == Place::Part::Platform) {
    return "the core includes the platform header " + to + " (the host wires implementations in; app/ creates them)";
  }
  const auto& layers = source.part == Place::Part::Core ? kCoreLayers : kPlatformLayers;
  if (source.part != target.part) return std::nullopt;  // a platform room uses the core
  const auto own = LayerOf(layers, source.room);
  const auto other = LayerOf(layers, target.room);
  if (!own) return "its room \"" + source.room + "\" has no place in the layer order";
  if (!other) return "includes " + to + ", of the room \"" + target.room + "\" that has no place in the layer order";
  if (*other > *own) return "includes " + to + ", of the room \"" + target.room + "\" a layer above \"" + source.room + "\"";
  return std::nullopt;
}

TEST(LayerRuleTest, TheRuleRefusesIncludesUpALayerIntoThePlatformOrOutOfTheInstalledHeaders) {
  const struct {
    const char* from;
    const char* to;
    bool allowed;
  } cases[] = {
      {"src/host/a.cpp", "src/config/b.h", true},
      {"src/config/a.cpp", "src/host/b.h", false},
      {"src/base/a.cpp", "include/portab/lns/b.h", false},
      {"src/lns/a.h", "src/services/b.h", true},
      {"src/services/a.h", "include/portab/lns/b.h", true},
      {"src/params/a.cpp", "src/platform/ini/b.h", false},
      {"include/portab/plugin/a.h", "include/portab/config/b.h", true},
      {"include/portab/lns/a.h", "src/lns/b.h", false},
      {"src/platform/lns_embedded/a.cpp", "src/platform/lonip/b.h", true},
      {"src/platform/lonip/a.cpp", "src/platform/lns_embedded/b.h", false},
      {"src/platform/qt/a.cpp", "src/platform/real_components.h", true},
      {"src/platform/registry/a.cpp", "src/host/b.h", true},
      {"src/platform/nowhere/a.cpp", "src/platform/ini/b.h", false},
      {"src/ui/a.cpp", "app/main.cpp", false},
      {"app/main.cpp", "src/platform/qt/b.h", true},
  };
  for (const auto& c : cases) EXPECT_EQ(!Violation(c.from, c.to).has_value(), c.allowed) << c.from << " -> " << c.to;
}

// Every include of the tree, resolved as the build's include path finds it (the including
// file's folder first for quoted names); names found nowhere in the tree (generated headers,
// the system's) are not the rule's.
TEST(LayerRuleTest, EveryIncludeOfTheTreeKeepsTheRule) {
  const fs::path root = PORTAB_SOURCE_DIR;
  const std::vector<fs::path> searched = {root / "include", root / "include" / "portab", root / "src", root / "app"};
  const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<std::string> violations;
  size_t checked = 0;
  for (const char* part : {"src", "include", "app"}) {
    for (const auto& entry : fs::recursive_directory_iterator(root / part)) {
      const std::string extension = entry.path().extension().string();
      if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
      const std::string from = fs::relative(entry.path(), root).string();
      std::ifstream in(entry.path());
      std::string line;
      for (int number = 1; std::getline(in, line); ++number) {
        std::smatch match;
        if (!std::regex_search(line, match, include)) continue;
        std::vector<fs::path> candidates = {entry.path().parent_path() / match[1].str()};
        for (const auto& folder : searched) candidates.push_back(folder / match[1].str());
        for (const auto& candidate : candidates) {
          if (!fs::exists(candidate)) continue;
          ++checked;
          if (const auto why = Violation(from, fs::relative(fs::weakly_canonical(candidate), root).string())) {
            violations.push_back(from + ":" + std::to_string(number) + ": " + *why);
          }
          break;
        }
      }
    }
  }
  EXPECT_GT(checked, 500u);  // the tree was found and read
  for (const auto& violation : violations) ADD_FAILURE() << violation;
}

}  // namespace
