#pragma once
// Message boxes and file dialogs as Qt widgets: QMessageBox with the icon, title, buttons and
// default button each call asks for, QFileDialog for opening and saving files.

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <memory>
#include <string_view>

#include "services/dialogs.h"

namespace platform::qt {

// The message box a call asks for, not yet shown (line breaks CR LF become line breaks).
std::unique_ptr<QMessageBox> BuildMessageBox(const services::dialogs::MessageBox& box, QWidget* parent = nullptr);
// The About box a call asks for, not yet shown: the first picture beside the lines, the
// second below them, the maker's lines below it, an OK button.
std::unique_ptr<QDialog> BuildAboutBox(const services::dialogs::AboutBox& about, QWidget* parent = nullptr);
// The answer of a pressed standard button.
services::dialogs::Answer AnswerOf(QMessageBox::StandardButton button);
// "Data (*.dat)|*.dat|All (*.*)|*.*" as Qt writes it: "Data (*.dat);;All (*.*)".
QString QtFileFilter(std::string_view filter);

class QtDialogs final : public services::dialogs::Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  services::dialogs::Answer Show(const services::dialogs::MessageBox& box) override;
  std::optional<std::string> ChooseFile(const services::dialogs::FileDialog& dialog) override;
  void ShowAbout(const services::dialogs::AboutBox& about) override;

 private:
  QWidget* parent_;
};

}  // namespace platform::qt
