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
      {"command complete", with([](StatusInputs& i) { i.state = 0x1; }), QV6_STATUS_COMMAND_COMPLETE, 0},
      {"power on", with([](StatusInputs& i) { i.state = 0x2; }), QV6_STATUS_POWER_ON, 0},
      {"scanning", with([](StatusInputs& i) { i.state = 0x10; }), QV6_STATUS_SCANNING, 0},
      {"scan enable", with([](StatusInputs& i) { i.state = 0x8; }), QV6_STATUS_SCAN_ENABLE, 0},
      {"idle", with([](StatusInputs& i) { i.state = 0x40; }), QV6_STATUS_EARLY_SCAN, 0},
      {"ink jet", with([](StatusInputs& i) { i.sensor = 0x1; }), QV6_STATUS_INKJET, 0},
      {"feed sensor", with([](StatusInputs& i) { i.sensor = 0x2; }), QV6_STATUS_FEED_SENSOR, 0},
      {"sync sensor", with([](StatusInputs& i) { i.sensor = 0x4; }), QV6_STATUS_SYNC_SENSOR, 0},
      {"double feed 0", with([](StatusInputs& i) { i.sensor = 0x8; }), QV6_STATUS_DOUBLE_FEED, 0},
      {"double feed 1", with([](StatusInputs& i) { i.sensor = 0x10; }), QV6_STATUS_DOUBLE_FEED, 0},
      {"exit 5", with([](StatusInputs& i) { i.sensor = 0x20; }), QV6_STATUS_EXIT_JAM, 0},
      {"exit 6", with([](StatusInputs& i) { i.sensor = 0x40; }), QV6_STATUS_EXIT_JAM, 0},
      {"cover", with([](StatusInputs& i) { i.sensor = 0x80; }), QV6_STATUS_COVER_OFF, 0},
      {"rs232", with([](StatusInputs& i) { i.ringNotEmpty = true; }), QV6_STATUS_RS232_READY, 0},
      {"doc in buffer", with([](StatusInputs& i) { i.sent = 3, i.expected = 2; }), QV6_STATUS_DOC_IN_BUFFER,
       0},
      {"no doc in buffer across the wrap", with([](StatusInputs& i) { i.sent = 1, i.expected = 255; }), 0, 0},
      {"wait for sort", with([](StatusInputs& i) { i.currentDocument = 0x100; }), QV6_STATUS_WAIT_FOR_SORT,
       0},
      {"error bit alone is no error", with([](StatusInputs& i) { i.state = 0x4; }), 0, 0},
      {"self test", with([](StatusInputs& i) { i.state = 0x4, i.error = 0x4; }), QV6_STATUS_ERROR,
       QV6_ERRORS_SELF_TEST},
      {"self test needs the error state", with([](StatusInputs& i) { i.error = 0x4; }), 0, 0},
      {"insert", with([](StatusInputs& i) { i.state = 0x4, i.currentDocument = 0x200; }), QV6_STATUS_ERROR,
       QV6_ERRORS_DOC_INSERT},
      {"double feed error", with([](StatusInputs& i) { i.state = 0x4, i.currentDocument = 0x400; }),
       QV6_STATUS_ERROR, QV6_ERRORS_DOUBLE_FEED},
      {"jam 11", with([](StatusInputs& i) { i.state = 0x4, i.currentDocument = 0x800; }), QV6_STATUS_ERROR,
       QV6_ERRORS_JAM},
      {"jam 12", with([](StatusInputs& i) { i.state = 0x4, i.currentDocument = 0x1000; }), QV6_STATUS_ERROR,
       QV6_ERRORS_JAM},
      // Readiness polled (event mode 0): from the document word, or held results.
      {"micr from the document", with([](StatusInputs& i) { i.currentDocument = 0x10; }),
       QV6_STATUS_MICR_READY, 0},
      {"front needs its side enabled", with([](StatusInputs& i) { i.currentDocument = 0x4; }), 0, 0},
      {"front from the document",
       with([](StatusInputs& i) { i.currentDocument = 0x4, i.frontEnabled = true; }), QV6_STATUS_FRONT_READY,
       0},
      {"rear from the document", with([](StatusInputs& i) { i.currentDocument = 0x8, i.rearEnabled = true; }),
       QV6_STATUS_REAR_READY, 0},
      {"held results without a record", with([](StatusInputs& i) { i.micrHeld = i.frontHeld = true; }), 0, 0},
      {"held front needs final images",
       with([](StatusInputs& i) { i.currentDocument = 0, i.frontHeld = true; }), 0, 0},
      {"held and final",
       with([](StatusInputs& i) { i.currentDocument = 0, i.frontHeld = i.rearHeld = i.imagesFinal = true; }),
       QV6_STATUS_FRONT_READY | QV6_STATUS_REAR_READY, 0},
      // With events, only held results count.
      {"events: document word ignored",
       with([](StatusInputs& i) { i.eventMode = 1, i.currentDocument = 0x1C, i.frontEnabled = true; }), 0, 0},
      {"events: held", with([](StatusInputs& i) { i.eventMode = 1, i.micrHeld = true; }),
       QV6_STATUS_MICR_READY, 0},
  };
  for (const Case& c : cases) {
    StatusWords w = ComposeStatusWords(c.in);
    EXPECT_EQ(w.status, c.status | QV6_STATUS_CONNECTED) << c.name;
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
