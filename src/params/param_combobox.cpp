#include "params/param_combobox.h"

#include "params/params.h"

namespace params {
namespace {

using namespace cParamEnums;
namespace colours = ui::window::colours;

}  // namespace

int16_t cParamComboBox::ClassId() const { return PA_CLASSID_COMBOBOX_PARAMTER; }

void cParamComboBox::SetComboBoxControl(std::shared_ptr<ui::window::ComboBox> control) {
  control_ = std::move(control);
  if (!control_) return;
  control_->Clear();
  if (Parent() != nullptr) Parent()->Connect(control_);
}

void cParamComboBox::AddComboBoxItem(const std::string& item, int32_t itemData) {
  if (itemData < 0) signedValue_ = true;
  if (!control_) return;
  control_->AddItem(item);
  control_->SetItemData(control_->ListCount() - 1, itemData);
}

void cParamComboBox::RemoveComboBoxItem(int16_t itemIndex) {
  if (control_) control_->RemoveItem(itemIndex);
}

void cParamComboBox::RemoveComboBoxItemByItemData(int32_t itemData) {
  if (!control_) return;
  for (int32_t i = 0; i < control_->ListCount(); ++i) {
    if (control_->ItemData(i) == itemData) {
      control_->RemoveItem(i);
      return;
    }
  }
}

void cParamComboBox::ClearComboBox() {
  if (control_) control_->Clear();
}

void cParamComboBox::UpdateComboBox() { SetValue(value_); }

bool cParamComboBox::ValueIsInComboList(int32_t value) const {
  if (!control_) return false;
  for (int32_t i = 0; i < control_->ListCount(); ++i) {
    if (control_->ItemData(i) == value) return true;
  }
  return false;
}

void cParamComboBox::ShowInvalidItem() {
  if (!control_) return;
  control_->AddItem(invalidItemString_, 0);
  control_->SetItemData(0, 0);
  control_->SetForeColor(colours::kRed);
  control_->SetListIndex(0);  // its event takes the entry's item datum 0 into Value
}

void cParamComboBox::SetValueByComboListItemIndex(int16_t itemIndex) {
  if (control_) control_->SetListIndex(itemIndex);
}

void cParamComboBox::SetValue(int32_t value) {
  value_ = value;
  SetComboBox();
  SetChanged(true);
}

void cParamComboBox::SetComboBox() {
  if (!controlUpdatesEnabled_ || ShowsNoValue() || !control_) return;
  int32_t position = -1;
  for (int32_t i = 0; i < control_->ListCount() && position < 0; ++i) {
    if (control_->ItemData(i) == value_) position = i;
  }
  control_->SetListIndex(position);
}

void cParamComboBox::SetControlUpdatesEnabled(bool enabled) {
  controlUpdatesEnabled_ = enabled;
  if (enabled) SetValue(value_);
}

void cParamComboBox::SelectQuietly(int32_t position) {
  if (!control_) return;
  updatingControl_ = true;
  control_->SetListIndex(position);
  updatingControl_ = false;
}

void cParamComboBox::SetLockMode(int32_t mode) {
  StoreLockMode(mode);
  const bool shown = mode == LM_UNLOCKED || mode == LM_DISABLED || mode == LM_DISABLED_GREY;
  const bool noValue = mode == LM_DISABLED_NO_VALUE || mode == LM_DISABLED_GREY_NO_VALUE;
  if (!shown && !noValue) return;  // LM_LOCKED and 6 and above change nothing
  if (control_) {
    control_->SetEnabled(mode == LM_UNLOCKED);
    const bool grey = mode == LM_DISABLED_GREY || mode == LM_DISABLED_GREY_NO_VALUE;
    control_->SetBackColor(grey ? colours::kButtonFace : colours::kWindowBackground);
  }
  if (noValue) {
    SelectQuietly(-1);
  } else {
    SetComboBox();
  }
}

void cParamComboBox::ComboBox_Change_Event() {
  if (updatingControl_ || !control_) return;
  const int32_t position = control_->ListIndex();
  if (position < 0) return;  // nothing chosen: Value and Changed stay
  value_ = control_->ItemData(position);
  SetChanged(true);
}

void cParamComboBox::ConsiderPartOfCpOnly(int16_t bytePos, int16_t byteLength) {
  CheckAndStorePart(bytePos, byteLength, true, kInvalidParameters);
}

bool cParamComboBox::WritingToLnsIsRequired() const {
  return !writeIfRequiredOnly_ || value_ != lastLnsValue_;
}

void cParamComboBox::WriteToLns() {
  LogEntry("WriteToLns");
  if (CpIsExternal() || !Available()) return;
  // A refused write logs a red line; the value counts as transferred all the same.
  if (WritingToLnsIsRequired()) WritePart(value_, signedValue_);
  lastLnsValue_ = value_;
  SetChanged(false);
}

void cParamComboBox::ReadFromLns() {
  LogEntry("ReadFromLns");
  if (CpIsExternal() || !Available()) return;
  value_ = ReadPart(signedValue_);
  lastLnsValue_ = value_;
  SetComboBox();
  SetChanged(false);
}

void cParamComboBox::WriteToExtCp() {
  LogEntry("WriteToExtCp");
  if (!CpIsExternal()) return;
  WriteExtPart(value_, signedValue_);
  SetChanged(false);
}

void cParamComboBox::ReadFromExtCp() {
  LogEntry("ReadFromExtCp");
  if (!CpIsExternal()) return;
  value_ = ReadExtPart(signedValue_);
  SetComboBox();
  SetChanged(false);
}

}  // namespace params
