#pragma once
// cParamTextBox: a numeric part of a CP shown as a scaled decimal number with unit, range and
// resolution in a text box. The device stores an integer (the CP number); the user sees
// Value / Factor, where Value = CP number + OffsetCalc * Factor. Typing, checking against the
// text-box range and snapping to the resolution are in param_textbox_input.cpp.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "portab/params/control_parameter.h"
#include "portab/ui/window/value_controls.h"

namespace params {

class cParamTextBox final : public cControlParameter {
 public:
  // A CalculatedValue of SetValidTextBoxValue that is never applied.
  static constexpr float kNoCalculatedValue = 4294967296.0F;

  int16_t ClassId() const override;  // PA_CLASSID_TEXTBOX_PARAMETER

  // ---- value and scaling ----
  int32_t Value() const { return value_; }
  // Stores the number, refreshes the control, marks the parameter changed (error 11 when the
  // control shows values and Factor is 0).
  void SetValue(int32_t value);
  // Value / Factor in single precision (error 11 for a Factor of 0).
  float ValueCalc() const;
  // Value = round(v * Factor), ties to even (error 6 beyond 32 bits).
  void SetValueCalc(float value);
  // Steps per shown unit, and the shown value of the CP number 0 (read/write; no refresh).
  int32_t Factor() const { return factor_; }
  void SetFactor(int32_t factor) { factor_ = factor; }
  float OffsetCalc() const { return offsetCalc_; }
  void SetOffsetCalc(float offset) { offsetCalc_ = offset; }
  // The CP number of the current value: round(Value - OffsetCalc * Factor) (error 6 beyond
  // 32 bits).
  int32_t CpNumber() const;
  // Two's complement exactly when RangeMin - OffsetCalc (single precision) is below 0.
  bool IsSigned() const;

  // ---- resolution and unit ----
  // The resolution, an eResolution value (read/write; no refresh).
  int32_t Resolution() const { return resolution_; }
  void SetResolution(int32_t resolution) { resolution_ = resolution; }
  // The step of the resolution (0 for a resolution outside the table).
  float MinStep() const;
  float Resolution2() const { return MinStep(); }  // the same as MinStep
  // Selects the resolution whose step equals `step` exactly; other numbers change nothing.
  void SetResolution2(float step);
  int32_t Unit() const { return unit_; }  // an eUnit value
  // Stores the unit and its mnemonic (a user-defined unit keeps the mnemonic it has).
  void SetUnit(int32_t unit);
  const std::string& UnitMnemonic() const { return unitMnemonic_; }  // shown after the number in messages
  int32_t SnvtType() const { return snvtType_; }  // an eSnvtType value
  // Stores the type and applies its factor, resolution, range and unit where it has them.
  void SetSnvtType(int32_t type);
  // Applies the scaling the object server reports for an NV type (nothing when it reports
  // none or the set has no NV type information).
  void SetParamSettingsByNvType(int32_t nvTypeIndex);

  // ---- ranges ----
  // The valid range of the shown value (checked by ValueIsInvalid), and the range the control
  // accepts and marks red outside of (checked when the user leaves it). Setting the valid range
  // sets the text-box range too.
  float RangeMin() const { return rangeMin_; }
  void SetRangeMin(float value);  // also TextBoxRangeMin
  float RangeMax() const { return rangeMax_; }
  void SetRangeMax(float value);  // also TextBoxRangeMax
  float TextBoxRangeMin() const { return textBoxRangeMin_; }
  void SetTextBoxRangeMin(float value);  // refreshes the control
  float TextBoxRangeMax() const { return textBoxRangeMax_; }
  void SetTextBoxRangeMax(float value);  // refreshes the control

  // ---- texts and flags ----
  // Set while the value is not to be written: the writes to LNS and the CP buffer skip it
  // (read/write).
  bool ValueNotSet() const { return valueNotSet_; }
  void SetValueNotSet(bool value) { valueNotSet_ = value; }
  // The parameter's title in the range messages (read/write).
  const std::string& TextBoxTitle() const { return textBoxTitle_; }
  void SetTextBoxTitle(std::string title) { textBoxTitle_ = std::move(title); }
  // The text shown in mode LM_DISABLED_GREY_TEXT (read/write).
  const std::string& TextWhenLocked() const { return textWhenLocked_; }
  void SetTextWhenLocked(std::string text) { textWhenLocked_ = std::move(text); }
  // How many bytes of the part hold the number (0: all; see cp_part.h) (read/write).
  uint8_t UsedBytes() const { return usedBytes_; }
  void SetUsedBytes(uint8_t usedBytes) { usedBytes_ = usedBytes; }
  // Whether only a CP number that differs from the last one transferred is written
  // (read/write).
  bool WriteToLnsIfRequiredOnly() const { return writeIfRequiredOnly_; }
  void SetWriteToLnsIfRequiredOnly(bool value) { writeIfRequiredOnly_ = value; }
  // The keys typing accepts, derived when a lock mode that shows a value is set.
  int32_t KeysMode() const { return keysMode_; }

