// The QV63x scan cycle's other roads: getters of an application that takes no events, the raw samples
// saved to "Qv6MICRSamples.dat", a sample count beyond the buffer, and endorsement text placed in the host
// buffer that goes to the scanner before the feed.
#include <filesystem>

#include "qv6/later/later_blocks.h"
#include "qv6/later/status_words.h"
#include "scan_fixture.h"
#include "testkit/support/file_bytes.h"

namespace qv6::testing {
namespace {

class ScanGetters : public ScanTest {};

TEST_F(ScanGetters, EventModeZeroGettersFetchOnceThenHoldTheResult) {
  Use<Qv630>(sim::Model::kQv630, {}, 1);
  model->SetEventMode(0);
  Configure("");
  ASSERT_EQ(model->EnableScan(1), 1);
  int status = 0, errors = 0;
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  const uint32_t ready = QV6_STATUS_MICR_READY | QV6_STATUS_FRONT_READY | QV6_STATUS_REAR_READY;
  EXPECT_EQ(static_cast<uint32_t>(status) & ready, ready);  // from the document word, nothing read yet
  EXPECT_TRUE(Received(kBlockImageTransfer).empty());

  void* front = model->GetFrontImageDIBPtr();
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(Received(kBlockImageTransfer).size(), 2u);
  EXPECT_EQ(model->GetFrontImageDIBPtr(), front);
  EXPECT_NE(model->GetRearImageDIBPtr(), nullptr);
  EXPECT_EQ(Received(kBlockImageTransfer).size(), 2u);  // held: no second transfer

  const char* line = model->GetMicrCodelinePtr();
  ASSERT_NE(line, nullptr);
  EXPECT_NE(std::string(line), "");
  EXPECT_EQ(model->GetMicrCodelinePtr(), line);
  EXPECT_EQ(Received(kBlockMicrRequest).size(), 1u);
  EXPECT_TRUE(Recorded().empty());  // mode 0 delivers nothing
}

TEST_F(ScanGetters, WithoutCroppingEachSideComesAsSoonAsItIsHeldAndKeepsTheWholeSensor) {
  Use<Qv630>(sim::Model::kQv630, {}, 1);
  Configure("CROP_IMAGE Enable=0\r\n");
  ASSERT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  EXPECT_EQ(ReadPackedDib(reinterpret_cast<void*>(Event(4)->value)).height, 832);
  EXPECT_EQ(ReadPackedDib(model->GetRearImageDIBPtr()).height, 832);
}

// The new-image request of the QV62x form: side, grey-level code, -, resolution, -, -, bottom, top.
TEST_F(ScanGetters, NewImageRequestFetchesTheSideAgainWithItsWindow) {
  Use<Qv630>(sim::Model::kQv630, {}, 1);
  model->SetEventMode(0);
  Configure("");
  ASSERT_EQ(model->EnableScan(1), 1);
  ASSERT_NE(model->GetFrontImageDIBPtr(), nullptr);
  ASSERT_EQ(Received(kBlockImageTransfer).size(), 2u);
  ASSERT_EQ(model->ReadNewImage({0, 2, 0, 200, 0, 0, 254, 1016}), 1);
  ASSERT_EQ(Received(kBlockImageTransfer).size(), 3u);
  // One to four inches above the track: good pixels 200 to 799, uncropped.
  HeldImage front = ReadPackedDib(model->GetFrontImageDIBPtr());
  EXPECT_EQ(front.height, 600);
  EXPECT_EQ(model->lastWindow(0)->lower, 200);
}

// Correction tables reach the scan-line loaders when the scan configuration is loaded: a table changed
// between documents applies from the next initialisation, not from the next document.
TEST_F(ScanGetters, ChangedCorrectionTableAppliesFromTheNextInitialisation) {
  Use<Qv630>(sim::Model::kQv630, {}, 3);
  Configure("");
  auto frontMatchesTheScanner = [&]() {
    EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
    const HeldImage got = ReadPackedDib(model->GetFrontImageDIBPtr());
    const auto want = Expected(model->expectedSequence(), 200);
    return got.width == want[0].width && got.height == want[0].height && got.pixels == want[0].pixels;
  };
  EXPECT_TRUE(frontMatchesTheScanner());

  // A white reference at half scale doubles the front's levels once it is in use.
  const std::vector<uint8_t> white(2048, 0x80);
  ASSERT_EQ(model->SetCfgData(1, white.data(), static_cast<int>(white.size())), 1);
  EXPECT_TRUE(frontMatchesTheScanner()) << "the loaders kept the tables of the last initialisation";

  Configure("");
  EXPECT_FALSE(frontMatchesTheScanner()) << "the initialisation loaded the changed table";
}

TEST_F(ScanGetters, SixteenGreyLevelsGiveFourBitImages) {
  Use<Qv630>(sim::Model::kQv630, {}, 1);
  Configure("FRONT_IMG GrayLevels=16\r\n");
  ASSERT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  EXPECT_EQ(ReadPackedDib(model->GetFrontImageDIBPtr()).bitCount, 4);
  EXPECT_EQ(ReadPackedDib(model->GetRearImageDIBPtr()).bitCount, 4);
}

TEST_F(ScanGetters, SavedSamplesAreTheBytesEventSixHandsOver) {
  Use<Qv630>(sim::Model::kQv630, {}, 1);
  Configure("MICR Save Samples=1\r\n");
  ASSERT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  ASSERT_TRUE(std::filesystem::is_regular_file("Qv6MICRSamples.dat"));
  const std::vector<uint8_t> saved = zc::testkit::ReadFileBytes("Qv6MICRSamples.dat");
  EXPECT_FALSE(saved.empty());
  EXPECT_EQ(saved, Event(6)->bytes);
}

TEST_F(ScanGetters, SampleCountBeyondTheBufferReadsAtMost65436Bytes) {
  Attach(sim::Model::kQv630);
  model->BindEvents(&events);
  for (int e = 2; e <= 6; ++e) events.Set(e, &RecordEvent, nullptr);
  events.SetDelivery(1, 0, 0);
  model->SetEventMode(1);
  Configure("");
  sim::DocumentRecord record;
  record.word = 0x10;  // samples only
  record.samples = 40000;
  device->QueueDocument(record);
  device->QueuePipeData(2, std::vector<uint8_t>(80000, 0x80));
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 2}));
  EXPECT_EQ(model->micrSamples().byteCount, 65436);
}

