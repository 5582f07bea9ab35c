// The QV6GetStatus words of the later series (bits named in qv6/qv6dll.h), composed from the status
// block as last read, the feed sequence numbers and what the host holds of the current document. A pure
// function, so the table of bits can be checked case by case.
#pragma once

#include <cstdint>
#include <optional>

#include "qv6/qv6dll.h"

namespace qv6::later {

// Device state word bits.
enum StateBit : uint16_t {
  kStateComplete = 0x1,
  kStatePowerOn = 0x2,
  kStateError = 0x4,
  kStateEnabled = 0x8,
  kStateScanning = 0x10,
  kStateActive = 0x20,
  kStateIdle = 0x40,
};

// Sensor word bits.
enum SensorBit : uint16_t {
  kSensorInkJet = 0x1,
  kSensorFeed = 0x2,
  kSensorSync = 0x4,
  kSensorDoubleFeed0 = 0x8,   // double-feed sensor 0
  kSensorDoubleFeed1 = 0x10,  // double-feed sensor 1
  kSensorExitJam = 0x60,
  kSensorCoverOff = 0x80,
  kSensorPocket0Full = 0x100,
  kSensorPocket1Full = 0x200,
};

// Document word bits.
enum DocumentBit : uint16_t {
  kDocStopped = 0x1,
  kDocFrontReady = 0x4,
  kDocRearReady = 0x8,
  kDocSamplesReady = 0x10,
  kDocWaitSort = 0x100,
  kDocInsertError = 0x200,
  kDocDoubleFeed = 0x400,
  kDocJam = 0x1800,
};

struct StatusInputs {
  uint16_t state = 0;
  uint16_t sensor = 0;
  uint16_t error = 0;
  std::optional<uint16_t> currentDocument;  // the word of the record of the expected document
  uint8_t sent = 0;
  uint8_t expected = 0;
  bool ringNotEmpty = false;
  int eventMode = 0;
  bool micrHeld = false;
  bool frontHeld = false;
  bool rearHeld = false;
  bool imagesFinal = false;
  bool frontEnabled = false;
  bool rearEnabled = false;
};

struct StatusWords {
  uint32_t status = 0;
  uint32_t errors = 0;
};

StatusWords ComposeStatusWords(const StatusInputs& in);

// The state word's idle bit as the host sets it after each read.
uint16_t WithIdleBit(uint16_t state, uint8_t sent, uint8_t expected);

}  // namespace qv6::later
