// The QV6GetStatus words of the later series, composed from the status block as last read, the feed
// sequence numbers and what the host holds of the current document. A pure function, so the table of
// bits can be checked case by case.
#pragma once

#include <cstdint>
#include <optional>

namespace qv6::later {

// Status word bits (DeviceStatusWord).
enum StatusBit : uint32_t {
  kStCommandComplete = 0x1,
  kStPowerOn = 0x2,
  kStScanning = 0x4,
  kStError = 0x8,
  kStFeedSensor = 0x10,
  kStSyncSensor = 0x20,
  kStInkJet = 0x40,
  kStScanEnable = 0x80,
  kStDoubleFeed = 0x400,
  kStExitJam = 0x800,
  kStCoverOff = 0x1000,
  kStPocket0Full = 0x8000,  // series with pockets that report full
  kStPocket1Full = 0x10000,
  kStMicrReady = 0x100000,
  kStFrontReady = 0x200000,
  kStRearReady = 0x400000,
  kStRs232Ready = 0x800000,
  kStEarlyScan = 0x1000000,
  kStDocInBuffer = 0x2000000,
  kStWaitForSort = 0x4000000,
  kStConnected = 0x80000000u,
};

// Error word bits (DeviceErrorWord).
enum ErrorBit : uint32_t {
  kErSelfTest = 0x1,
  kErDocInsert = 0x2,
  kErDoubleFeed = 0x40,
  kErJam = 0x80,
};

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
