#include "params/param_checkbox.h"

#include "params/params.h"

namespace params {
namespace {

using namespace cParamEnums;
constexpr int32_t kUnchecked = 0;
constexpr int32_t kChecked = 1;

}  // namespace

int16_t cParamCheckBox::ClassId() const { return PA_CLASSID_CHECKBOX_PARAMETER; }

void cParamCheckBox::SetCheckBoxControl(std::shared_ptr<ui::window::CheckBox> control) {
  control_ = std::move(control);
  if (control_ && Parent() != nullptr) Parent()->Connect(control_);
}

void cParamCheckBox::SetValue(int32_t value) {
  if (!Available()) return;
  value_ = value;
  SetCheckBox();
  SetChanged(true);
}

void cParamCheckBox::SetValueChecked(int32_t value) {
  valueChecked_ = value;
  if (value < 0) signedValue_ = true;
}

void cParamCheckBox::SetValueUnchecked(int32_t value) {
  valueUnchecked_ = value;
  if (value < 0) signedValue_ = true;
}

void cParamCheckBox::SetCheckBox() {
  if (ShowsNoValue() || !control_) return;
  if (value_ == valueChecked_) {
    control_->SetValue(kChecked);
  } else if (value_ == valueUnchecked_) {
    control_->SetValue(kUnchecked);
  } else {
    control_->SetForeColor(ui::window::colours::kRed);
  }
}

void cParamCheckBox::SetLockMode(int32_t mode) {
  if (!Available()) return;
  StoreLockMode(mode);
  if (!control_) return;
  switch (mode) {
    case LM_UNLOCKED:
      control_->SetEnabled(true);
      SetCheckBox();
      break;
    case LM_DISABLED:
    case LM_DISABLED_GREY:
      control_->SetEnabled(false);
      SetCheckBox();
      break;
    case LM_DISABLED_NO_VALUE:
    case LM_DISABLED_GREY_NO_VALUE:
      control_->SetEnabled(false);
      updatingControl_ = true;
      control_->SetValue(kUnchecked);
      updatingControl_ = false;
      break;
    default:  // LM_LOCKED, 6 and above
      break;
  }
}

void cParamCheckBox::CheckBox_Click_Event() {
  if (updatingControl_ || !control_) return;
  if (control_->Value() == kChecked) {
    value_ = valueChecked_;
  } else if (control_->Value() == kUnchecked) {
    value_ = valueUnchecked_;
  }
  SetCheckBox();
  SetChanged(true);
}

void cParamCheckBox::ConsiderPartOfCpOnly(int16_t bytePos, int16_t byteLength) {
  CheckAndStorePart(bytePos, byteLength, true, kInvalidParametersGerman);
}

void cParamCheckBox::WriteToLns() {
  LogEntry("WriteToLns");
  if (CpIsExternal() || !Available()) return;
  WritePart(value_, signedValue_);
  SetChanged(false);
}

void cParamCheckBox::ReadFromLns() {
  LogEntry("ReadFromLns");
  if (CpIsExternal() || !Available()) return;
  value_ = ReadPart(signedValue_);
  SetCheckBox();
  SetChanged(false);
}

void cParamCheckBox::WriteToExtCp() {
  LogEntry("WriteToExtCp");
  if (!CpIsExternal()) return;
  WriteExtPart(value_, signedValue_);
  SetChanged(false);
}

void cParamCheckBox::ReadFromExtCp() {
  LogEntry("ReadFromExtCp");
  if (!CpIsExternal()) return;
  value_ = ReadExtPart(signedValue_);
  SetCheckBox();
  SetChanged(false);
}

}  // namespace params
