// VEKQv5xx status words and magnetic gain arithmetic.
#include "qv6/vekqv5xx/vekqv5xx_status.h"

#include <algorithm>

#include "qv6/vekqv5xx/vekqv5xx_blocks.h"

namespace qv6::vekqv5xx {
namespace {

constexpr int64_t kPotK = 213282000;
constexpr int64_t kPotR0 = 1122;
constexpr size_t kAgcSkipped = 4;
constexpr int kClipLimit = 10;
constexpr uint32_t kAgcRaise = 255;

}  // namespace

later::StatusWords ComposeStatusWords(const StatusInputs& in) {
  later::StatusWords w;
  uint32_t& s = w.status;
  s = QV6_STATUS_CONNECTED | QV6_STATUS_COMMAND_COMPLETE;
  auto set = [&s](bool on, uint32_t bit) {
    if (on) s |= bit;
  };
  set(in.s0 & kS0PowerOn, QV6_STATUS_POWER_ON);
  set(in.s0 & kS0Feeding, QV6_STATUS_SCANNING);
  set(in.s1 & kS1Feed, QV6_STATUS_FEED_SENSOR);
  set(in.s1 & kS1Sync, QV6_STATUS_SYNC_SENSOR);
  set(in.s1 & kS1InkJet, QV6_STATUS_INKJET);
  set(in.s0 & kS0Enabled, QV6_STATUS_SCAN_ENABLE);
  set(in.s1 & kS1Exit, QV6_STATUS_EXIT_JAM);
  set(in.s1 & kS1ModeSelect, QV6_STATUS_MODE_SELECT);
  set(in.s1 & kS1Pocket, QV6_STATUS_POCKET_SENSOR);
  if (in.s0 & kS0InsertError) w.errors |= QV6_ERRORS_DOC_INSERT;
  if (in.s0 & kS0Jam) w.errors |= QV6_ERRORS_JAM;
  if (in.s0 & kS0Error) w.errors |= QV6_ERRORS_DEVICE;
  set(w.errors != 0, QV6_STATUS_ERROR);

  const bool front = in.frontHeld && in.imagesFinal;
  const bool rear = in.rearHeld && in.imagesFinal;
  if (in.eventMode != 0) {
    set(in.micrHeld, QV6_STATUS_MICR_READY);
    set(front, QV6_STATUS_FRONT_READY);
    set(rear, QV6_STATUS_REAR_READY);
  } else if (!(in.scanMode == 3 && (in.s0 & kS0Direction))) {
    const bool images = (in.s2 & kS2ImagesReady) == kS2ImagesReady;
    set(in.micrHeld || (in.s2 & kS2SamplesReady), QV6_STATUS_MICR_READY);
    set(front || (in.frontEnabled && images), QV6_STATUS_FRONT_READY);
    set(rear || (in.rearEnabled && images), QV6_STATUS_REAR_READY);
  }
  return w;
}

OffsetCode HeadOffsetCode(int offset) {
  const int t = (-3 * offset) / 25;
  const int v = (t * 255) / 300;
  if (v > 255) return {0x70, 255};
  if (v > 0) return {0x70, static_cast<uint8_t>(v)};
  if (v >= -255) return {0x71, static_cast<uint8_t>(-v)};
  return {0x71, 255};
}

uint8_t Potentiometer(int gainCalibFactor, uint32_t gain) {
  // The factor is a byte: the denominator is at least R0.
  const int64_t unity = kPotK / (10 * int64_t{gainCalibFactor & 0xFF} + kPotR0);
  uint32_t target = static_cast<uint32_t>(unity) * gain / 100;
  if (target == 0) target = 1;
  const int64_t q = kPotK / target;
  const int64_t pot = q > kPotR0 ? (q - kPotR0) / 10 : 0;
  return static_cast<uint8_t>(std::min<int64_t>(pot, 255));
}

uint32_t ClampGain(int gain) {
  return std::clamp<uint32_t>(static_cast<uint32_t>(gain), 10, 1000);
}

AgcResult RunAgc(std::span<const uint16_t> samples, uint32_t gain) {
  AgcResult r;
  for (size_t i = kAgcSkipped; i < samples.size(); ++i) {
    const uint16_t v = samples[i];
    if (v == 0xFFFF) ++r.clipPositive;
    if (v <= 1) ++r.clipNegative;
    r.minimum = std::min(r.minimum, v);
    r.maximum = std::max(r.maximum, v);
  }
  if (r.clipPositive > kClipLimit || r.clipNegative > kClipLimit) {
    r.gain = 0;
  } else if (r.clipPositive == 0 && r.clipNegative == 0) {
    r.gain = std::max(gain, kAgcRaise);
  } else {
    r.gain = gain;
  }
  return r;
}

}  // namespace qv6::vekqv5xx
