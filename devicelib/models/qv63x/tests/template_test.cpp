// The QV63x template against the simulated scanner: feed sequence numbers, the status and error words
// for every bit, status changes and events, the serial port, and the commands of the feed cycle.
#include <array>

#include "qv6/later/status_words.h"
#include "sim_scanner.h"

namespace qv6::testing {
namespace {

using namespace later;

class TemplateTest : public SimScannerTest {
 protected:
  void Configure() {
    WriteFile("scan.ini", "[QV600 CONFIG]\r\nSORTER Enable=1\r\n");
    ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  }
  uint32_t Status(uint32_t* errors = nullptr) {
    int s = 0, e = 0;
    EXPECT_EQ(model->GetStatus(&s, &e), 1);
    if (errors) *errors = static_cast<uint32_t>(e);
    return static_cast<uint32_t>(s);
  }
};

TEST_F(TemplateTest, FeedSequenceNumbersWrapFrom255To1) {
  Configure();
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(model->EnableScan(1), 1);
    device->SetWords(0, 0, 0);  // the document left: the scanner is no longer enabled
    ASSERT_EQ(model->EnableScan(0), 1);
  }
  auto feeds = Commands(1);
  std::vector<int> sequences;
  for (const auto& f : feeds) {
    if (f[2] == 1) {
      sequences.push_back(f[3]);
      EXPECT_EQ(f[4], 1);  // the sorter enable of the scan configuration
    }
  }
  EXPECT_EQ(sequences, (std::vector<int>{254, 255, 1}));
  // Each feed is preceded by the host buffer: block 39 and 10000 bytes on pipe 3.
  EXPECT_EQ(Received(kBlockHostBuffer).size(), 3u);
  EXPECT_EQ(device->PipeReceived(3).size(), 30000u);
}

TEST_F(TemplateTest, UnconfiguredScannerOnlyStops) {
  EXPECT_EQ(model->EnableScan(1), 1);
  auto feeds = Commands(1);
  ASSERT_EQ(feeds.size(), 1u);
  EXPECT_EQ(feeds[0], (std::vector<uint8_t>{0, 1, 0, 0, 0, 0, 0}));
  // Right after construction both numbers are 253: idle when neither enabled nor active.
  EXPECT_TRUE(Status() & QV6_STATUS_EARLY_SCAN);
  device->SetWords(0x20, 0, 0);
  EXPECT_FALSE(Status() & QV6_STATUS_EARLY_SCAN);
}

TEST_F(TemplateTest, StatusAndErrorWordsFromTheScannersStatusBlock) {
  Configure();
  ASSERT_EQ(model->EnableScan(1), 1);  // expected and sent are now 254
  struct Case {
    const char* name;
    uint16_t state, sensor, error, docWord;
    bool record;  // the record of the current document is there
    uint32_t status, errors;
  } cases[] = {
      {"complete", 0x21, 0, 0, 0, false, QV6_STATUS_COMMAND_COMPLETE, 0},
      {"power on", 0x22, 0, 0, 0, false, QV6_STATUS_POWER_ON, 0},
      {"scanning", 0x30, 0, 0, 0, false, QV6_STATUS_SCANNING, 0},
      {"enabled", 0x8, 0, 0, 0, false, QV6_STATUS_SCAN_ENABLE, 0},
      {"idle", 0, 0, 0, 0, false, QV6_STATUS_EARLY_SCAN, 0},
      {"device idle bit is not taken", 0x60, 0, 0, 0, false, 0, 0},
      {"ink jet", 0x20, 0x1, 0, 0, false, QV6_STATUS_INKJET, 0},
      {"feed", 0x20, 0x2, 0, 0, false, QV6_STATUS_FEED_SENSOR, 0},
      {"sync", 0x20, 0x4, 0, 0, false, QV6_STATUS_SYNC_SENSOR, 0},
      {"double feed sensors", 0x20, 0x18, 0, 0, false, QV6_STATUS_DOUBLE_FEED, 0},
      {"exit", 0x20, 0x60, 0, 0, false, QV6_STATUS_EXIT_JAM, 0},
      {"cover", 0x20, 0x80, 0, 0, false, QV6_STATUS_COVER_OFF, 0},
      {"self test", 0x24, 0, 0x4, 0, false, QV6_STATUS_ERROR, QV6_ERRORS_SELF_TEST},
      {"insert error", 0x24, 0, 0, 0x200, true, QV6_STATUS_ERROR, QV6_ERRORS_DOC_INSERT},
      {"double feed error", 0x24, 0, 0, 0x400, true, QV6_STATUS_ERROR, QV6_ERRORS_DOUBLE_FEED},
      {"jam", 0x24, 0, 0, 0x1000, true, QV6_STATUS_ERROR, QV6_ERRORS_JAM},
      {"wait for sort", 0x20, 0, 0, 0x100, true, QV6_STATUS_WAIT_FOR_SORT, 0},
      {"samples ready, polled", 0x20, 0, 0, 0x10, true, QV6_STATUS_MICR_READY, 0},
      {"front ready, polled", 0x20, 0, 0, 0x4, true, QV6_STATUS_FRONT_READY, 0},
      {"rear ready, polled", 0x20, 0, 0, 0x8, true, QV6_STATUS_REAR_READY, 0},
      {"ready bits of another document", 0x20, 0, 0, 0x1C, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device->SetWords(c.state, c.sensor, c.error);
    sim::DocumentRecord record;
    record.sequence = c.record ? 254 : 17;
    record.word = c.docWord;
    device->SetRecord(1, record);  // record B: found after A
    uint32_t errors = 0;
    EXPECT_EQ(Status(&errors), c.status | QV6_STATUS_CONNECTED);
    EXPECT_EQ(errors, c.errors);
  }
  // A failed status read: 0 with both words 0.
  drv::DeviceRegistry::Instance().AddFault("\\\\.\\KScanDrv-0", drv::Fault{});
  int s = -1, e = -1;
  EXPECT_EQ(model->GetStatus(&s, &e), 0);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 0);
}

TEST_F(TemplateTest, UnchangedStatusRaisesNoEvent) {
  std::array<int, 7> counts{};
  static std::array<int, 7>* sink = nullptr;
  sink = &counts;
  EventTable events;
  events.Set(
      2, [](int event, intptr_t) { ++(*sink)[static_cast<size_t>(event)]; }, nullptr);
  events.SetDelivery(1, 0, 0);
  model->BindEvents(&events);
  model->SetEventMode(1);
  ASSERT_EQ(model->PollStatus(), 1);
  ASSERT_EQ(model->PollStatus(), 1);
  EXPECT_EQ(counts[2], 1);
  device->SetWords(0x1, 0, 0);
  ASSERT_EQ(model->PollStatus(), 1);
  EXPECT_EQ(counts[2], 2);
  // Serial bytes waiting count as a change.
  device->QueueSerialIn(std::vector<uint8_t>{1});
  ASSERT_EQ(model->PollStatus(), 1);
  EXPECT_EQ(counts[2], 3);
  drv::DeviceRegistry::Instance().AddFault("\\\\.\\KScanDrv-0", drv::Fault{});
  EXPECT_EQ(model->PollStatus(), 0);  // the link is lost
}

TEST_F(TemplateTest, EarlyScanFeedsAheadOfTheExpectedDocument) {
  EXPECT_EQ(model->EnableEarlyScan(), 0);  // not configured
  Configure();
  ASSERT_TRUE(Status() & QV6_STATUS_EARLY_SCAN);
  ASSERT_EQ(model->EnableEarlyScan(), 1);
  EXPECT_EQ(model->sentSequence(), 254);
  EXPECT_EQ(model->expectedSequence(), 253);
  uint32_t s = Status();
  EXPECT_TRUE(s & QV6_STATUS_DOC_IN_BUFFER);
  EXPECT_FALSE(s & QV6_STATUS_EARLY_SCAN);
  EXPECT_EQ(model->EnableEarlyScan(), 0);  // no longer idle
}

TEST_F(TemplateTest, SerialPortBothWays) {
  std::vector<uint8_t> text(150);
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(model->Rs232Tx(text.data(), 150), 1);
  EXPECT_EQ(device->SerialOut(), std::vector<uint8_t>(text.begin(), text.begin() + 100));
  EXPECT_EQ(model->Rs232Tx(text.data(), 0), 1);

  // 1500 bytes waiting in the scanner: the newest 1023 arrive, in order.
  std::vector<uint8_t> in(1500);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 3);
  device->QueueSerialIn(in);
  EXPECT_TRUE(Status() & QV6_STATUS_RS232_READY);
  std::vector<uint8_t> out(2000);
  int count = static_cast<int>(out.size());
  ASSERT_EQ(model->Rs232Rx(out.data(), &count), 1);
  ASSERT_EQ(count, 1023);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + count, in.end() - count));
  EXPECT_FALSE(Status() & QV6_STATUS_RS232_READY);
}

