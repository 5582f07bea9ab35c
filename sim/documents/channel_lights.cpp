// Channel records and what the sensor reads under them.
#include "sim/documents/channel_lights.h"

namespace sim::documents {
namespace {
constexpr int kHostPwm = 100;  // the PWM value the host lights a single LED with
}  // namespace

uint8_t Reflectance(const ChannelLight& light, Rgb c) {
  const int sum = light.red + light.green + light.blue;
  if (sum <= 0) return 0;
  const int v = (c.r * light.red + c.g * light.green + c.b * light.blue + sum / 2) / sum;
  return static_cast<uint8_t>(v);
}

std::vector<ChannelLight> HostLights(ColourMode mode) {
  const ChannelLight red{kHostPwm, 0, 0};
  const ChannelLight green{0, kHostPwm, 0};
  const ChannelLight blue{0, 0, kHostPwm};
  switch (mode) {
    case ColourMode::kColour:
      return {green, blue, green, red};
    case ColourMode::kColourAltTiming:
      return {green, blue, red};
    case ColourMode::kGrey:
      break;
  }
  const ChannelLight all{kHostPwm / 2, kHostPwm / 2, kHostPwm / 2};
  return {all, all, all, all};
}

std::optional<std::vector<ChannelLight>> LightsFromAcquisitionBlock(std::span<const uint8_t> payload, int side,
                                                                    const ChannelRecordLayout& layout) {
  if (payload.size() <= layout.countAt || payload.size() < layout.recordsAt) return std::nullopt;
  const size_t count = payload[layout.countAt];
  if (count < 1 || count > 4 || payload.size() < layout.recordsAt + count * layout.recordSize) return std::nullopt;
  const size_t pwm = side == 0 ? layout.frontPwmAt : layout.rearPwmAt;
  if (pwm + 3 > layout.recordSize) return std::nullopt;
  std::vector<ChannelLight> lights;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* rec = payload.data() + layout.recordsAt + i * layout.recordSize;
    lights.push_back(ChannelLight{rec[pwm], rec[pwm + 1], rec[pwm + 2]});
  }
  return lights;
}

}  // namespace sim::documents
