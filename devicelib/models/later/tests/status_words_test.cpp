// The QV6GetStatus words of the later series, bit by bit.
#include "qv6/later/status_words.h"

#include <gtest/gtest.h>

namespace qv6::later {
namespace {

TEST(StatusWords, EachBitFromItsSource) {
  struct Case {
    const char* name;
    StatusInputs in;
    uint32_t status;  // besides Connected
    uint32_t errors;
  };
  auto with = [](auto change) {
    StatusInputs in;
    in.sent = in.expected = 10;
    change(in);
    return in;
  };
  Case cases[] = {
      {"nothing", with([](StatusInputs&) {}), 0, 0},
      {"command complete", with([](StatusInputs& i) { i.state = 0x1; }), kStCommandComplete, 0},
      {"power on", with([](StatusInputs& i) { i.state = 0x2; }), kStPowerOn, 0},
      {"scanning", with([](StatusInputs& i) { i.state = 0x10; }), kStScanning, 0},
      {"scan enable", with([](StatusInputs& i) { i.state = 0x8; }), kStScanEnable, 0},
      {"idle", with([](StatusInputs& i) { i.state = 0x40; }), kStEarlyScan, 0},
      {"ink jet", with([](StatusInputs& i) { i.sensor = 0x1; }), kStInkJet, 0},
      {"feed sensor", with([](StatusInputs& i) { i.sensor = 0x2; }), kStFeedSensor, 0},
      {"sync sensor", with([](StatusInputs& i) { i.sensor = 0x4; }), kStSyncSensor, 0},
      {"double feed 0", with([](StatusInputs& i) { i.sensor = 0x8; }), kStDoubleFeed, 0},
      {"double feed 1", with([](StatusInputs& i) { i.sensor = 0x10; }), kStDoubleFeed, 0},
      {"exit 5", with([](StatusInputs& i) { i.sensor = 0x20; }), kStExitJam, 0},
      {"exit 6", with([](StatusInputs& i) { i.sensor = 0x40; }), kStExitJam, 0},
      {"cover", with([](StatusInputs& i) { i.sensor = 0x80; }), kStCoverOff, 0},
      {"rs232", with([](StatusInputs& i) { i.ringNotEmpty = true; }), kStRs232Ready, 0},
      {"doc in buffer", with([](StatusInputs& i) { i.sent = 3, i.expected = 2; }), kStDocInBuffer, 0},
      {"no doc in buffer across the wrap", with([](StatusInputs& i) { i.sent = 1, i.expected = 255; }), 0, 0},
      {"wait for sort", with([](StatusInputs& i) { i.currentDocument = 0x100; }), kStWaitForSort, 0},
      {"error bit alone is no error", with([](StatusInputs& i) { i.state = 0x4; }), 0, 0},
      {"self test", with([](StatusInputs& i) { i.state = 0x4, i.error = 0x4; }), kStError, kErSelfTest},
      {"self test needs the error state", with([](StatusInputs& i) { i.error = 0x4; }), 0, 0},
      {"insert", with([](StatusInputs& i) { i.state = 0x4, i.currentDocument = 0x200; }), kStError,
       kErDocInsert},
      {"double feed error", with([](StatusInputs& i) { i.state = 0x4, i.currentDocument = 0x400; }), kStError,
       kErDoubleFeed},
      {"jam 11", with([](StatusInputs& i) { i.state = 0x4, i.currentDocument = 0x800; }), kStError, kErJam},
      {"jam 12", with([](StatusInputs& i) { i.state = 0x4, i.currentDocument = 0x1000; }), kStError, kErJam},
      // Readiness polled (event mode 0): from the document word, or held results.
      {"micr from the document", with([](StatusInputs& i) { i.currentDocument = 0x10; }), kStMicrReady, 0},
      {"front needs its side enabled", with([](StatusInputs& i) { i.currentDocument = 0x4; }), 0, 0},
      {"front from the document",
       with([](StatusInputs& i) { i.currentDocument = 0x4, i.frontEnabled = true; }), kStFrontReady, 0},
      {"rear from the document", with([](StatusInputs& i) { i.currentDocument = 0x8, i.rearEnabled = true; }),
       kStRearReady, 0},
      {"held results without a record", with([](StatusInputs& i) { i.micrHeld = i.frontHeld = true; }), 0, 0},
      {"held front needs final images",
       with([](StatusInputs& i) { i.currentDocument = 0, i.frontHeld = true; }), 0, 0},
      {"held and final",
       with([](StatusInputs& i) { i.currentDocument = 0, i.frontHeld = i.rearHeld = i.imagesFinal = true; }),
       kStFrontReady | kStRearReady, 0},
      // With events, only held results count.
      {"events: document word ignored",
       with([](StatusInputs& i) { i.eventMode = 1, i.currentDocument = 0x1C, i.frontEnabled = true; }), 0, 0},
      {"events: held", with([](StatusInputs& i) { i.eventMode = 1, i.micrHeld = true; }), kStMicrReady, 0},
  };
  for (const Case& c : cases) {
    StatusWords w = ComposeStatusWords(c.in);
    EXPECT_EQ(w.status, c.status | kStConnected) << c.name;
    EXPECT_EQ(w.errors, c.errors) << c.name;
  }
}

TEST(StatusWords, IdleBitIsTheHostsOwn) {
  EXPECT_EQ(WithIdleBit(0, 253, 253), 0x40);
  EXPECT_EQ(WithIdleBit(0x40, 254, 253), 0);
  EXPECT_EQ(WithIdleBit(0x8, 5, 5), 0x8);
  EXPECT_EQ(WithIdleBit(0x20, 5, 5), 0x20);
}

}  // namespace
}  // namespace qv6::later
