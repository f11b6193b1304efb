#pragma once
// Public enumerations of the parameter framework (cParamEnums).

#include <cstdint>

namespace params::cParamEnums {

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

enum eLockMode : int32_t {
  LM_UNLOCKED = 0,
  LM_LOCKED = 1,
  LM_DISABLED = 2,
  LM_DISABLED_NO_VALUE = 3,
  LM_DISABLED_GREY = 4,
  LM_DISABLED_GREY_NO_VALUE = 5,
  LM_DISABLED_GREY_TEXT = 6,
};

}  // namespace params::cParamEnums
