#pragma once
// A planned interface (a device template) held against one found on a device: what an
// integrator must know before a device found on site takes the place of a planned one.

#include <string>
#include <vector>

#include "platform/device_interface/device_interface.h"

namespace platform::device_interface {

// How `found` differs from `planned`, one line each, none when they agree: the program ID, the
// functional blocks (count and profiles), the NVs (count, then each by index: type, length
// where both give one, direction) and the CP records (count, then each in order: what it
// applies to, type, size, dimension, flags, where it lives). CPs not read from the device
// (its cpProblem) are one line.
std::vector<std::string> InterfaceDifferences(const DeviceInterface& planned, const DeviceInterface& found);

}  // namespace platform::device_interface
