#include "ui/window/value_controls.h"

#include <algorithm>

#include "base/encoding.h"
#include "base/error.h"

namespace ui::window {
namespace {

constexpr int16_t kBackspace = 8;

[[noreturn]] void InvalidValue(const char* control) { throw base::Error(base::err::kInvalidPropertyValue, control); }

}  // namespace

// ---- text box ----

void TextBox::SetText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  selStart_ = 0;
  selLength_ = 0;
  Updated.Emit();
  Change.Emit(*this);
}

void TextBox::SetSelStart(int32_t position) {
  const auto length = static_cast<int32_t>(text_.size());
  Assign(selStart_, std::clamp(position, 0, length));
  Assign(selLength_, std::min(selLength_, length - selStart_));
}

void TextBox::SetSelLength(int32_t length) {
  Assign(selLength_, std::clamp(length, 0, static_cast<int32_t>(text_.size()) - selStart_));
}

void TextBox::UserSelectAll() {
  SetSelStart(0);
  SetSelLength(static_cast<int32_t>(text_.size()));
}

void TextBox::ReplaceSelection(const std::string& with) {
  std::string text = text_;
  text.replace(static_cast<size_t>(selStart_), static_cast<size_t>(selLength_), with);
  const int32_t cursor = selStart_ + static_cast<int32_t>(with.size());
  text_ = std::move(text);
  selStart_ = cursor;
  selLength_ = 0;
  Updated.Emit();
  Change.Emit(*this);
}

void TextBox::UserKeyPress(int16_t keyAscii) {
  if (!Enabled()) return;
  KeyPress.Emit(*this, keyAscii);
  if (keyAscii == 0) return;
  if (keyAscii == kBackspace) {
    if (selLength_ == 0 && selStart_ > 0) {
      // The character before the cursor, with all bytes of a UTF-8 sequence.
      int32_t from = selStart_ - 1;
      while (from > 0 && (static_cast<unsigned char>(text_[static_cast<size_t>(from)]) & 0xC0) == 0x80) --from;
      selLength_ = selStart_ - from;
      selStart_ = from;
    }
    if (selLength_ > 0) ReplaceSelection("");
    return;
  }
  if (keyAscii < 32 || keyAscii > 255) return;  // other control keys edit nothing
  const std::string character = base::Windows1252ToUtf8(std::string(1, static_cast<char>(keyAscii)));
  const bool full = MaxLength() > 0 && static_cast<int32_t>(text_.size()) - selLength_ >= MaxLength();
  if (!full) ReplaceSelection(character);
}

void TextBox::UserType(std::string_view text) {
  for (unsigned char c : base::Utf8ToWindows1252(std::string(text))) UserKeyPress(static_cast<int16_t>(c));
}

void TextBox::UserPaste(std::string_view text) {
  if (!Enabled()) return;
  std::string pasted(text);
  if (MaxLength() > 0) {
    const auto room = std::max(0, MaxLength() - (static_cast<int32_t>(text_.size()) - selLength_));
    if (static_cast<int32_t>(pasted.size()) > room) {
      pasted.resize(static_cast<size_t>(room));
      // Never cut a UTF-8 sequence in two.
      while (!pasted.empty() && (static_cast<unsigned char>(pasted.back()) & 0x80) != 0 &&
             !base::IsValidUtf8(pasted)) {
        pasted.pop_back();
      }
    }
  }
  ReplaceSelection(pasted);
}

bool TextBox::UserLeave(bool causesValidation) {
  if (causesValidation) {
    bool cancel = false;
    Validate.Emit(*this, cancel);
    if (cancel) return false;
  }
  LostFocus.Emit(*this);
  LoseFocus();
  return true;
}

// ---- combo box ----

const ComboBox::Item& ComboBox::At(int32_t position) const {
  if (position < 0 || position >= ListCount()) InvalidValue("ComboBox");
  return items_[static_cast<size_t>(position)];
}

void ComboBox::Clear() {
  if (items_.empty() && listIndex_ == -1) return;
  items_.clear();
  listIndex_ = -1;
  Updated.Emit();
}

void ComboBox::AddItem(std::string text, int32_t position) {
  if (position < -1 || position > ListCount()) InvalidValue("ComboBox");
  if (position == -1) position = ListCount();
  items_.insert(items_.begin() + position, Item{std::move(text), 0});
  if (listIndex_ >= position) ++listIndex_;
  Updated.Emit();
}

void ComboBox::RemoveItem(int32_t position) {
  At(position);
  items_.erase(items_.begin() + position);
  if (listIndex_ == position) {
    listIndex_ = -1;
  } else if (listIndex_ > position) {
    --listIndex_;
  }
  Updated.Emit();
}

const std::string& ComboBox::List(int32_t position) const { return At(position).text; }

int32_t ComboBox::ItemData(int32_t position) const { return At(position).itemData; }

void ComboBox::SetItemData(int32_t position, int32_t itemData) {
  At(position);
  Assign(items_[static_cast<size_t>(position)].itemData, itemData);
}

void ComboBox::SetListIndex(int32_t position) {
  if (position != -1) At(position);
  if (position == listIndex_) return;
  listIndex_ = position;
  Updated.Emit();
  Click.Emit(*this);
}

std::string ComboBox::Text() const { return listIndex_ < 0 ? std::string() : items_[static_cast<size_t>(listIndex_)].text; }

void ComboBox::UserSelect(int32_t position) {
  if (Enabled()) SetListIndex(position);
}

// ---- check box ----

void CheckBox::SetValue(int32_t value) {
  if (value < 0 || value > 2) InvalidValue("CheckBox");
  if (value == value_) return;
  value_ = value;
  Updated.Emit();
  Click.Emit(*this);
}

void CheckBox::UserClick() {
  if (Enabled()) SetValue(value_ == 1 ? 0 : 1);
}

// ---- option buttons ----

void OptionGroup::Join(const std::shared_ptr<OptionGroup>& group, const std::shared_ptr<OptionButton>& button) {
  std::erase_if(group->buttons_, [](const auto& weak) { return weak.expired(); });
  group->buttons_.push_back(button);
  button->group_ = group;
}

void OptionGroup::ClearAllBut(const OptionButton* selected) const {
  for (const auto& weak : buttons_) {
    if (auto button = weak.lock(); button && button.get() != selected) button->Clear();
  }
}

void OptionButton::SetValue(bool value) {
  if (!value) {
    Clear();
    return;
  }
  if (value_) return;
  if (auto group = group_.lock()) group->ClearAllBut(this);
  value_ = true;
  Updated.Emit();
  Click.Emit(*this);
}

void OptionButton::UserClick() {
  if (!Enabled()) return;
  if (value_) {
    Click.Emit(*this);
  } else {
    SetValue(true);
  }
}

}  // namespace ui::window
