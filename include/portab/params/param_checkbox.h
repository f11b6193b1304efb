#pragma once
// cParamCheckBox: a numeric part of a CP shown as a check box, with one number for checked
// and one for unchecked. A CP value that is neither turns the control's text red.

#include <cstdint>
#include <memory>

#include "portab/params/control_parameter.h"
#include "portab/ui/window/value_controls.h"

namespace params {

class cParamCheckBox final : public cControlParameter {
 public:
  int16_t ClassId() const override;  // PA_CLASSID_CHECKBOX_PARAMETER

  const std::shared_ptr<ui::window::CheckBox>& CheckBoxControl() const { return control_; }  // none: no control
  // Stores the control; the set's events then reach this parameter.
  void SetCheckBoxControl(std::shared_ptr<ui::window::CheckBox> control);

  int32_t Value() const { return value_; }  // the number in the CP part
  // Only while available: stores the number, shows it, marks the parameter changed.
  void SetValue(int32_t value);
  // The numbers for checked and unchecked (read/write); a negative one makes the part signed.
  int32_t ValueChecked() const { return valueChecked_; }
  void SetValueChecked(int32_t value);
  int32_t ValueUnchecked() const { return valueUnchecked_; }
  void SetValueUnchecked(int32_t value);
  // Whether the part is two's complement (read/write).
  bool SignedValue() const { return signedValue_; }
  void SetSignedValue(bool value) { signedValue_ = value; }

  // Shows Value: checked, unchecked, or red for any other number (not in no-value modes).
  void SetCheckBox();
  // Refused while the CP is not available (see eLockMode for what each mode does).
  void SetLockMode(int32_t mode) override;
  // The user clicked the control: Value becomes the checked or unchecked number, the parameter
  // changed.
  void CheckBox_Click_Event();

  // Binds the parameter to `byteLength` bytes at bytePos: error 0x800403E8 "ungültige
  // Parameter" when they are outside the LNS CP, 6 when the sum leaves 16 bits.
  void ConsiderPartOfCpOnly(int16_t bytePos, int16_t byteLength);
  bool WritingToLnsIsRequired() const override { return true; }  // the value is always written
  // The transfers of IParameter; a read also shows the value.
  void WriteToLns() override;
  void ReadFromLns() override;
  void WriteToExtCp() override;
  void ReadFromExtCp() override;

 protected:
  const char* Module() const override { return "cParamCheckBox"; }

 private:
  std::shared_ptr<ui::window::CheckBox> control_;
  int32_t value_ = 0;
  int32_t valueChecked_ = 0;
  int32_t valueUnchecked_ = 0;
  bool signedValue_ = false;
  bool updatingControl_ = false;
};

}  // namespace params
