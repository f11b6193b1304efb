#pragma once
// cParamOptBtn: a whole CP shown as a group of option buttons, each standing for one complete
// CP value in the "RAW" value format (bytes as decimal numbers separated by TAB).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "portab/params/control_parameter.h"
#include "portab/ui/window/value_controls.h"

namespace params {

class cParamOptBtn final : public cControlParameter {
 public:
  int16_t ClassId() const override;  // PA_CLASSID_OPTIONBUTTON_PARAMETER

  // Appends a button standing for `itemData`; the button's tag becomes the parameter's name.
  void AddOptionButton(const std::shared_ptr<ui::window::OptionButton>& button, const std::string& itemData);
  // The button at `index` (from 1; error 9 outside) and the number of buttons.
  const std::shared_ptr<ui::window::OptionButton>& OptionButton(int32_t index) const;
  int32_t OptionButtonsCount() const { return static_cast<int32_t>(buttons_.size()); }
  // The CP value a button stands for (from 1; error 9 outside).
  const std::string& ItemData(int32_t index) const;

  const std::string& Value() const { return value_; }  // the CP value in "RAW" form
  // Stores the text without the blanks around it, selects its button, marks it changed.
  void SetValue(const std::string& value);
  // Every button is enabled only when unlocked; the no-value modes clear them all (see
  // eLockMode).
  void SetLockMode(int32_t mode) override;
  // The user clicked the button at `index` (from 1): Value becomes its item data, the
  // parameter changed (error 9 outside).
  void OptionButton_Click_Event(int32_t index);

  bool WritingToLnsIsRequired() const override { return true; }  // the value is always written
  // The whole CP value, switched to "RAW" for the transfer; failures are logged and ignored.
  void WriteToLns() override;
  void ReadFromLns() override;
  // The group is never bound to a CP buffer: these only clear Changed.
  void WriteToExtCp() override;
  void ReadFromExtCp() override;

 protected:
  const char* Module() const override { return "cParamOptBtn"; }

 private:
  // Selects the first button whose item data equal Value (nothing in no-value modes).
  void SelectButtonForValue();

  std::vector<std::shared_ptr<ui::window::OptionButton>> buttons_;
  std::vector<std::string> itemData_;
  std::string value_;
};

}  // namespace params
