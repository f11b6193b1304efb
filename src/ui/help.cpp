#include "ui/help.h"

#include <cctype>
#include <filesystem>
#include <string_view>

#include "base/error.h"
#include "base/procedure.h"
#include "base/product.h"
#include "base/text.h"
#include "services/dialogs.h"
#include "services/shell.h"
#include "ui/res_strings.h"

namespace ui {

using services::dialogs::Icon;

namespace {

// A path as the path of a file URL: bytes outside the unreserved set and "/" percent-encoded.
std::string UrlPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 || std::string_view("/-._~").find(c) != std::string_view::npos) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

// The help file at its start (topic -1), or the topic's anchor "topic-<id>" as a file URL.
std::string HelpTarget(const std::string& helpFilePath, int32_t topicId) {
  if (topicId < 0) return helpFilePath;
  return "file://" + UrlPath(std::filesystem::absolute(helpFilePath).string()) + "#topic-" + std::to_string(topicId);
}

}  // namespace

void ShowAbout(services::dialogs::Dialogs& dialogs, const std::optional<std::string>& serverText,
               const std::string& programFolder) {
  base::RunProcedure("M_Help", base::Visibility::Public, "ShowAbout", [&](base::ErrorScope&) {
    const std::string version = std::to_string(base::kVersionMajor) + "." + std::to_string(base::kVersionMinor) +
                                "." + std::to_string(base::kVersionRevision);
    services::dialogs::AboutBox about;
    about.title = ResString(1850);
    about.lines.push_back(base::FormatPlaceholders(ResString(1851), {version}));
    if (serverText) about.lines.push_back(*serverText);
    for (int16_t id : {1852, 1853, 1855, 1856, 1857, 1858}) about.makerLines.push_back(ResString(id));
    if (!programFolder.empty()) {
      for (const char* picture : {"103.png", "104.png"}) {
        about.pictures.push_back((std::filesystem::path(programFolder) / "Pictures" / picture).string());
      }
    }
    dialogs.ShowAbout(about);
  });
}

void ShowHelp(services::dialogs::Dialogs& dialogs, services::process::Shell& shell,
              const std::string& helpFilePath, int32_t topicId) {
  base::RunProcedure("M_Help", base::Visibility::Public, "ShowHelp", [&](base::ErrorScope&) {
    const auto opener = shell.FindProgram(kDesktopOpener);
    int16_t message = 0;
    if (!opener) {
      message = 1426;
    } else if (!std::filesystem::is_regular_file(helpFilePath) || !shell.Start(*opener, {HelpTarget(helpFilePath, topicId)})) {
      message = 1425;
    }
    if (message == 0) return;
    dialogs.Show({base::FormatPlaceholders(ResString(message), {helpFilePath}), base::kProductName,
                  Icon::Critical, services::dialogs::Buttons::Ok, 1});
  });
}

}  // namespace ui
