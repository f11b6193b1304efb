#pragma once
// cParamComboBox: a numeric part of a CP shown as a choice from a list. Each entry of the
// control's list is a text with an item datum; Value is the datum of the chosen entry. A CP
// value that matches no entry leaves the list without selection and can be shown as a red
// invalid entry.

#include <cstdint>
#include <memory>
#include <string>

#include "portab/params/control_parameter.h"
#include "portab/ui/window/value_controls.h"

namespace params {

class cParamComboBox final : public cControlParameter {
 public:
  int16_t ClassId() const override;  // PA_CLASSID_COMBOBOX_PARAMTER

  const std::shared_ptr<ui::window::ComboBox>& ComboBoxControl() const { return control_; }  // none: no control
  // Stores the control and clears its list; the set's events then reach this parameter.
  void SetComboBoxControl(std::shared_ptr<ui::window::ComboBox> control);

  // The list operations do nothing without a control.
  // Appends an entry; a negative item datum makes the part signed.
  void AddComboBoxItem(const std::string& item, int32_t itemData);
  // Removes the entry at `itemIndex` (from 0); error 380 outside the list.
  void RemoveComboBoxItem(int16_t itemIndex);
  // Removes the first entry with that item datum (nothing when there is none).
  void RemoveComboBoxItemByItemData(int32_t itemData);
  void ClearComboBox();  // removes every entry
  // Sets Value to itself: refreshes the selection and marks the parameter changed.
  void UpdateComboBox();
  // Whether an entry has `value` (or Value) as item datum; false without a control.
  bool ValueIsInComboList(int32_t value) const;
  bool CurrentValueIsInComboList() const { return ValueIsInComboList(value_); }
  // Inserts InvalidItemString as entry 0 (item datum 0), marks the control red and selects
  // it; the control's event then takes 0 into Value, as for any chosen entry.
  void ShowInvalidItem();
  // Selects an entry (from 0; -1 none, error 380 outside); the control's event takes its item
  // datum into Value.
  void SetValueByComboListItemIndex(int16_t itemIndex);
  // The text of the invalid entry (read/write).
  const std::string& InvalidItemString() const { return invalidItemString_; }
  void SetInvalidItemString(std::string text) { invalidItemString_ = std::move(text); }

  // The number in the CP part (read/write); setting selects its entry (see SetComboBox) and
  // marks the parameter changed.
  int32_t Value() const { return value_; }
  void SetValue(int32_t value);
  // Selects the entry of Value, or none (not while updates are off or no value is shown).
  void SetComboBox();
  // Whether a new Value is shown in the control (read/write); switching it on shows Value
  // again (and marks the parameter changed).
  bool ControlUpdatesEnabled() const { return controlUpdatesEnabled_; }
  void SetControlUpdatesEnabled(bool enabled);
  // See eLockMode for what each mode does; a no-value mode clears the selection quietly.
  void SetLockMode(int32_t mode) override;
  // Whether the part is two's complement, and whether only a value that differs from the
  // last one transferred is written (read/write).
  bool SignedValue() const { return signedValue_; }
  void SetSignedValue(bool value) { signedValue_ = value; }
  bool WriteToLnsIfRequiredOnly() const { return writeIfRequiredOnly_; }
  void SetWriteToLnsIfRequiredOnly(bool value) { writeIfRequiredOnly_ = value; }

  // The user chose an entry: Value becomes its item datum, the parameter changed (nothing when
  // no entry is selected).
  void ComboBox_Change_Event();

  // Binds the parameter to `byteLength` bytes at bytePos: error 0x800403E8 "invalid
  // parameters" when they are outside the LNS CP, 6 when the sum leaves 16 bits.
  void ConsiderPartOfCpOnly(int16_t bytePos, int16_t byteLength);
  // The transfers of IParameter; a read also selects the value's entry. A value the part
  // refuses logs a red line and still counts as transferred.
  bool WritingToLnsIsRequired() const override;
  void WriteToLns() override;
  void ReadFromLns() override;
  void WriteToExtCp() override;
  void ReadFromExtCp() override;
  // The value matches no entry of the list.
  bool ValueIsInvalid() const override { return !CurrentValueIsInComboList(); }

 protected:
  const char* Module() const override { return "cParamComboBox"; }

 private:
  void SelectQuietly(int32_t position);

  std::shared_ptr<ui::window::ComboBox> control_;
  int32_t value_ = 0;
  std::string invalidItemString_;
  bool controlUpdatesEnabled_ = true;
  bool updatingControl_ = false;
  bool signedValue_ = false;
  bool writeIfRequiredOnly_ = false;
  int32_t lastLnsValue_ = 0;
};

}  // namespace params
