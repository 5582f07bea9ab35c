// Status and error words of the later series.
#include "qv6/later/status_words.h"

namespace qv6::later {

uint16_t WithIdleBit(uint16_t state, uint8_t sent, uint8_t expected) {
  bool idle = sent == expected && (state & (kStateEnabled | kStateActive)) == 0;
  return static_cast<uint16_t>(idle ? (state | kStateIdle) : (state & ~kStateIdle));
}

StatusWords ComposeStatusWords(const StatusInputs& in) {
  StatusWords w;
  uint32_t& s = w.status;
  s = kStConnected;
  auto set = [&s](bool on, uint32_t bit) {
    if (on) s |= bit;
  };
  const uint16_t doc = in.currentDocument.value_or(0);
  if (in.state & kStateError) {
    if (in.error & 0x4) w.errors |= kErSelfTest;
    if (in.currentDocument) {
      if (doc & kDocInsertError) w.errors |= kErDocInsert;
      if (doc & kDocDoubleFeed) w.errors |= kErDoubleFeed;
      if (doc & kDocJam) w.errors |= kErJam;
    }
  }
  set(in.state & kStateComplete, kStCommandComplete);
  set(in.state & kStatePowerOn, kStPowerOn);
  set(in.state & kStateScanning, kStScanning);
  set((in.state & kStateError) && w.errors != 0, kStError);
  set(in.sensor & kSensorFeed, kStFeedSensor);
  set(in.sensor & kSensorSync, kStSyncSensor);
  set(in.sensor & kSensorInkJet, kStInkJet);
  set(in.state & kStateEnabled, kStScanEnable);
  set(in.sensor & (kSensorDoubleFeed0 | kSensorDoubleFeed1), kStDoubleFeed);
  set(in.sensor & kSensorExitJam, kStExitJam);
  set(in.sensor & kSensorCoverOff, kStCoverOff);
  set(in.ringNotEmpty, kStRs232Ready);
  set(in.state & kStateIdle, kStEarlyScan);
  set(in.expected < in.sent, kStDocInBuffer);
  set(in.currentDocument && (doc & kDocWaitSort), kStWaitForSort);

  bool front = in.frontHeld && in.imagesFinal;
  bool rear = in.rearHeld && in.imagesFinal;
  if (in.eventMode != 0) {
    set(in.micrHeld, kStMicrReady);
    set(front, kStFrontReady);
    set(rear, kStRearReady);
  } else if (in.currentDocument) {
    set(in.micrHeld || (doc & kDocSamplesReady), kStMicrReady);
    set(front || (in.frontEnabled && (doc & kDocFrontReady)), kStFrontReady);
    set(rear || (in.rearEnabled && (doc & kDocRearReady)), kStRearReady);
  }
  return w;
}

}  // namespace qv6::later
