// The QV6GetStatus words of the VEKQv5xx series and its magnetic gain arithmetic, as pure functions so
// that their tables can be checked case by case.
#pragma once

#include <cstdint>
#include <span>

#include "qv6/later/status_words.h"

namespace qv6::vekqv5xx {

struct StatusInputs {
  uint8_t s0 = 0;
  uint8_t s1 = 0;
  uint8_t s2 = 0;
  int eventMode = 0;
  int scanMode = 0;
  bool micrHeld = false;
  bool frontHeld = false;
  bool rearHeld = false;
  bool imagesFinal = false;
  bool frontEnabled = false;
  bool rearEnabled = false;
};

later::StatusWords ComposeStatusWords(const StatusInputs& in);

// The head offset's sign code (0x70 positive, 0x71 otherwise) and magnitude (at most 255).
struct OffsetCode {
  uint8_t code = 0;
  uint8_t magnitude = 0;
};
OffsetCode HeadOffsetCode(int offset);

// The potentiometer byte that gives `gain` (hundredths) with the head's calibration factor.
uint8_t Potentiometer(int gainCalibFactor, uint32_t gain);

// The gain stored for a requested one: taken as unsigned and kept within 10..1000.
uint32_t ClampGain(int gain);

// The automatic gain control's verdict on samples 4 .. n-1: more than ten samples clipped at either end
// give 0, none clipped raises the gain to at least 255, anything else keeps it.
struct AgcResult {
  uint32_t gain = 0;
  int clipPositive = 0;
  int clipNegative = 0;
  uint16_t minimum = 0xFFFF;
  uint16_t maximum = 0;
};
AgcResult RunAgc(std::span<const uint16_t> samples, uint32_t gain);

}  // namespace qv6::vekqv5xx
