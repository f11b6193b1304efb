#pragma once
// What the four parameter kinds with a screen control share: the lock mode, and that a
// missing CP shows as a grey control without a value.

#include <cstdint>

#include "portab/params/param_enums.h"
#include "portab/params/parameter.h"

namespace params {

class cControlParameter : public cParameter {
 public:
  int32_t LockMode() const { return lockMode_; }  // an eLockMode value
  // Stores the mode and brings the control into it (each kind has its own table).
  virtual void SetLockMode(int32_t mode) = 0;

 protected:
  void StoreLockMode(int32_t mode) { lockMode_ = mode; }
  // The modes that show no value.
  bool ShowsNoValue() const {
    return lockMode_ == cParamEnums::LM_DISABLED_NO_VALUE || lockMode_ == cParamEnums::LM_DISABLED_GREY_NO_VALUE;
  }

 private:
  // A parameter whose CP is missing is locked grey without a value first; it counts as
  // available while the mode is set, so kinds that refuse modes when unavailable take it.
  void SetAvailable(bool available) override {
    if (!available) {
      cParameter::SetAvailable(true);
      SetLockMode(cParamEnums::LM_DISABLED_GREY_NO_VALUE);
    }
    cParameter::SetAvailable(available);
  }

  int32_t lockMode_ = cParamEnums::LM_UNLOCKED;
};

}  // namespace params
