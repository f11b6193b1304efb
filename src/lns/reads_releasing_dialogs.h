#pragma once
// Dialogs that end an object server's hold on reads (ObjectServer::HoldReads) before they wait
// for the user: a snapshot of the network is never kept open while a box is shown.

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "services/dialogs.h"

namespace lns {

class ReadsReleasingDialogs final : public services::dialogs::Dialogs {
 public:
  // `dialogs` gives the dialogs that show the boxes (null: none, and every box answers as a
  // box without a user would); `release` ends the hold.
  ReadsReleasingDialogs(std::function<services::dialogs::Dialogs*()> dialogs, std::function<void()> release)
      : dialogs_(std::move(dialogs)), release_(std::move(release)) {}
  services::dialogs::Answer Show(const services::dialogs::MessageBox& box) override {
    release_();
    services::dialogs::Dialogs* shown = dialogs_();
    return shown != nullptr ? shown->Show(box) : services::dialogs::Answer::Ok;
  }
  std::optional<std::string> ChooseFile(const services::dialogs::FileDialog& dialog) override {
    release_();
    services::dialogs::Dialogs* shown = dialogs_();
    return shown != nullptr ? shown->ChooseFile(dialog) : std::nullopt;
  }
  void ShowAbout(const services::dialogs::AboutBox& about) override {
    release_();
    if (services::dialogs::Dialogs* shown = dialogs_()) shown->ShowAbout(about);
  }

 private:
  std::function<services::dialogs::Dialogs*()> dialogs_;
  std::function<void()> release_;
};

}  // namespace lns
