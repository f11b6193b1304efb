#pragma once
// The controls that show parameter values: text box, combo box, check box and option
// button. Each keeps what a toolkit widget shows (text, list, check state, colours, enabled,
// visible, focus) and raises its events in both directions:
//  - towards the logic: Change / KeyPress / Validate / LostFocus (text box), Click (combo
//    box, check box, option button), raised by the User... operations that a front end (or
//    a test) calls for what the user did, and by property changes as a toolkit would;
//  - towards a front end: Updated, after any property changed, so it can redraw.
// A property set to the value it already has changes nothing and raises nothing.
// Colours are Windows colour values (red lowest byte; 0x80000000 + n a system colour).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "portab/base/signal.h"

namespace ui::window {

namespace colours {
inline constexpr uint32_t kWindowBackground = 0x80000005;  // the normal background
inline constexpr uint32_t kButtonFace = 0x8000000F;        // the grey of locked controls
inline constexpr uint32_t kWindowText = 0x80000008;        // the normal text colour
inline constexpr uint32_t kRed = 255;                      // marks a value outside its range
}  // namespace colours

// What every value control has. Index is the position in its control array, Tag a free text.
class ValueControl {
 public:
  // `name` is the control array's name ("txtParam"), `index` the place in it.
  explicit ValueControl(std::string name, int32_t index = 0) : name_(std::move(name)), index_(index) {}
  virtual ~ValueControl() = default;
  ValueControl(const ValueControl&) = delete;
  ValueControl& operator=(const ValueControl&) = delete;

