#pragma once
// cParamComboBox: a numeric part of a CP shown as a choice from a list. Each entry of the
// control's list is a text with an item datum; Value is the datum of the chosen entry. A CP
// value that matches no entry leaves the list without selection and can be shown as a red
// invalid entry.

#include <cstdint>
#include <memory>
#include <string>

#include "params/control_parameter.h"
#include "ui/window/value_controls.h"

namespace params {

class cParamComboBox final : public cControlParameter {
 public:
  int16_t ClassId() const override;

  const std::shared_ptr<ui::window::ComboBox>& ComboBoxControl() const { return control_; }
  // Stores the control and clears its list; the set's events then reach this parameter.
  void SetComboBoxControl(std::shared_ptr<ui::window::ComboBox> control);

  // Appends an entry; a negative item datum makes the part signed.
  void AddComboBoxItem(const std::string& item, int32_t itemData);
  void RemoveComboBoxItem(int16_t itemIndex);
  // Removes the first entry with that item datum (nothing when there is none).
  void RemoveComboBoxItemByItemData(int32_t itemData);
  void ClearComboBox();
  // Sets Value to itself: refreshes the selection and marks the parameter changed.
  void UpdateComboBox();
  bool ValueIsInComboList(int32_t value) const;
  bool CurrentValueIsInComboList() const { return ValueIsInComboList(value_); }
  // Inserts InvalidItemString as entry 0 (item datum 0), marks the control red and selects
  // it; the control's event then takes 0 into Value, as for any chosen entry.
  void ShowInvalidItem();
  // Selects an entry; the control's event takes its item datum into Value.
  void SetValueByComboListItemIndex(int16_t itemIndex);
  const std::string& InvalidItemString() const { return invalidItemString_; }
  void SetInvalidItemString(std::string text) { invalidItemString_ = std::move(text); }

  int32_t Value() const { return value_; }
  void SetValue(int32_t value);
  // Selects the entry of Value, or none (not while updates are off or no value is shown).
  void SetComboBox();
  bool ControlUpdatesEnabled() const { return controlUpdatesEnabled_; }
  void SetControlUpdatesEnabled(bool enabled);
  void SetLockMode(int32_t mode) override;
  bool SignedValue() const { return signedValue_; }
  void SetSignedValue(bool value) { signedValue_ = value; }
  bool WriteToLnsIfRequiredOnly() const { return writeIfRequiredOnly_; }
  void SetWriteToLnsIfRequiredOnly(bool value) { writeIfRequiredOnly_ = value; }

  // The user chose an entry.
  void ComboBox_Change_Event();

  void ConsiderPartOfCpOnly(int16_t bytePos, int16_t byteLength);
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