TEST_F(TemplateTest, CommandsOfTheFeedCycle) {
  Configure();
  ASSERT_EQ(model->EnableScan(1), 1);
  model->SetDestinationPocket(1);
  model->MaintenanceMode(1);
  model->EjectDocument(0);
  model->ClearPowerOnFlag();
  int mode = -1;
  model->GetOperatingMode(&mode);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(Commands(10), (std::vector<std::vector<uint8_t>>{{0, 10, 254, 1}}));
  EXPECT_EQ(Commands(11), (std::vector<std::vector<uint8_t>>{{0, 11, 1, 0}}));
  EXPECT_EQ(Commands(2).size(), 1u);
  EXPECT_EQ(Commands(3).size(), 1u);

  // A jammed current document: clear errors names it while it is the older record, 0 when it is the newer.
  sim::DocumentRecord jammed;
  jammed.sequence = 254;
  jammed.word = 0x800;
  sim::DocumentRecord older;
  older.sequence = 253;
  device->SetRecord(0, jammed);
  device->SetRecord(1, older);
  device->SetWords(0x4, 0, 0);
  ASSERT_EQ(model->ClearErrors(), 1);
  EXPECT_EQ(Commands(8).back(), (std::vector<uint8_t>{0, 8, 0}));
  EXPECT_EQ(model->expectedSequence(), 254);  // never past the sent number
}

}  // namespace
}  // namespace qv6::testing
