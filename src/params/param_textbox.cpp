#include "params/param_textbox.h"

#include <array>

#include "base/error.h"
#include "base/number_text.h"
#include "base/text.h"
#include "params/params.h"
#include "ui/window/control_utility.h"

namespace params {
namespace {

using namespace cParamEnums;
namespace colours = ui::window::colours;

struct ResolutionInfo {
  float step;
  int decimals;  // of the display pattern: "0", "0.0", "0.00", "0.000"
};

constexpr std::array<ResolutionInfo, 11> kResolutions{{
    {50.0F, 0}, {1.0F, 0}, {0.5F, 1}, {0.2F, 1}, {0.1F, 1}, {0.05F, 2},
    {0.02F, 2}, {0.01F, 2}, {0.005F, 3}, {0.002F, 3}, {0.001F, 3},
}};

const ResolutionInfo* FindResolution(int32_t resolution) {
  if (resolution < 0 || resolution >= static_cast<int32_t>(kResolutions.size())) return nullptr;
  return &kResolutions[static_cast<size_t>(resolution)];
}

struct UnitMnemonicRow {
  int32_t unit;
  const char* mnemonic;
};
constexpr UnitMnemonicRow kUnitMnemonics[] = {
    {UNIT_Centimetres, "cm"},    {UNIT_Degrees, "\xC2\xB0"}, {UNIT_DegreesCelsius, "\xC2\xB0" "C"},
    {UNIT_Kelvin, "K"},          {UNIT_Lux, "Lux"},          {UNIT_Metres, "m"},
    {UNIT_MetresPerSecond, "m/s"}, {UNIT_Millimetres, "mm"}, {UNIT_Millisecond, "ms"},
    {UNIT_Minute, "min"},        {UNIT_Percent, "%"},        {UNIT_Second, "s"},
};

struct SnvtPreset {
  int32_t type;
  int32_t factor;
  int32_t resolution;
  float rangeMin, rangeMax;
  int32_t unit;
};
constexpr SnvtPreset kSnvtPresets[] = {
    {ST_unsigned, 1, RES_1, 0.0F, 65535.0F, UNIT_No},
    {SNVT_angle_deg, 50, RES_0_0_2, -359.9F, 360.0F, UNIT_Degrees},
    {SNVT_lev_cont, 2, RES_0_5, 0.0F, 100.0F, UNIT_Percent},
    {SNVT_lev_percent, 200, RES_0_0_5, -163.84F, 163.83F, UNIT_Percent},
    {SNVT_lux, 1, RES_1, 0.0F, 65535.0F, UNIT_Lux},
    {SNVT_speed, 10, RES_0_1, 0.0F, 6553.5F, UNIT_MetresPerSecond},
    {SNVT_speed_mil, 1000, RES_0_0_0_1, 0.0F, 65.535F, UNIT_MetresPerSecond},
    {SNVT_switch_Value, 2, RES_0_5, 0.0F, 100.0F, UNIT_Percent},
    {SNVT_temp_p, 100, RES_0_0_1, -273.17F, 327.67F, UNIT_DegreesCelsius},
    {SNVT_time_min, 1, RES_1, 0.0F, 65535.0F, UNIT_Minute},
    {SNVT_time_sec, 10, RES_0_1, 0.0F, 6553.5F, UNIT_Second},
};

}  // namespace

int16_t cParamTextBox::ClassId() const { return PA_CLASSID_TEXTBOX_PARAMETER; }

// ---- value and scaling ----

float cParamTextBox::Shown() const {
  if (factor_ == 0) throw base::Error(base::err::kDivisionByZero, Module());
  return static_cast<float>(static_cast<double>(value_) / factor_);
}

void cParamTextBox::SetValue(int32_t value) {
  value_ = value;
  SetTextBox();
  SetChanged(true);
}

float cParamTextBox::ValueCalc() const { return Shown(); }

void cParamTextBox::SetValueCalc(float value) { SetValue(base::CLng(static_cast<double>(value) * factor_)); }

int32_t cParamTextBox::CpNumber() const {
  return base::CLng(static_cast<double>(value_) - static_cast<double>(offsetCalc_) * factor_);
}

int32_t cParamTextBox::ValueFromCpNumber(int32_t cpNumber) const {
  return base::CLng(static_cast<double>(offsetCalc_) * factor_ + cpNumber);
}

bool cParamTextBox::IsSigned() const { return rangeMin_ - offsetCalc_ < 0.0F; }

// ---- resolution, unit, standard types ----

float cParamTextBox::MinStep() const {
  const auto* info = FindResolution(resolution_);
  return info == nullptr ? 0.0F : info->step;
}

void cParamTextBox::SetResolution2(float step) {
  for (size_t i = 0; i < kResolutions.size(); ++i) {
    if (kResolutions[i].step == step) resolution_ = static_cast<int32_t>(i);
  }
}

void cParamTextBox::SetUnit(int32_t unit) {
  unit_ = unit;
  if (unit == UNIT_UserDefined) return;
  unitMnemonic_.clear();
  for (const auto& row : kUnitMnemonics) {
    if (row.unit == unit) unitMnemonic_ = row.mnemonic;
  }
}

void cParamTextBox::SetSnvtType(int32_t type) {
  snvtType_ = type;
  for (const auto& preset : kSnvtPresets) {
    if (preset.type != type) continue;
    SetFactor(preset.factor);
    SetResolution(preset.resolution);
    SetRangeMin(preset.rangeMin);
    SetRangeMax(preset.rangeMax);
    SetUnit(preset.unit);
  }
}

void cParamTextBox::SetParamSettingsByNvType(int32_t nvTypeIndex) {
  LogEntry("SetParamSettingsByNvType");
  const lns::NvTypeInformation* information = Parent() != nullptr ? Parent()->NvTypeInfo() : nullptr;
  if (information == nullptr) return;
  const int16_t selector = nvTypeIndex == 95 ? 1 : (nvTypeIndex == 117 ? 2 : 0);
  const std::optional<lns::NvTypeScaling> scaling = information->Scaling(nvTypeIndex, selector);
  if (!scaling) return;
  SetFactor(scaling->factor);
  SetResolution2(scaling->resolution);
  SetOffsetCalc(scaling->offset);
  SetRangeMin(scaling->rangeMin);
  SetRangeMax(scaling->rangeMax);
  unitMnemonic_ = scaling->unitText;
  unit_ = UNIT_UserDefined;
}

// ---- ranges ----

void cParamTextBox::SetRangeMin(float value) {
  rangeMin_ = value;
  textBoxRangeMin_ = value;
}

void cParamTextBox::SetRangeMax(float value) {
  rangeMax_ = value;
  textBoxRangeMax_ = value;
}

void cParamTextBox::SetTextBoxRangeMin(float value) {
  textBoxRangeMin_ = value;
  SetTextBox();
}

void cParamTextBox::SetTextBoxRangeMax(float value) {
  textBoxRangeMax_ = value;
  SetTextBox();
}

// ---- the control ----

void cParamTextBox::SetTextBoxControl(std::shared_ptr<ui::window::TextBox> control) {
  control_ = std::move(control);
  if (control_ && Parent() != nullptr) Parent()->Connect(control_);
}

void cParamTextBox::SetTextQuietly(std::string text) {
  if (!control_) return;
  updatingControl_ = true;
  control_->SetText(std::move(text));
  updatingControl_ = false;
}

std::string cParamTextBox::DisplayText(float shown) const {
  std::string text = control_->Text();
  const auto* info = FindResolution(resolution_);
  if (info != nullptr) text = base::ForUser(base::FormatFixed(shown, info->decimals));
  // A value just beyond a limit must not show as the limit itself.
  auto inText = [&text] { return static_cast<float>(base::Val(base::NormalizeNumberText(text))); };
  if (shown > textBoxRangeMax_ && inText() == textBoxRangeMax_) {
    text = base::ForUser(base::FormatSingle(inText() + MinStep()));
  }
  if (shown < textBoxRangeMin_ && inText() == textBoxRangeMin_) {
    text = base::ForUser(base::FormatSingle(inText() - MinStep()));
  }
  return text;
}

void cParamTextBox::SetTextBox() {
  const int32_t mode = LockMode();
  if (mode == LM_LOCKED || ShowsNoValue() || !control_) return;
  const float shown = Shown();
  // The text is set once, after the display rules: its change event then takes the value
  // that the text shows.
  control_->SetText(DisplayText(shown));
  ui::window::MarkRange(*control_, shown, textBoxRangeMax_, textBoxRangeMin_);
  ShowUnitAndRange();
}

void cParamTextBox::ShowUnitAndRange() {
  const auto* info = FindResolution(resolution_);
  auto format = [&](float number) {
    return base::ForUser(info != nullptr ? base::FormatFixed(number, info->decimals) : base::FormatSingle(number));
  };
  const std::string unit = unitMnemonic_.empty() ? "" : " " + unitMnemonic_;
  control_->SetUnit(unitMnemonic_);
  control_->SetToolTipText(format(textBoxRangeMin_) + unit + " \u2026 " + format(textBoxRangeMax_) + unit);
}

void cParamTextBox::SetControlLimits() {
  const auto* info = FindResolution(resolution_);
  auto format = [&](float number) {
    return info != nullptr ? base::FormatFixed(number, info->decimals) : base::FormatSingle(number);
  };
  if (control_) {
    const size_t longest = std::max(format(rangeMin_).size(), format(rangeMax_).size());
    control_->SetMaxLength(static_cast<int32_t>(longest));
  }
  const bool nonNegative = rangeMin_ >= 0.0F && rangeMax_ >= 0.0F;
  const bool whole = resolution_ == RES_50 || resolution_ == RES_1;
  if (whole) {
    keysMode_ = nonNegative ? KA_Numbers : KA_NumbersNeg;
  } else {
    keysMode_ = nonNegative ? KA_NumbersFloat : KA_NumbersFloatNeg;
  }
}

void cParamTextBox::SetLockMode(int32_t mode) {
  StoreLockMode(mode);
  if (mode < LM_UNLOCKED || mode > LM_DISABLED_GREY_TEXT) return;
  const bool enabled = mode == LM_UNLOCKED || mode == LM_LOCKED;
  const bool grey = mode >= LM_DISABLED_GREY;
  if (control_) {
    control_->SetEnabled(enabled);
    control_->SetBackColor(grey ? colours::kButtonFace : colours::kWindowBackground);
  }
  switch (mode) {
    case LM_DISABLED_NO_VALUE:
    case LM_DISABLED_GREY_NO_VALUE:
      SetTextQuietly("");
      break;
    case LM_DISABLED_GREY_TEXT:
      if (control_) control_->SetMaxLength(0);
      SetTextQuietly(textWhenLocked_);
      break;
    default:
      SetControlLimits();
      SetTextBox();
      break;
  }
}

// ---- the contract ----

void cParamTextBox::ConsiderPartOfCpOnly(int16_t bytePos, int16_t byteLength) {
  CheckAndStorePart(bytePos, byteLength, true, kInvalidParametersGerman);
}

bool cParamTextBox::WritingToLnsIsRequired() const {
  return !writeIfRequiredOnly_ || static_cast<double>(CpNumber()) != static_cast<double>(lastLnsValue_);
}

void cParamTextBox::WriteToLns() {
  LogEntry("WriteToLns");
  if (CpIsExternal() || !Available() || valueNotSet_) return;
  const int32_t raw = CpNumber();
  // A refused write logs a red line; the value counts as transferred all the same.
  if (WritingToLnsIsRequired()) WritePart(raw, IsSigned(), usedBytes_);
  lastLnsValue_ = raw;
  SetChanged(false);
}

void cParamTextBox::ReadFromLns() {
  LogEntry("ReadFromLns");
  if (CpIsExternal() || !Available()) return;
  const int32_t raw = ReadPart(IsSigned(), usedBytes_);
  value_ = ValueFromCpNumber(raw);
  lastLnsValue_ = raw;
  SetTextBox();
  SetChanged(false);
}

void cParamTextBox::WriteToExtCp() {
  LogEntry("WriteToExtCp");
  if (!CpIsExternal() || !Available() || valueNotSet_) return;
  WriteExtPart(CpNumber(), IsSigned(), usedBytes_);
  SetChanged(false);
}

void cParamTextBox::ReadFromExtCp() {
  LogEntry("ReadFromExtCp");
  if (!CpIsExternal()) return;
  value_ = ValueFromCpNumber(ReadExtPart(IsSigned(), usedBytes_));
  SetTextBox();
  SetChanged(false);
}

bool cParamTextBox::ValueIsInvalid() const {
  if (DontWriteToLns()) return false;
  const float shown = Shown();
  if (shown < rangeMin_ || shown > rangeMax_) return true;
  return control_ && control_->ForeColor() == colours::kRed && !ShowsNoValue();
}

}  // namespace params
