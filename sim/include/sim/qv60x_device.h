// The first series (QV600, QV605) on "\\.\usbbulk0".
#pragma once

#include "sim/first_series_device.h"

namespace sim {

class Qv60xDevice : public FirstSeriesDevice {
 public:
  explicit Qv60xDevice(Identity identity) : FirstSeriesDevice(std::move(identity)) {}
};

}  // namespace sim
