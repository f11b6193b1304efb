// The text box parameter: scaling, the standard-type presets, the display rules and the lock modes.

#include <gtest/gtest.h>

#include "params/params.h"
#include "platform/lns_embedded/nv_types.h"
#include "support/fake_cp.h"
#include "support/matchers.h"
#include "support/recording_log.h"

using namespace params::cParamEnums;
using testing_support::FakeCp;
using testing_support::ThrowsError;
using testing_support::ThrowsErrorFrom;
using ui::window::TextBox;
using Bytes = std::vector<uint8_t>;
namespace colours = ui::window::colours;

namespace {

struct Bound {
  params::cParams set;
  std::shared_ptr<FakeCp> cp;
  std::shared_ptr<TextBox> control = std::make_shared<TextBox>("txtParam");
  std::shared_ptr<params::cParamTextBox> p;

  explicit Bound(Bytes bytes, int32_t snvtType = ST_unsigned) : cp(std::make_shared<FakeCp>(std::move(bytes))) {
    cp->name = "Cp";
    p = set.AddTextBoxParameter("T", control, cp, "Cp");
    p->SetSnvtType(snvtType);
    p->ConsiderPartOfCpOnly(1, static_cast<int16_t>(cp->Bytes().size()));
  }
};

TEST(TextBoxParameterTest, ScalingBetweenCpNumberAndShownValue) {
  struct Row { Bytes bytes; int32_t snvtType; float offset; int32_t factor /* 0: the preset's */; int32_t value; std::string text; };
  const Row rows[] = {
      {{0x08, 0x34}, SNVT_temp_p, 0, 0, 2100, "21.00"}, {{0x95, 0x4B}, SNVT_temp_p, 0, 0, -27317, "-273.17"},  // signed
      {{0x00, 0x05}, ST_unsigned, 10, 10, 105, "10.5"},        // offset in shown units
      {{0xFF, 0xFF}, ST_unsigned, 0, 0, 65535, "65535"},       // RangeMin 0: unsigned
      {{0xFF, 0xFF}, ST_unsigned, 10, 10, 99, "9.9"},          // RangeMin - OffsetCalc < 0: signed, -1
      {{0x01, 0x2C}, SNVT_time_sec, 0, 0, 300, "30.0"}, {{0x00, 0x65}, SNVT_lev_cont, 0, 0, 101, "50.5"},
  };
  for (const auto& row : rows) {
    Bound b(row.bytes, row.snvtType);
    if (row.factor != 0) b.p->SetFactor(row.factor);
    if (row.factor == 10) b.p->SetResolution(RES_0_1);
    b.p->SetOffsetCalc(row.offset);
    b.p->SetValue(12345);  // overwritten by the read
    b.p->ReadFromLns();
    EXPECT_EQ(std::tuple(b.p->Value(), b.control->Text(), b.p->Changed()), std::tuple(row.value, row.text, false));
    // Writing back stores the bytes that were read.
    b.cp->SetBytes({0, 0});
    b.p->WriteToLns();
    EXPECT_EQ(b.cp->Bytes(), row.bytes) << row.text;
  }
}

// The presets of the standard types, the unit mnemonics and the resolution by its step.
TEST(TextBoxParameterTest, PresetsUnitsAndResolutionSteps) {
  struct Preset { int32_t type, factor, resolution; float min, max; const char* mnemonic; };
  const Preset presets[] = {
      {SNVT_angle_deg, 50, RES_0_0_2, -359.9F, 360, "\xC2\xB0"},   {SNVT_lev_percent, 200, RES_0_0_5, -163.84F, 163.83F, "%"},
      {SNVT_speed_mil, 1000, RES_0_0_0_1, 0, 65.535F, "m/s"},    {SNVT_time_min, 1, RES_1, 0, 65535, "min"},
      {SNVT_lux, 1, RES_1, 0, 65535, "Lux"},
  };
  for (const auto& row : presets) {
    params::cParamTextBox p;
    p.SetOffsetCalc(3);
    p.SetSnvtType(row.type);  // the offset is not a preset
    EXPECT_EQ(std::tuple(p.Factor(), p.Resolution(), p.TextBoxRangeMin(), p.RangeMax(), p.UnitMnemonic(), p.OffsetCalc()),
              std::tuple(row.factor, row.resolution, row.min, row.max, row.mnemonic, 3.0F))
        << row.type;
  }
  params::cParamTextBox p;
  p.SetUnit(UNIT_Second);
  p.SetUnit(UNIT_UserDefined);
  EXPECT_EQ(p.UnitMnemonic(), "s");  // unchanged
  p.SetUnit(UNIT_Ampere);
  EXPECT_EQ(p.UnitMnemonic(), "");
  p.SetResolution2(0.02F);
  EXPECT_EQ(p.Resolution(), RES_0_0_2);
  p.SetResolution2(0.3F);  // no such step
  EXPECT_EQ(p.Resolution(), RES_0_0_2);
  EXPECT_FLOAT_EQ(p.Resolution2(), 0.02F);
}

TEST(TextBoxParameterTest, ValueCalcRoundsTiesToEvenAndNeedsAFactor) {
  Bound b({0, 0});
  b.p->SetFactor(2);
  for (const auto& [calc, value] : {std::pair(1.25F, 2), std::pair(1.75F, 4)}) {  // 2.5 -> 2, 3.5 -> 4
    b.p->SetValueCalc(calc);
    EXPECT_EQ(b.p->Value(), value);
  }
  EXPECT_FLOAT_EQ(b.p->ValueCalc(), 2.0F);
  EXPECT_THAT([&] { b.p->SetValueCalc(3e9F); }, ThrowsError(6));
  b.p->SetFactor(0);
  EXPECT_THAT([&] { b.p->ValueCalc(); }, ThrowsError(11));
  EXPECT_THAT([&] { b.p->SetValue(1); }, ThrowsError(11));  // refreshing the control divides
}

TEST(TextBoxParameterTest, DisplayPatternsAndTheRuleJustBeyondALimit) {
  // valueAfter: the change event takes the value that the text shows.
  struct Row { int32_t resolution, factor; float min, max; int32_t value; std::string text; int32_t valueAfter; };
  const Row rows[] = {
      {RES_50, 1, 0, 1000, 125, "125", 125}, {RES_0_5, 2, 0, 100, 67, "33.5", 67},
      {RES_0_0_5, 200, -163.84F, 163.83F, -3, "-0.01", -2},  // -0.015 in single precision is above the tie
      {RES_0_0_0_1, 1000, 0, 65.535F, 65535, "65.535", 65535},
      {RES_0_1, 100, 0, 100, 10004, "100.1", 10010},  // 100.04 would show the limit 100.0
      {RES_0_1, 100, 0, 100, -4, "-0.1", -10},        // -0.04 would show the limit 0.0
      {RES_0_1, 100, 0, 100, 10005, "100.1", 10010},  // shown in single precision: 100.05 -> 100.1
      {RES_0_0_1, 1000, 0, 327.67F, 327674, "327.68002", 327680},  // 327.67 + 0.01 in single precision
      {RES_0_0_1, 100, 0, 327.67F, 32768, "327.68", 32768},        // the pattern already differs
      {12, 1, 0, 10, 5, "", 5},                                     // no pattern: the text stays
  };
  for (const auto& row : rows) {
    Bound b({0, 0});
    b.p->SetFactor(row.factor);
    b.p->SetResolution(row.resolution);
    b.p->SetRangeMin(row.min);
    b.p->SetRangeMax(row.max);
    b.p->SetValue(row.value);
    const float shown = static_cast<float>(row.value) / static_cast<float>(row.factor);
    EXPECT_EQ(std::tuple(b.control->Text(), b.p->Value(), b.control->ForeColor()),
              std::tuple(row.text, row.valueAfter, shown > row.max || shown < row.min ? colours::kRed : colours::kWindowText))
        << row.value;
  }
}

TEST(TextBoxParameterTest, LockModes) {
  struct Row { int32_t mode; bool enabled; uint32_t backColour; std::string text; int32_t maxLength; };
  constexpr uint32_t kWhite = colours::kWindowBackground, kGrey = colours::kButtonFace;
  const Row rows[] = {
      {LM_UNLOCKED, true, kWhite, "21.50", 7}, {LM_LOCKED, true, kWhite, "21.50", 7},
      {LM_DISABLED, false, kWhite, "21.50", 7}, {LM_DISABLED_NO_VALUE, false, kWhite, "", 99},
      {LM_DISABLED_GREY, false, kGrey, "21.50", 7}, {LM_DISABLED_GREY_NO_VALUE, false, kGrey, "", 99},
      {LM_DISABLED_GREY_TEXT, false, kGrey, "n/a", 0}, {7, false, 12345, "21.50", 99},  // 7: only stored
  };
  for (const auto& row : rows) {
    Bound b({0x08, 0x66}, SNVT_temp_p);
    b.p->ReadFromLns();
    b.p->SetTextWhenLocked("n/a");
    b.control->SetBackColor(12345);
    b.control->SetMaxLength(99);
    b.control->SetEnabled(false);
    b.p->SetLockMode(row.mode);  // emptying the control keeps the value
    EXPECT_EQ(std::tuple(b.p->LockMode(), b.control->Enabled(), b.control->BackColor(), b.control->Text(),
                         b.control->MaxLength(), b.p->Value(), b.p->Changed()),
              std::tuple(row.mode, row.enabled, row.backColour, row.text, row.maxLength, 2150, false));
  }
  // Locked, the control no longer follows the value; grey with text, it shows it again.
  Bound b({0x08, 0x66}, SNVT_temp_p);
  b.p->ReadFromLns();
  b.p->SetLockMode(LM_LOCKED);
  b.p->SetValue(1000);
  EXPECT_EQ(b.control->Text(), "21.50");
  b.p->SetLockMode(LM_DISABLED_GREY_TEXT);
  b.p->SetTextBox();
  EXPECT_EQ(b.control->Text(), "10.00");
}

// The keys mode is derived when the lock mode is set (the modes per range are typed in the input tests).
TEST(TextBoxParameterTest, KeysModeIsDerivedWhenTheLockModeIsSet) {
  params::cParamTextBox p;
  p.SetFactor(1);
  p.SetResolution(RES_0_1);
  p.SetRangeMin(-10);
  EXPECT_EQ(p.KeysMode(), KA_Numbers);  // not yet derived
  p.SetLockMode(LM_DISABLED_GREY_NO_VALUE);  // modes without a value do not derive
  EXPECT_EQ(p.KeysMode(), KA_Numbers);
  p.SetLockMode(LM_UNLOCKED);
  p.SetRangeMin(0);  // a later range does not change the keys until the next lock mode
  EXPECT_EQ(p.KeysMode(), KA_NumbersFloatNeg);
}

TEST(TextBoxParameterTest, ValueIsInvalidOutsideTheRangeOrWhenMarkedRed) {
  Bound b({0, 50});
  b.p->SetRangeMax(100);
  b.p->ReadFromLns();
  b.p->SetValue(101);
  EXPECT_TRUE(b.p->ValueIsInvalid());
  b.p->SetDontWriteToLns(true);
  EXPECT_FALSE(b.p->ValueIsInvalid());  // a value that is not written cannot be wrong
  b.p->SetDontWriteToLns(false);
  b.p->SetValue(50);
  b.p->SetTextBoxRangeMax(40);  // narrower typing range: red, although the device range holds it
  EXPECT_EQ(std::tuple(b.control->ForeColor(), b.p->ValueIsInvalid()), std::tuple(colours::kRed, true));
  b.p->SetLockMode(LM_DISABLED_GREY_NO_VALUE);
  EXPECT_FALSE(b.p->ValueIsInvalid());
}

TEST(TextBoxParameterTest, WritesOnlyWhatIsRequiredAndGivenValues) {
  testing_support::RecordingLog log;
  Bound b({0, 10});
  b.p->ReadFromLns();
  b.p->SetWriteToLnsIfRequiredOnly(true);
  b.p->SetValue(10);
  b.p->WriteToLns();
  EXPECT_EQ(std::tuple(b.cp->valueWrites, b.p->Changed()), std::tuple(0, false));
  b.p->SetValueNotSet(true);
  b.p->SetValue(11);
  b.p->WriteToLns();
  EXPECT_EQ(b.cp->valueWrites, 0);  // a value not given is not written
}

TEST(TextBoxParameterTest, ExternalCpBuffer) {
  params::cParams set;
  auto cp = std::make_shared<FakeCp>(Bytes{0, 0, 0x01, 0x2C});
  cp->name = "Options";
  auto buffer = set.AddConfigProp("Options", cp, "Options");
  auto control = std::make_shared<TextBox>("t");
  auto p = set.AddTextBoxParameterExtCp("Ext", control, buffer);
  p->SetSnvtType(SNVT_time_sec);
  p->ConsiderPartOfCpOnly(3, 2);
  p->ReadFromExtCp();
  EXPECT_EQ(control->Text(), "30.0");
  p->SetValueCalc(12.5F);
  p->WriteToExtCp();
  p->WriteToLns();  // nothing for an external CP: the buffer goes to LNS later, as a whole
  EXPECT_EQ(std::tuple(buffer->ByteValue(4), cp->valueWrites), std::tuple(125, 0));
}

TEST(TextBoxParameterTest, APartMustLieInsideTheCp) {
  Bound b({1, 2, 3, 4});
  b.p->ConsiderPartOfCpOnly(3, 2);
  EXPECT_THAT([&] { b.p->ConsiderPartOfCpOnly(4, 2); },
              ThrowsErrorFrom(static_cast<int32_t>(0x800403E8), "ConsiderPartOfCpOnly", "ung\xC3\xBCltige Parameter"));
  EXPECT_THAT([&] { b.p->ConsiderPartOfCpOnly(1, 0); }, ThrowsError(static_cast<int32_t>(0x800403E8)));
  b.p->ReadFromLns();
  EXPECT_EQ(b.p->Value(), 0x0304);  // the part of before
}

TEST(TextBoxParameterTest, SettingsFromTheServersNvTypeInformation) {
  platform::lns_embedded::EmbeddedNvTypeInformation information;
  params::cParams set;
  auto control = std::make_shared<TextBox>("t");
  auto p = set.AddTextBoxParameter("T", control, std::make_shared<FakeCp>(Bytes{0, 0}), "Cp");
  p->SetParamSettingsByNvType(105);  // without information nothing changes
  EXPECT_EQ(p->Factor(), 1);
  set.SetNvTypeInfo(&information);
  struct Row { int32_t type, factor, resolution; float min, max; std::string unit; };
  const Row rows[] = {
      {105, 100, RES_0_0_1, -327.68F, 327.67F, "\xC2\xB0" "C"},  // SNVT_temp_p
      {95, 2, RES_0_5, 0, 100, "%"},                              // SNVT_switch: its value field
      {117, 2, RES_0_5, 0, 100, "%"},                             // SNVT_setting: its setting field
      {79, 1, RES_1, 0, 65535, "lux"},
  };
  for (const auto& row : rows) {
    p->SetParamSettingsByNvType(row.type);
    EXPECT_EQ(std::tuple(p->Factor(), p->Resolution(), p->RangeMin(), p->TextBoxRangeMax(), p->Unit(), p->UnitMnemonic()),
              std::tuple(row.factor, row.resolution, row.min, row.max, UNIT_UserDefined, row.unit))
        << row.type;
  }
  p->SetParamSettingsByNvType(4242);  // unknown: the settings stay
  EXPECT_EQ(p->Factor(), 1);
}

}  // namespace