  // The properties (read/write where a setter is given); each change raises Updated.
  const std::string& Name() const { return name_; }
  int32_t Index() const { return index_; }
  const std::string& Tag() const { return tag_; }
  void SetTag(std::string tag) { Assign(tag_, std::move(tag)); }
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption) { Assign(caption_, std::move(caption)); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { Assign(enabled_, enabled); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { Assign(visible_, visible); }
  uint32_t ForeColor() const { return foreColor_; }
  void SetForeColor(uint32_t colour) { Assign(foreColor_, colour); }
  uint32_t BackColor() const { return backColor_; }
  void SetBackColor(uint32_t colour) { Assign(backColor_, colour); }
  // The hint a window shows when the pointer rests on the control ("" none).
  const std::string& ToolTipText() const { return toolTipText_; }
  void SetToolTipText(std::string text) { Assign(toolTipText_, std::move(text)); }
  bool HasFocus() const { return hasFocus_; }  // set by UserFocus, cleared when the user leaves
  // What went wrong with the value's last transfer with the device ("" nothing): the window
  // marks the control and shows the text as the mark's hint.
  const std::string& Problem() const { return problem_; }
  void SetProblem(std::string text) { Assign(problem_, std::move(text)); }

  // The user (or the window) moves the focus into the control.
  void UserFocus() { Assign(hasFocus_, true); }

  base::Signal<> Updated;  // after any property changed

 protected:
  template <typename T>
  void Assign(T& field, T value) {
    if (field == value) return;
    field = std::move(value);
    Updated.Emit();
  }
  void LoseFocus() { Assign(hasFocus_, false); }

 private:
  std::string name_;
  int32_t index_;
  std::string tag_;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  uint32_t foreColor_ = colours::kWindowText;
  uint32_t backColor_ = colours::kWindowBackground;
  std::string toolTipText_;
  std::string problem_;
  bool hasFocus_ = false;
};

class TextBox final : public ValueControl {
 public:
  using ValueControl::ValueControl;

  const std::string& Text() const { return text_; }  // UTF-8
  // Sets the text (cursor to the start) and raises Change when it differs.
  void SetText(std::string text);
  // The unit shown beside the field ("s", "%"; "" none).
  const std::string& Unit() const { return unit_; }
  void SetUnit(std::string unit) { Assign(unit_, std::move(unit)); }
  // Characters the user may type; 0 is no limit. Texts set by the program are not cut.
  int32_t MaxLength() const { return maxLength_; }
  void SetMaxLength(int32_t length) { Assign(maxLength_, length < 0 ? 0 : length); }
  // The cursor (0 .. text length, in bytes) and the length of the selection after it.
  int32_t SelStart() const { return selStart_; }
  void SetSelStart(int32_t position);
  int32_t SelLength() const { return selLength_; }
  void SetSelLength(int32_t length);

  // The user presses a key: KeyPress may change or drop it (0); backspace (8) deletes the
  // selection or the character before the cursor; a printable character replaces the
  // selection or is inserted at the cursor, unless MaxLength is reached. Change follows.
  void UserKeyPress(int16_t keyAscii);
  // Each character of `text` as a key press.
  void UserType(std::string_view text);
  // Pastes `text` over the selection (no key filter, as a paste bypasses the keys), cut to
  // what MaxLength leaves room for. Change follows.
  void UserPaste(std::string_view text);
  // Selects the whole text (as a user does before typing over it).
  void UserSelectAll();
  // The user leaves the control: Validate (when the next control validates); a cancel keeps
  // the focus here and ends the move (false). Otherwise LostFocus, and true.
  bool UserLeave(bool causesValidation = true);

  // The events towards the logic: the text changed; a key is about to be typed (a handler may
  // change it or set 0 to drop it); the user leaves (a handler sets `cancel` to keep the
  // focus); the focus has gone.
  base::Signal<TextBox&> Change;
  base::Signal<TextBox&, int16_t&> KeyPress;
  base::Signal<TextBox&, bool&> Validate;
  base::Signal<TextBox&> LostFocus;

 private:
  void ReplaceSelection(const std::string& with);
  std::string text_;
  std::string unit_;
  int32_t maxLength_ = 0;
  int32_t selStart_ = 0;
  int32_t selLength_ = 0;
};

// A drop-down list: entries of text and item datum, positions from 0, -1 = no selection.
class ComboBox final : public ValueControl {
 public:
  using ValueControl::ValueControl;

  void Clear();  // removes every entry and the selection (no Click)
  // Appends (position -1) or inserts an entry with item datum 0; a selection after it moves
  // along. Error 380 for a position outside -1 .. ListCount.
  void AddItem(std::string text, int32_t position = -1);
  // Removes an entry; removing the selected one leaves no selection. Error 380 outside.
  void RemoveItem(int32_t position);
  int32_t ListCount() const { return static_cast<int32_t>(items_.size()); }
  // An entry's text and item datum (read/write); error 380 for a position that is no entry.
  const std::string& List(int32_t position) const;
  int32_t ItemData(int32_t position) const;
  void SetItemData(int32_t position, int32_t itemData);
  int32_t ListIndex() const { return listIndex_; }  // the selected entry, -1 none
  // Selects an entry (-1: none) and raises Click when the selection changes; error 380 for
  // a position that is neither -1 nor an entry.
  void SetListIndex(int32_t position);
  // The text of the selected entry, "" without one.
  std::string Text() const;

  // The user picks an entry from the list (ignored while disabled).
  void UserSelect(int32_t position);

  base::Signal<ComboBox&> Click;  // the selection changed

 private:
  struct Item {
    std::string text;
    int32_t itemData = 0;
  };
  const Item& At(int32_t position) const;
  std::vector<Item> items_;
  int32_t listIndex_ = -1;
};

class CheckBox final : public ValueControl {
 public:
  using ValueControl::ValueControl;

  // 0 unchecked, 1 checked, 2 grey. Setting a new value raises Click, as a toolkit does;
  // another number raises error 380.
  int32_t Value() const { return value_; }
  void SetValue(int32_t value);
  // The user clicks (ignored while disabled): checked becomes unchecked, else checked.
  void UserClick();

  base::Signal<CheckBox&> Click;  // the value changed

 private:
  int32_t value_ = 0;
};

class OptionButton;

// Option buttons of one group exclude each other: selecting one clears the others.
class OptionGroup {
 public:
  // Puts the button into the group (held weakly by the group).
  static void Join(const std::shared_ptr<OptionGroup>& group, const std::shared_ptr<OptionButton>& button);
  // Clears every button of the group but `selected`, without Click.
  void ClearAllBut(const OptionButton* selected) const;

 private:
  std::vector<std::weak_ptr<OptionButton>> buttons_;
};

class OptionButton final : public ValueControl {
 public:
  using ValueControl::ValueControl;

  bool Value() const { return value_; }  // whether the button is selected
  // True selects the button (the others of its group are cleared) and raises Click when it
  // was not selected; false clears it without an event.
  void SetValue(bool value);
  // The user clicks (ignored while disabled): selects the button and raises Click (also when
  // it was selected already).
  void UserClick();

  base::Signal<OptionButton&> Click;  // the button was selected or clicked

 private:
  friend class OptionGroup;
  void Clear() { Assign(value_, false); }
  bool value_ = false;
  std::weak_ptr<OptionGroup> group_;
};

}  // namespace ui::window
