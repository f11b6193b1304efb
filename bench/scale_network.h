#pragma once
// Large networks for the benchmarks: the demo network's first device repeated, 100 devices per
// subsystem ("Sub 1" holds "Device 1" to "Device 100", and so on).

#include <string>

namespace bench_support {

constexpr int kDevicesPerSubsystem = 100;

inline std::string DeviceName(int number) { return "Device " + std::to_string(number); }
inline std::string SubsystemName(int number) { return "Sub " + std::to_string(number); }
inline std::string SubsystemOfDevice(int number) { return SubsystemName((number - 1) / kDevicesPerSubsystem + 1); }

// The description (portab-lns create's JSON) of the network "Scale" with `devices` devices.
std::string ScaleDescription(int devices);

}  // namespace bench_support
