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
  s = QV6_STATUS_CONNECTED;
  auto set = [&s](bool on, uint32_t bit) {
    if (on) s |= bit;
  };
  const uint16_t doc = in.currentDocument.value_or(0);
  if (in.state & kStateError) {
    if (in.error & 0x4) w.errors |= QV6_ERRORS_SELF_TEST;
    if (in.currentDocument) {
      if (doc & kDocInsertError) w.errors |= QV6_ERRORS_DOC_INSERT;
      if (doc & kDocDoubleFeed) w.errors |= QV6_ERRORS_DOUBLE_FEED;
      if (doc & kDocJam) w.errors |= QV6_ERRORS_JAM;
    }
  }
  set(in.state & kStateComplete, QV6_STATUS_COMMAND_COMPLETE);
  set(in.state & kStatePowerOn, QV6_STATUS_POWER_ON);
  set(in.state & kStateScanning, QV6_STATUS_SCANNING);
  set((in.state & kStateError) && w.errors != 0, QV6_STATUS_ERROR);
  set(in.sensor & kSensorFeed, QV6_STATUS_FEED_SENSOR);
  set(in.sensor & kSensorSync, QV6_STATUS_SYNC_SENSOR);
  set(in.sensor & kSensorInkJet, QV6_STATUS_INKJET);
  set(in.state & kStateEnabled, QV6_STATUS_SCAN_ENABLE);
  set(in.sensor & (kSensorDoubleFeed0 | kSensorDoubleFeed1), QV6_STATUS_DOUBLE_FEED);
  set(in.sensor & kSensorExitJam, QV6_STATUS_EXIT_JAM);
  set(in.sensor & kSensorCoverOff, QV6_STATUS_COVER_OFF);
  set(in.ringNotEmpty, QV6_STATUS_RS232_READY);
  set(in.state & kStateIdle, QV6_STATUS_EARLY_SCAN);
  set(in.expected < in.sent, QV6_STATUS_DOC_IN_BUFFER);
  set(in.currentDocument && (doc & kDocWaitSort), QV6_STATUS_WAIT_FOR_SORT);

  bool front = in.frontHeld && in.imagesFinal;
  bool rear = in.rearHeld && in.imagesFinal;
  if (in.eventMode != 0) {
    set(in.micrHeld, QV6_STATUS_MICR_READY);
    set(front, QV6_STATUS_FRONT_READY);
    set(rear, QV6_STATUS_REAR_READY);
  } else if (in.currentDocument) {
    set(in.micrHeld || (doc & kDocSamplesReady), QV6_STATUS_MICR_READY);
    set(front || (in.frontEnabled && (doc & kDocFrontReady)), QV6_STATUS_FRONT_READY);
    set(rear || (in.rearEnabled && (doc & kDocRearReady)), QV6_STATUS_REAR_READY);
  }
  return w;
}

}  // namespace qv6::later
