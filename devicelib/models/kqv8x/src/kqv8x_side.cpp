// KQv8x status words and side resampling.
#include "qv6/kqv8x/kqv8x_side.h"

namespace qv6::kqv8x {

using later::StatusInputs;
using later::StatusWords;

StatusWords ComposeStatusWords(const StatusInputs& in) {
  StatusWords w;
  uint32_t& s = w.status;
  s = QV6_STATUS_CONNECTED;
  auto set = [&s](bool on, uint32_t bit) {
    if (on) s |= bit;
  };
  // The one record is the current document's.
  const uint16_t doc = in.currentDocument.value_or(0);
  if (in.state & later::kStateError) {
    if (in.error & 0x2) w.errors |= QV6_ERRORS_SELF_TEST;
    if (doc & kDocInsertError) w.errors |= QV6_ERRORS_DOC_INSERT;
    if (doc & kDocDoubleFeed) w.errors |= QV6_ERRORS_DOUBLE_FEED;
    if (doc & kDocJam) w.errors |= QV6_ERRORS_JAM;
  }
  set(in.state & later::kStateComplete, QV6_STATUS_COMMAND_COMPLETE);
  set(in.state & later::kStatePowerOn, QV6_STATUS_POWER_ON);
  set(in.state & later::kStateScanning, QV6_STATUS_SCANNING);
  set((in.state & later::kStateError) && w.errors != 0, QV6_STATUS_ERROR);
  set(in.sensor & kSensorFeed, QV6_STATUS_FEED_SENSOR);
  set(in.sensor & kSensorSync, QV6_STATUS_SYNC_SENSOR);
  set(in.sensor & kSensorInkJet, QV6_STATUS_INKJET);
  set(in.state & later::kStateEnabled, QV6_STATUS_SCAN_ENABLE);
  set(doc & kDocReadTrack, QV6_STATUS_READ_TRACK);
  set(in.sensor & kSensorDoubleFeed, QV6_STATUS_DOUBLE_FEED);
  set(in.sensor & kSensorExitJam, QV6_STATUS_EXIT_JAM);
  set(in.sensor & kSensorCoverOff, QV6_STATUS_COVER_OFF);
  set(in.ringNotEmpty, QV6_STATUS_RS232_READY);

  const bool front = in.frontHeld && in.imagesFinal;
  const bool rear = in.rearHeld && in.imagesFinal;
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

int ResampleSide(CLoadScanLines& image, int colourMode, int resolution) {
  int done = 1;
  if (colourMode == 2) {
    done = resolution == 100   ? image.ThirdHeight()
           : resolution == 200 ? image.DoubleWidthTwoThirdsHeight()
                               : image.TripleWidth();
  } else if (resolution == 100) {
    done = image.HalveWidthThirdHeight();
  } else if (resolution == 200) {
    done = image.TwoThirdsHeight();
  } else if (colourMode == 1) {
    done = image.ThreeHalvesWidth();
  }
  if (!done) return 0;
  return resolution == 100 || resolution == 200 ? resolution : 300;
}

}  // namespace qv6::kqv8x