  // ---- control ----
  const std::shared_ptr<ui::window::TextBox>& TextBoxControl() const { return control_; }  // none: no control
  // Stores the control; the set's events then reach this parameter.
  void SetTextBoxControl(std::shared_ptr<ui::window::TextBox> control);
  // See eLockMode for what each mode does; the modes that show a value also set the control's
  // maximum length and KeysMode from the range and resolution, so set it after those (and
  // after SetSnvtType). Other numbers are stored only.
  void SetLockMode(int32_t mode) override;
  // Shows Value in the control (nothing in the locked and no-value modes) and marks it red
  // outside the text-box range; error 11 when Factor is 0.
  void SetTextBox();

  // ---- input (param_textbox_input.cpp) ----
  // The control's events: a change takes the typed number (a comma read as the point) times
  // Factor into Value and marks the text red outside the text-box range; a key press drops
  // the keys KeysMode does not accept; validate (and leaving without one) clamps the text to
  // the text-box range with a message and snaps it to the resolution; `cancel` is set when
  // the text was outside. Error 6 when the typed number times Factor leaves 32 bits.
  void TextBox_Change_Event();
  void TextBox_KeyPress_Event(int16_t& keyAscii);
  void TextBox_LostFocus_Event();
  void TextBox_Validate_Event(bool& cancel);
  // Validates without a message; an out-of-range text then takes `calculatedValue` (when
  // given) as ValueCalc; `forceCpValueSetting` runs the change handler at the end.
  void SetValidTextBoxValue(std::optional<float> calculatedValue = std::nullopt, bool forceCpValueSetting = false);

  // ---- the contract ----
  // Binds the parameter to `byteLength` bytes at `bytePos` ("ungültige Parameter" outside).
  void ConsiderPartOfCpOnly(int16_t bytePos, int16_t byteLength);
  // The transfers of IParameter, of CpNumber; a read also shows the value. Nothing is written
  // while ValueNotSet. A value the part refuses logs a red line and still counts as
  // transferred.
  bool WritingToLnsIsRequired() const override;
  void WriteToLns() override;
  void ReadFromLns() override;
  void WriteToExtCp() override;
  void ReadFromExtCp() override;
  // Outside RangeMin .. RangeMax, or marked red while a value is shown.
  bool ValueIsInvalid() const override;

 protected:
  const char* Module() const override { return "cParamTextBox"; }

 private:
  // Value / Factor as shown (single precision); error 11 for a Factor of 0.
  float Shown() const;
  int32_t ValueFromCpNumber(int32_t cpNumber) const;
  // Maximum text length and key filter from the range and resolution.
  void SetControlLimits();
  // The control's unit (the unit mnemonic) and its hint: the range "0.0 s … 600.0 s".
  void ShowUnitAndRange();
  // The control's text after steps 2 to 4 of the refresh, for a shown value.
  std::string DisplayText(float shown) const;
  // Range check and snapping of the control's text; sets `cancel` when it was outside.
  void Validation(bool withMessages, bool& cancel);
  void ShowRangeMessage(int16_t messageId, double typed, float limit) const;
  // Sets the control's text with UpdatingControl set, so its events do nothing.
  void SetTextQuietly(std::string text);

  std::shared_ptr<ui::window::TextBox> control_;
  int32_t value_ = 0;
  int32_t factor_ = 0;
  float offsetCalc_ = 0;
  float rangeMin_ = 0, rangeMax_ = 0;
  float textBoxRangeMin_ = 0, textBoxRangeMax_ = 0;
  int32_t resolution_ = cParamEnums::RES_50;
  int32_t unit_ = cParamEnums::UNIT_No;
  std::string unitMnemonic_;
  int32_t snvtType_ = 0;
  bool valueNotSet_ = false;
  std::string textBoxTitle_;
  std::string textWhenLocked_;
  int32_t keysMode_ = cParamEnums::KA_Numbers;
  bool updatingControl_ = false;
  bool validated_ = false;
  uint8_t usedBytes_ = 0;
  bool writeIfRequiredOnly_ = false;
  int32_t lastLnsValue_ = 0;
};

}  // namespace params