// A glyph for 'A' whose column c has the dots of rows c and 11 - c.
void WriteFont() {
  std::vector<uint8_t> font(2048, 0);
  const size_t at = 20 * ('A' - 32);
  for (int c = 0; c < 10; ++c) {
    const uint16_t word = static_cast<uint16_t>((1u << c) | (1u << (11 - c)));
    font[at + 2 * static_cast<size_t>(c)] = static_cast<uint8_t>(word);
    font[at + 2 * static_cast<size_t>(c) + 1] = static_cast<uint8_t>(word >> 8);
  }
  zc::testkit::WriteFileBytes("Qv600_IJAsciiFont.bin", font);
}

TEST_F(ScanGetters, PrintedTextLandsAtItsColumnsOfTheUploadedBuffer) {
  struct Case {
    bool qv840;
    int position1;
    int position2;
    int firstColumn;  // where glyph column 0 lands
    int step;         // -1: backwards toward column 0
    int columns;      // glyph columns inside the buffer
  } cases[] = {
      {false, 0, 100, 9, -1, 10},     // position 100 at density 0: column 10, backwards
      {false, 0, 50, 4, -1, 5},       // only the columns from 4 down to 0 fit
      {true, 100, 0, 9, 1, 10},       // the QV840 takes the first position and runs forward
      {true, 100000, 0, 4998, 1, 1},  // start column at most 4999: 5000 - n columns, one
  };
  WriteFont();
  for (const Case& c : cases) {
    if (c.qv840) {
      Use<Qv840>(sim::Model::kQv840, {}, 1, true);
    } else {
      Use<Qv630>(sim::Model::kQv630, {}, 1);
    }
    Configure("PRINTER Enable=1\r\nPRINTER Density=0\r\n");
    ASSERT_EQ(model->StringToPrint("A", 1, c.position1, c.position2, 1), 1);
    ASSERT_EQ(model->EnableScan(1), 1);
    std::vector<uint8_t> pipe = device->PipeReceived(3);
    ASSERT_GE(pipe.size(), 10000u);
    std::vector<uint8_t> buffer(pipe.end() - 10000, pipe.end());
    std::vector<uint8_t> want(10000, 0);
    for (int k = 0; k < c.columns; ++k) {
      const uint16_t word = static_cast<uint16_t>((1u << k) | (1u << (11 - k)));
      const auto column = static_cast<size_t>(c.firstColumn + c.step * k);
      want[2 * column] = static_cast<uint8_t>(word);
      want[2 * column + 1] = static_cast<uint8_t>(word >> 8);
    }
    auto nonZero = [](const std::vector<uint8_t>& b) {
      std::string out;
      for (size_t i = 0; i < b.size(); ++i) {
        if (b[i] != 0) out += std::to_string(i) + ":" + std::to_string(b[i]) + " ";
      }
      return out;
    };
    EXPECT_EQ(nonZero(buffer), nonZero(want)) << "position " << c.position1 << "/" << c.position2;
  }
}

}  // namespace
}  // namespace qv6::testing
