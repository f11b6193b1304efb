#include "platform/qt/qt_dialogs.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>

#include "base/text.h"

namespace platform::qt {

using namespace services::dialogs;

namespace {

QString Text(std::string_view text) { return QString::fromStdString(base::ReplaceAll(text, "\r\n", "\n")); }

QMessageBox::Icon QtIcon(Icon icon) {
  switch (icon) {
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Question: return QMessageBox::Question;
    case Icon::Information: break;
  }
  return QMessageBox::Information;
}

QMessageBox::StandardButton QtButton(Answer answer) {
  switch (answer) {
    case Answer::Ok: return QMessageBox::Ok;
    case Answer::Yes: return QMessageBox::Yes;
    case Answer::No: return QMessageBox::No;
    case Answer::Cancel: break;
  }
  return QMessageBox::Cancel;
}

}  // namespace

std::unique_ptr<QMessageBox> BuildMessageBox(const MessageBox& box, QWidget* parent) {
  auto dialog = std::make_unique<QMessageBox>(QtIcon(box.icon), Text(box.title), Text(box.text), QMessageBox::NoButton, parent);
  const std::vector<Answer> answers = AnswersOf(box.buttons);
  for (size_t i = 0; i < answers.size(); ++i) {
    QPushButton* button = dialog->addButton(QtButton(answers[i]));
    if (static_cast<int>(i) + 1 == box.defaultButton) dialog->setDefaultButton(button);
  }
  // Escape gives the cancelling answer where there is one, as on the desktop.
  if (box.buttons == Buttons::OkCancel || box.buttons == Buttons::YesNoCancel) dialog->setEscapeButton(QMessageBox::Cancel);
  return dialog;
}

Answer AnswerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
  }
}

QString QtFileFilter(std::string_view filter) {
  const auto parts = base::Split(filter, "|");
  QStringList filters;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    // Qt reads the patterns from the parentheses of the name, so the name gets the pattern
    // part's patterns; "*.*" means every file there, which here would miss names without a dot.
    QString name = QString::fromStdString(parts[i]).trimmed();
    if (name.endsWith(')') && name.contains('(')) name = name.left(name.lastIndexOf('(')).trimmed();
    QString patterns = QString::fromStdString(base::ReplaceAll(parts[i + 1], ";", " "));
    patterns.replace("*.*", "*");
    filters << name + " (" + patterns + ")";
  }
  return filters.join(";;");
}

Answer QtDialogs::Show(const MessageBox& box) {
  auto dialog = BuildMessageBox(box, parent_);
  dialog->exec();
  QAbstractButton* clicked = dialog->clickedButton();
  if (clicked == nullptr) return box.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  return AnswerOf(dialog->standardButton(clicked));
}

std::optional<std::string> QtDialogs::ChooseFile(const FileDialog& dialog) {
  const QString title = Text(dialog.title);
  const QString start = QString::fromStdString(dialog.initialFile);
  const QString filter = QtFileFilter(dialog.filter);
  const QString chosen = dialog.kind == FileDialog::Kind::Open ? QFileDialog::getOpenFileName(parent_, title, start, filter)
                                                               : QFileDialog::getSaveFileName(parent_, title, start, filter);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.toStdString();
}

std::unique_ptr<QDialog> BuildAboutBox(const AboutBox& about, QWidget* parent) {
  auto dialog = std::make_unique<QDialog>(parent);
  dialog->setWindowTitle(Text(about.title));
  auto* grid = new QGridLayout(dialog.get());
  // The pictures; one that cannot be read leaves its place empty.
  const auto picture = [&](size_t index, const char* name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    if (index < about.pictures.size()) label->setPixmap(QPixmap(QString::fromStdString(about.pictures[index])));
    return label;
  };
  // Lines without the empty ones at their end; selectable, so the server line can be copied.
  const auto text = [](const std::vector<std::string>& lines, const char* name) {
    QStringList shown;
    for (const auto& line : lines) shown << Text(line);
    while (!shown.isEmpty() && shown.back().isEmpty()) shown.removeLast();
    auto* label = new QLabel(shown.join("\n"));
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
  };
  grid->addWidget(picture(0, "mark"), 0, 0, Qt::AlignTop);
  grid->addWidget(text(about.lines, "lines"), 0, 1);
  grid->addWidget(picture(1, "strip"), 1, 0, 1, 2, Qt::AlignLeft);
  grid->addWidget(text(about.makerLines, "makerLines"), 2, 0, 1, 2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog.get(), &QDialog::accept);
  grid->addWidget(buttons, 3, 0, 1, 2);
  return dialog;
}

void QtDialogs::ShowAbout(const AboutBox& about) { BuildAboutBox(about, parent_)->exec(); }

}  // namespace platform::qt
