#include "platform/qt/control_binder.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <type_traits>

namespace platform::qt {

using namespace ui::window;

QColor QtColour(uint32_t colour, const QPalette& palette) {
  if ((colour & 0x80000000u) != 0) {
    switch (colour & 0xFFu) {
      case 5: return palette.color(QPalette::Base);
      case 8: return palette.color(QPalette::Text);
      case 15: return palette.color(QPalette::Button);
      default: return palette.color(QPalette::Window);
    }
  }
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF), static_cast<int>((colour >> 16) & 0xFF));
}

namespace {

// Keys typed into a text box: each reaches the model as a key press (the model's key filter
// decides), the widget only shows the result. Paste, focus in and focus out likewise.
class TextBoxInput final : public QObject {
 public:
  TextBoxInput(TextBox& box, std::function<void()> after) : box_(box), after_(std::move(after)) {}

  bool eventFilter(QObject* object, QEvent* event) override {
    auto* edit = static_cast<QLineEdit*>(object);
    switch (event->type()) {
      case QEvent::KeyPress: return KeyPress(*edit, *static_cast<QKeyEvent*>(event));
      case QEvent::FocusIn: box_.UserFocus(); return false;
      case QEvent::FocusOut: {
        // Another window or a menu taking the focus is no leaving of the field.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (!leaving_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) Leave(*edit);
        return false;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
        // A middle click would paste past the model.
        return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
      default: return false;
    }
  }

 private:
  bool KeyPress(QLineEdit& edit, QKeyEvent& key) {
    if (key.matches(QKeySequence::Paste)) {
      box_.UserPaste(QApplication::clipboard()->text().toStdString());
    } else if (key.matches(QKeySequence::SelectAll)) {
      box_.UserSelectAll();
    } else if (key.matches(QKeySequence::Cut)) {
      if (edit.hasSelectedText()) QApplication::clipboard()->setText(edit.selectedText());
      if (box_.SelLength() > 0) box_.UserKeyPress(8);
    } else if (key.matches(QKeySequence::Undo) || key.matches(QKeySequence::Redo)) {
      return true;  // the widget's own history would bypass the model
    } else if (key.key() == Qt::Key_Delete) {
      // The character after the cursor (all bytes of it), or the selection.
      if (box_.SelLength() == 0 && box_.SelStart() < static_cast<int32_t>(box_.Text().size())) {
        int32_t end = box_.SelStart() + 1;
        while (end < static_cast<int32_t>(box_.Text().size()) &&
               (static_cast<unsigned char>(box_.Text()[static_cast<size_t>(end)]) & 0xC0) == 0x80) {
          ++end;
        }
        box_.SetSelLength(end - box_.SelStart());
      }
      if (box_.SelLength() > 0) box_.UserKeyPress(8);
    } else if (key.key() == Qt::Key_Backspace) {
      box_.UserKeyPress(8);
    } else if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
      Leave(edit);
      return true;
    } else if (!key.text().isEmpty() && key.text().at(0).isPrint() && (key.modifiers() & Qt::ControlModifier) == 0) {
      const std::string typed = key.text().toStdString();
      if (typed.size() == 1) {
        box_.UserKeyPress(static_cast<int16_t>(static_cast<unsigned char>(typed[0])));
      } else {
        box_.UserType(typed);
      }
    } else {
      return false;  // cursor keys, Tab and the like stay the widget's
    }
    after_();
    return true;
  }

  // Leaving the box validates it; a refused value keeps the focus there.
  void Leave(QLineEdit& edit) {
    leaving_ = true;
    const bool left = box_.UserLeave();
    leaving_ = false;
    if (!left) QTimer::singleShot(0, &edit, [&edit] { edit.setFocus(); });
    after_();
  }

