#pragma once
// Public enumerations of the parameter framework (cParamEnums).

#include <cstdint>

namespace params::cParamEnums {

// The class ids that ClassId answers: the parameter set (1000), the parameter kinds and the
// CP buffer.
enum eParamClassIds : int16_t {
  PA_PARAMETERS = 1000,
  PA_CLASSID_TEXTBOX_PARAMETER = 1001,
  PA_CLASSID_COMBOBOX_PARAMTER = 1002,
  PA_CLASSID_CHECKBOX_PARAMETER = 1003,
  PA_CLASSID_OPTIONBUTTON_PARAMETER = 1004,
  PA_CLASSID_1BYTE_PARAMETER = 1005,
  PA_CLASSID_2BYTE_PARAMETER = 1006,
  PA_CLASSID_CONFIG_PROPERTY = 1007,
  PA_CLASSID_ASCII_PARAMETER = 1008,
};

// The control kind of a parameter, as the knowledge base's control descriptions name it.
enum eVeltaParControlType : int32_t {
  CPCT_TextBox = 0,
  CPCT_ComboBox = 1,
  CPCT_Function = 2,     // range, function and values (cMC16::ParameterFunctionSettings)
  CPCT_Seperator = 3,
  CPCT_Description = 4,
  CPCT_Picture = 5,      // a picture file (cMC16::ParameterPictureSettings)
  CPCT_RangeCheck = 6,
  CPCT_TextBox2 = 7,
  CPCT_Wizard = 8,       // option buttons, label, command button (cMC16::ParameterWizardSettings)
};

// How a parameter's control takes input and shows its value (SetLockMode).
enum eLockMode : int32_t {
  LM_UNLOCKED = 0,                // enabled, shows the value
  // Kind by kind: a text box stays enabled but stops showing new values, check box and combo
  // box stay as they are, option buttons are disabled.
  LM_LOCKED = 1,
  LM_DISABLED = 2,                // disabled, shows the value
  LM_DISABLED_NO_VALUE = 3,       // disabled, shows no value
  LM_DISABLED_GREY = 4,           // disabled, grey background (text box, combo box), shows the value
  LM_DISABLED_GREY_NO_VALUE = 5,  // the same without a value: the mode of a missing CP
  // A text box: disabled, grey, showing TextWhenLocked; check box and combo box stay as they
  // are, option buttons are disabled.
  LM_DISABLED_GREY_TEXT = 6,
};

// The unit of a text box; SetUnit gives the mnemonic of those it knows ("%", "m/s", ...), the
// others show none. UNIT_UserDefined keeps a mnemonic set otherwise (an NV type's scaling).
enum eUnit : int32_t {
  UNIT_No = 0,
  UNIT_Ampere,
  UNIT_Centimetres,
  UNIT_CubicMetresPerHour,
  UNIT_Degrees,
  UNIT_DegreesCelsius,
  UNIT_Kelvin,
  UNIT_Kilolitres,
  UNIT_KiloPascals,
  UNIT_Kilovolts,
  UNIT_KiloWatts,
  UNIT_Litres,
  UNIT_LitresPerSecond,
  UNIT_Lux,
  UNIT_Metres,
  UNIT_MetresPerSecond,
  UNIT_Milliampere,
  UNIT_MillilitresPerSecond,
  UNIT_Millimetres,
  UNIT_Millisecond,
  UNIT_Millivolts,
  UNIT_Minute,
  UNIT_PartsPerMillion,
  UNIT_Pascals,
  UNIT_Percent,
  UNIT_RevolutionsPerMinute,
  UNIT_Second,
  UNIT_Volts,
  UNIT_Watts,
  UNIT_UserDefined,
};

// The step of a text box's value: RES_50 is 50, RES_1 is 1, RES_0_5 is 0.5, RES_0_0_5 is
// 0.05, ..., RES_0_0_0_1 is 0.001.
enum eResolution : int32_t {
  RES_50 = 0,
  RES_1,
  RES_0_5,
  RES_0_2,
  RES_0_1,
  RES_0_0_5,
  RES_0_0_2,
  RES_0_0_1,
  RES_0_0_0_5,
  RES_0_0_0_2,
  RES_0_0_0_1,
};

// What a text box shows (SetSnvtType): a plain number (ST_unsigned: factor 1, 0..65535) or a
// standard NV type. The types with a preset bring factor, resolution, range and unit;
// ST_Signed and the others change only the type stored.
enum eSnvtType : int32_t {
  ST_unsigned = 0,
  ST_Signed,
  SNVT_amp,
  SNVT_amp_mil,
  SNVT_angle_deg,
  SNVT_flow,
  SNVT_flow_mil,
  SNVT_flow_p,
  SNVT_lev_cont,
  SNVT_lev_percent,
  SNVT_lux,
  SNVT_power,
  SNVT_power_kilo,
  SNVT_ppm,
  SNVT_press,
  SNVT_press_p,
  SNVT_rpm,
  SNVT_speed,
  SNVT_speed_mil,
  SNVT_switch,
  SNVT_switch_Value,
  SNVT_switch_State,
  SNVT_temp,
  SNVT_temp_p,
  SNVT_time_min,
  SNVT_time_sec,
  SNVT_vol,
  SNVT_vol_kilo,
  SNVT_volt,
  SNVT_volt_kilo,
  SNVT_volt_mil,
};

// The keys typing into a text box accepts: digits; digits and minus; digits and a decimal
// separator; all three; every key (KA_All, KA_UserDef).
enum eKeysAllowed : int32_t {
  KA_Numbers = 0,
  KA_NumbersNeg = 1,
  KA_NumbersFloat = 2,
  KA_NumbersFloatNeg = 3,
  KA_All = 4,
  KA_UserDef = 5,
};

// The results of cParams::LoadFromFile.
enum eLoadFromFileErrors : int32_t {
  LE_NO_ERROR = 0,
  LE_WRONG_PLUGIN = 1,            // another plug-in's file, or no readable file at all
  LE_WRONG_PLUGIN_VERSION = 2,    // not returned by LoadFromFile
  LE_WRONG_DEVICE = 3,            // a program id the device does not accept
  LE_WRONG_DATAFILE_VERSION = 4,  // no program id, or another data file version
};

}  // namespace params::cParamEnums
