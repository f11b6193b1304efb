#pragma once
// What the object server knows of a standard NV type's scaling, for text box parameters
// that show an NV type's value.

#include <cstdint>
#include <optional>
#include <string>

namespace lns {

// How the numbers of one field of an NV type are shown: step, offset, range and unit.
struct NvTypeScaling {
  int32_t factor = 1;     // steps per shown unit
  float resolution = 1;   // the step of the shown value
  float offset = 0;       // shown value of the stored number 0
  float rangeMin = 0, rangeMax = 0;  // the shown values the type allows
  std::string unitText;   // "%", "lux", "°C", ...
};

// The object server's knowledge of standard NV types.
class NvTypeInformation {
 public:
  virtual ~NvTypeInformation() = default;
  // The scaling of one field of a type: `selector` 0 takes the type's only or first field,
  // 1 the value field of SNVT_switch (95), 2 the setting field of SNVT_setting (117).
  // nullopt when the type or field is unknown or has no numeric scaling.
  virtual std::optional<NvTypeScaling> Scaling(int32_t typeIndex, int16_t selector) const = 0;
};

}  // namespace lns