  TextBox& box_;
  std::function<void()> after_;
  bool leaving_ = false;
};

// `row` is what sits on the page: the widget, or the widget with its unit beside it.
void ShowCommon(QWidget& widget, QWidget& row, const ValueControl& control) {
  widget.setEnabled(control.Enabled());
  widget.setToolTip(QString::fromStdString(control.ToolTipText()));
  // Visibility only once the row sits on its page (before, it would open as a window); the
  // row's label goes with it.
  if (auto* parent = row.parentWidget()) {
    if (auto* rows = qobject_cast<QFormLayout*>(parent->layout())) {
      rows->setRowVisible(&row, control.Visible());
    } else {
      row.setVisible(control.Visible());
    }
  }
  QPalette palette = widget.palette();
  const QPalette standard = QApplication::palette(&widget);
  const QColor fore = QtColour(control.ForeColor(), standard);
  const QColor back = QtColour(control.BackColor(), standard);
  // A disabled control keeps the style's grey text; its background is the model's.
  for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
    palette.setColor(QPalette::Active, role, fore);
    palette.setColor(QPalette::Inactive, role, fore);
  }
  for (const auto role : {QPalette::Base, QPalette::Window, QPalette::Button}) palette.setColor(role, back);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

}  // namespace

// How a control kind maps to a widget: making it, showing the model, taking the user's action.
struct ControlBinding::Kind {
  bool (*matches)(const ValueControl&);
  QWidget* (*make)(ControlBinding&);
  void (*show)(QWidget&, const ValueControl&);
};

namespace {

template <typename T>
bool Is(const ValueControl& control) {
  return dynamic_cast<const T*>(&control) != nullptr;
}

void ShowText(QWidget& widget, const ValueControl& control) {
  auto& edit = static_cast<QLineEdit&>(widget);
  const auto& box = static_cast<const TextBox&>(control);
  const QSignalBlocker block(&edit);
  const QString text = QString::fromStdString(box.Text());
  if (edit.text() != text) edit.setText(text);
  // The model counts bytes of UTF-8, the widget characters.
  const auto start = static_cast<size_t>(box.SelStart());
  const int before = static_cast<int>(QString::fromStdString(box.Text().substr(0, start)).size());
  const int selected = static_cast<int>(QString::fromStdString(box.Text().substr(start, static_cast<size_t>(box.SelLength()))).size());
  if (selected > 0) {
    edit.setSelection(before, selected);
  } else {
    edit.setCursorPosition(before);
  }
}

void ShowCombo(QWidget& widget, const ValueControl& control) {
  auto& combo = static_cast<QComboBox&>(widget);
  const auto& model = static_cast<const ComboBox&>(control);
  const QSignalBlocker block(&combo);
  QStringList items;
  for (int32_t i = 0; i < model.ListCount(); ++i) items << QString::fromStdString(model.List(i));
  QStringList shown;
  for (int i = 0; i < combo.count(); ++i) shown << combo.itemText(i);
  if (shown != items) {
    combo.clear();
    combo.addItems(items);
  }
  combo.setCurrentIndex(model.ListIndex());
}

void ShowCheck(QWidget& widget, const ValueControl& control) {
  auto& check = static_cast<QCheckBox&>(widget);
  const auto& model = static_cast<const CheckBox&>(control);
  const QSignalBlocker block(&check);
  check.setText(QString::fromStdString(model.Caption()));
  check.setTristate(model.Value() == 2);
  check.setCheckState(model.Value() == 1 ? Qt::Checked : model.Value() == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void ShowOption(QWidget& widget, const ValueControl& control) {
  auto& option = static_cast<QRadioButton&>(widget);
  const auto& model = static_cast<const OptionButton&>(control);
  const QSignalBlocker block(&option);
  option.setText(QString::fromStdString(model.Caption()));
  option.setChecked(model.Value());
}

// A check box or option button: a click goes to the model's UserClick, which decides the
// state (an option button's group clears the others, so Qt's exclusivity is off).
template <typename Model, typename Button>
QWidget* MakeClickable(ControlBinding& binding) {
  auto* button = new Button;
  if constexpr (std::is_same_v<Button, QRadioButton>) button->setAutoExclusive(false);
  QObject::connect(button, &Button::clicked, [&binding] {
    static_cast<Model&>(binding.Control()).UserClick();
    binding.UserActed();
  });
  return button;
}

const ControlBinding::Kind kKinds[] = {
    {&Is<TextBox>,
     [](ControlBinding&) -> QWidget* {
       auto* edit = new QLineEdit;
       edit->setContextMenuPolicy(Qt::NoContextMenu);  // its Cut, Paste and Undo would bypass the model
       edit->setAcceptDrops(false);
       edit->setDragEnabled(false);
       return edit;
     },
     &ShowText},
    {&Is<ComboBox>,
     [](ControlBinding& binding) -> QWidget* {
       auto* combo = new QComboBox;
       auto& model = static_cast<ComboBox&>(binding.Control());
       QObject::connect(combo, &QComboBox::activated, [&binding, &model](int position) {
         model.UserSelect(position);
         binding.UserActed();
       });
       return combo;
     },
     &ShowCombo},
    {&Is<CheckBox>, &MakeClickable<CheckBox, QCheckBox>, &ShowCheck},
    {&Is<OptionButton>, &MakeClickable<OptionButton, QRadioButton>, &ShowOption},
};

}  // namespace

ControlBinding::ControlBinding(std::shared_ptr<ValueControl> control, std::function<void()> afterUserAction)
    : control_(std::move(control)), kind_(nullptr), widget_(nullptr), afterUserAction_(std::move(afterUserAction)) {
  for (const auto& kind : kKinds) {
    if (kind.matches(*control_)) kind_ = &kind;
  }
  if (kind_ == nullptr) {
    widget_ = new QWidget;
  } else {
    widget_ = kind_->make(*this);
  }
  if (auto* box = dynamic_cast<TextBox*>(control_.get())) {
    filter_ = std::make_unique<TextBoxInput>(*box, [this] { UserActed(); });
    widget_->installEventFilter(filter_.get());
    // The cursor and selection the user makes with the mouse or the cursor keys (the
    // widget's own changes from the model are made with its signals blocked).
    auto* edit = static_cast<QLineEdit*>(widget_.data());
    const auto copySelection = [box, edit] {
      const QString text = edit->text();
      const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
      const int length = edit->hasSelectedText() ? static_cast<int>(edit->selectedText().size()) : 0;
      box->SetSelStart(static_cast<int32_t>(text.left(start).toUtf8().size()));
      box->SetSelLength(static_cast<int32_t>(text.mid(start, length).toUtf8().size()));
    };
    QObject::connect(edit, &QLineEdit::cursorPositionChanged, copySelection);
    QObject::connect(edit, &QLineEdit::selectionChanged, copySelection);
  }
  // The row: the control, a text box's unit, and the mark of a value that was not read or
  // not taken by the device (its hint says what went wrong).
  row_ = new QWidget;
  auto* line = new QHBoxLayout(row_);
  line->setContentsMargins(0, 0, 0, 0);
  line->addWidget(widget_, 1);
  if (dynamic_cast<TextBox*>(control_.get()) != nullptr) {
    unit_ = new QLabel;
    unit_->setObjectName("unit");
    line->addWidget(unit_);
  }
  problem_ = new QLabel(QString::fromUtf8("\u26A0"));
  problem_->setObjectName("problem");
  problem_->setStyleSheet("color: #d03030; font-weight: bold;");
  line->addWidget(problem_);
  widget_->setObjectName(QString::fromStdString(control_->Tag() + "/" + control_->Caption()));
  updated_ = control_->Updated.Connect([this] { Show(); });
  Show();
}

ControlBinding::~ControlBinding() {
  control_->Updated.Disconnect(updated_);
  if (filter_ && !widget_.isNull()) widget_->removeEventFilter(filter_.get());
}

void ControlBinding::Show() {
  if (kind_ != nullptr) kind_->show(*widget_, *control_);
  ShowCommon(*widget_, *Row(), *control_);
  if (auto* box = dynamic_cast<const TextBox*>(control_.get()); box != nullptr && !unit_.isNull()) {
    unit_->setText(QString::fromStdString(box->Unit()));
    unit_->setVisible(!box->Unit().empty());
  }
  if (!problem_.isNull()) {
    const QString problem = QString::fromStdString(control_->Problem());
    problem_->setVisible(!problem.isEmpty());
    problem_->setToolTip(problem);
    problem_->setAccessibleName(problem);
  }
}

void ControlBinding::UserActed() {
  Show();
  if (afterUserAction_) afterUserAction_();
}

}  // namespace platform::qt
