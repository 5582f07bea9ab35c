// The first-series template and models against the simulated QV600 and QV605: start-up over the
// mechanical blocks, the scan configuration file, status words, a document's events in one poll tick
// with the code line of a synthetic cheque, images per depth and resolution, faults, and the mechanical
// configuration stored and recalled.
#include "qv6/qv60x/qv60x_models.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "device/event_table.h"
#include "platform/byte_order.h"
#include "platform/ini.h"
#include "sim/documents/document_stack.h"
#include "sim/qv60x_feed_format.h"
#include "sim_bulk.h"
#include "testkit/micr/sample_format.h"
#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

using Bytes = std::vector<uint8_t>;

struct Recorded {
  std::mutex mutex;
  std::vector<int> events;
  std::vector<intptr_t> values;
};
Recorded& TheRecord() {
  static Recorded r;
  return r;
}
void OnEvent(int event, intptr_t value) {
  std::lock_guard lock(TheRecord().mutex);
  TheRecord().events.push_back(event);
  TheRecord().values.push_back(value);
}

const micrkit::SeriesFormat& FirstSeriesSamples() {
  for (const auto& f : micrkit::SeriesFormats()) {
    if (std::string(f.series) == "QV600, QV605") return f;
  }
  return micrkit::SeriesFormats().front();
}

// A cheque from the stack: its code line and samples in the first series' format, and raw sensor lines
// with the document bright on the document side of each sensor (the front's high-pixel end, the rear's
// low-pixel end) and dark beyond.
sim::FirstSeriesDocument MakeDocument(uint32_t seed, std::string* codeLine, int lines = 1200,
                                      int documentPixels = 520) {
  sim::documents::DocumentStack stack(seed);
  stack.AddCheque();
  auto doc = stack.Pop();
  *codeLine = doc->codeLine;
  sim::FirstSeriesDocument d;
  d.samples = doc->MagneticBytes(FirstSeriesSamples());
  d.lineCount = lines;
  for (int side = 0; side < 2; ++side) {
    Bytes& out = d.lines[static_cast<size_t>(side)];
    out.assign(static_cast<size_t>(lines) * sim::Qv60xDevice::kPixels, 10);
    for (int l = 0; l < lines; ++l) {
      for (int p = 0; p < documentPixels; ++p) {
        const int pixel = side == 0 ? sim::Qv60xDevice::kPixels - 1 - p : p;
        out[static_cast<size_t>(l) * sim::Qv60xDevice::kPixels + static_cast<size_t>(pixel)] =
            static_cast<uint8_t>(160 + (l + p) % 64);
      }
    }
  }
  return d;
}

class FirstSeriesModels : public testing::SimBulkTest {
 protected:
  void SetUp() override {
    SimBulkTest::SetUp();
    std::lock_guard lock(TheRecord().mutex);
    TheRecord().events.clear();
    TheRecord().values.clear();
    for (int e = 2; e <= 6; ++e) events_.Set(e, &OnEvent, nullptr);
    events_.SetMode(1);
  }
  template <class Model>
  std::unique_ptr<Model> Connect(sim::Model model) {
    Attach(model);
    auto m = std::make_unique<Model>(transport_);
    m->BindEvents(&events_);
    EXPECT_EQ(m->StartUp(ModelStartUp{}), 1);
    return m;
  }
  std::string WriteConfig(const std::string& body) {
    dir_.Write("scan.ini", "[QV600 CONFIG]\n" + body);
    return dir_.File("scan.ini");
  }
  std::vector<int> Events() {
    std::lock_guard lock(TheRecord().mutex);
    return TheRecord().events;
  }
  void ClearEvents() {
    std::lock_guard lock(TheRecord().mutex);
    TheRecord().events.clear();
    TheRecord().values.clear();
  }
  intptr_t ValueOf(int event) {
    std::lock_guard lock(TheRecord().mutex);
    for (size_t i = 0; i < TheRecord().events.size(); ++i) {
      if (TheRecord().events[i] == event) return TheRecord().values[i];
    }
    return 0;
  }
  int Tick(DeviceModel& m) { return m.LinkCheck() && m.PollStatus(); }

  EventTable events_;
  zc::testkit::ScratchDir dir_{"qv60x_models"};
};

TEST_F(FirstSeriesModels, StartUpFailsWhenAMechanicalBlockCannotBeRead) {
  for (uint8_t block : {64, 71, 75, 76, 87, 88}) {
    SCOPED_TRACE(block);
    Attach(sim::Model::kQv605);
    device_->SetBlockReadRefused(block, true);
    Qv605 m(transport_);
    EXPECT_EQ(m.StartUp(ModelStartUp{}), 0);
    transport_.Close();
    drv::DeviceRegistry::Instance().Reset();
    BulkLayer::Reset();
  }
  Attach(sim::Model::kQv600);
  device_->SetBlockReadRefused(76, true);  // the QV600 has no colour tables to read
  Qv600 m(transport_);
  EXPECT_EQ(m.StartUp(ModelStartUp{}), 1);
}

TEST_F(FirstSeriesModels, ConstructorsSwitchFeedingOff) {
  Attach(sim::Model::kQv600);
  NewCommands();
  { Qv600 m(transport_); }
  EXPECT_EQ(NewCommands(), (std::vector<Bytes>{{15, 1, 0, 0, 0}, {15, 1, 0, 0, 0}}));
  { Qv605 m(transport_); }
  EXPECT_EQ(NewCommands(), (std::vector<Bytes>{{15, 1, 1, 0, 0}, {15, 1, 0, 0, 0}}));
}

TEST_F(FirstSeriesModels, ScanConfigurationRulesAndWriteBack) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  const std::string file = WriteConfig(
      "RS232 Parity=5\nMICR Font=-1\nPRINTER Intensity=9\nFRONT_IMG GrayLevels=16\nMICR Save Samples=1\n"
      "FRONT_IMG Resolution=100\nFRONT_IMG Bottom=100\nFRONT_IMG Scan IniPos=7\nREAR_IMG Resolution=200\n"
      "AUXFRONT_IMG GrayLevels=2\nAUXREAR_IMG Contrast=180\nRS232 BaudeRate=1234\nRS232 StopBits=3\n");
  ASSERT_EQ(m->InitDeviceFromFile(file.c_str(), nullptr), 1);
  const first::ScanConfig& c = m->scanConfig();
  EXPECT_EQ(c.parity, 0);
  EXPECT_EQ(c.micrFont, 2);
  EXPECT_EQ(c.printerIntensity, 4);
  EXPECT_EQ(c.front.greyCode, 1);
  EXPECT_EQ(c.rear.resolution, 100);  // the rear and auxiliary sides scan like the front
  EXPECT_EQ(c.auxFront.greyCode, 1);
  EXPECT_EQ(c.auxRear.bottom, 100);
  EXPECT_EQ(c.auxRear.iniPos, 7);
  EXPECT_EQ(c.auxRear.contrast, 180);
  EXPECT_EQ(c.baudRate, 38400);
  EXPECT_EQ(c.stopBits, 2);
  char value[64];
  auto get = [&](const char* key) {
    plat::GetPrivateProfileStringA("QV600 CONFIG", key, "<none>", value, sizeof value, file.c_str());
    return std::string(value);
  };
  EXPECT_EQ(get("FRONT_IMG GrayLevels"), "16");
  EXPECT_EQ(get("RS232 Parity"), "0");
  EXPECT_EQ(get("MICR Save Samples"), "1");  // read, not written: the file keeps what it had
  EXPECT_EQ(get("AUXFRONT_IMG GrayLevels"), "2");
  EXPECT_EQ(get("AUXREAR_IMG Contrast"), "180");
  EXPECT_EQ(get("AUXFRONT_IMG Enable"), "1");
  EXPECT_EQ(get("REAR_IMG Resolution"), "100");
  EXPECT_EQ(get("PRINTER Font 12dot"), "");
}

TEST_F(FirstSeriesModels, PrepareScanWritesTheSettingsBlocksInOrder) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  const std::string file = WriteConfig("FRONT_IMG Bottom=0\nFRONT_IMG Top=1000\n");
  NewCommands();
  ASSERT_EQ(m->InitDeviceFromFile(file.c_str(), nullptr), 1);
  std::vector<int> blocks;
  for (const Bytes& b : NewCommands()) {
    if (b[0] == 9) blocks.push_back(b[1]);
  }
  EXPECT_EQ(blocks, (std::vector<int>{32, 37, 33, 38, 34, 35, 36}));
  // 100 mm at 200 dpi: pixel 787, rounded up to even.
  const Bytes front = device_->Block(32);
  ASSERT_EQ(front.size(), 28u);
  EXPECT_EQ(plat::bytes::GetBe32(&front[14]), 788u);
  EXPECT_EQ(front[0] >> 4 & 7, 2);  // depth code 2: 256 levels
}

TEST_F(FirstSeriesModels, StatusWordsInEachEventMode) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig("").c_str(), nullptr), 1);
  device_->SetStatusWord(0, 0x0211);
  device_->SetStatusWord(1, 0x0003);
  device_->SetStatusWord(3, 0x4);
  device_->SetStatusWord(8, 2);
  int status = 0, errors = 0;
  m->SetEventMode(0);
  ASSERT_EQ(m->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status), 0x80000000u | 0x0211u | 0x100000u | 0x200000u | 0x400000u);
  EXPECT_EQ(errors, 3);
  m->SetEventMode(1);
  const Bytes serial(5, 'x');
  device_->PushSerialInput(serial);
  ASSERT_EQ(m->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status), 0x80000000u | 0x0211u | 0x800000u);
}

TEST_F(FirstSeriesModels, SerialRingKeepsTheNewestBytes) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  Bytes burst(700);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<uint8_t>(i);
  int status = 0, errors = 0;
  device_->PushSerialInput(burst);
  ASSERT_EQ(m->GetStatus(&status, &errors), 1);
  for (auto& b : burst) b = static_cast<uint8_t>(b + 100);
  device_->PushSerialInput(burst);
  ASSERT_EQ(m->GetStatus(&status, &errors), 1);
  Bytes out(2000);
  int count = static_cast<int>(out.size());
  ASSERT_EQ(m->Rs232Rx(out.data(), &count), 1);
  ASSERT_EQ(count, 1023);
  EXPECT_EQ(out[1022], burst.back());
  EXPECT_EQ(out[1022 - 699], burst.front());
  count = -5;  // a negative capacity reads nothing
  EXPECT_EQ(m->Rs232Rx(out.data(), &count), 1);
  EXPECT_EQ(count, 0);
}

struct ImageCase {
  const char* name;
  sim::Model model;
  const char* config;
  int bitCount;
  int dpi;
};

class DocumentCycle : public FirstSeriesModels, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(DocumentCycle, EventsOnceWithCodeLineAndImages) {
  const ImageCase& c = GetParam();
  std::unique_ptr<ScannerDeviceTemplate> m;
  if (c.model == sim::Model::kQv600) m = Connect<Qv600>(c.model);
  else m = Connect<Qv605>(c.model);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig(c.config).c_str(), nullptr), 1);
  m->SetEventMode(1);
  std::string codeLine;
  device_->QueueDocument(MakeDocument(7, &codeLine));
  ASSERT_EQ(m->EnableScan(1), 1);
  ClearEvents();
  ASSERT_EQ(Tick(*m), 1);
  EXPECT_EQ(Events(), (std::vector<int>{6, 3, 4, 5, 2}));
  const char* line = reinterpret_cast<const char*>(ValueOf(3));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(std::string(line), codeLine);
  for (int side = 0; side < 2; ++side) {
    const auto* dib = static_cast<const uint8_t*>(reinterpret_cast<void*>(ValueOf(4 + side)));
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(plat::bytes::GetLe16(dib + 14), c.bitCount);
    // Cropped to the document across the sensor (at most the window), the lines along it.
    const int width = static_cast<int>(plat::bytes::GetLe32(dib + 4));
    EXPECT_EQ(width, 1200 * c.dpi / 200);
  }
  // Serial bytes after the document change the status again but bring no second delivery.
  const Bytes serial(3, 'z');
  device_->PushSerialInput(serial);
  ClearEvents();
  ASSERT_EQ(Tick(*m), 1);
  EXPECT_EQ(Events(), (std::vector<int>{2}));
}

INSTANTIATE_TEST_SUITE_P(
    Depths, DocumentCycle,
    ::testing::Values(ImageCase{"Qv600Grey200", sim::Model::kQv600, "", 8, 200},
                      ImageCase{"Qv600Sixteen200", sim::Model::kQv600, "FRONT_IMG GrayLevels=16\n", 4, 200},
                      ImageCase{"Qv600Grey100", sim::Model::kQv600, "FRONT_IMG Resolution=100\n", 8, 100},
                      ImageCase{"Qv605Grey200", sim::Model::kQv605, "", 8, 200},
                      ImageCase{"Qv605Grey100", sim::Model::kQv605, "FRONT_IMG Resolution=100\n", 8, 100},
                      ImageCase{"Qv605Colour200", sim::Model::kQv605, "FRONT_IMG Color=1\n", 24, 200},
                      ImageCase{"Qv605Colour100", sim::Model::kQv605,
                                "FRONT_IMG Color=1\nFRONT_IMG Resolution=100\n", 24, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FirstSeriesModels, CroppingOffGivesTheFrontEventRightAfterItsRead) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig("CROP_IMAGE Enable=0\nMICR Enable=0\n").c_str(), nullptr), 1);
  m->SetEventMode(1);
  std::string codeLine;
  device_->QueueDocument(MakeDocument(3, &codeLine));
  ASSERT_EQ(m->EnableScan(1), 1);
  ClearEvents();
  ASSERT_EQ(Tick(*m), 1);
  EXPECT_EQ(Events(), (std::vector<int>{6, 4, 5, 2}));
}

TEST_F(FirstSeriesModels, BlackAndWhiteSidesStayUnreadWithoutEvents) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig("FRONT_IMG GrayLevels=2\n").c_str(), nullptr), 1);
  m->SetEventMode(1);
  std::string codeLine;
  device_->QueueDocument(MakeDocument(3, &codeLine));
  ASSERT_EQ(m->EnableScan(1), 1);
  ClearEvents();
  ASSERT_EQ(Tick(*m), 1);
  EXPECT_EQ(Events(), (std::vector<int>{6, 3, 2}));
  EXPECT_EQ(m->GetFrontImageDIBPtr(), nullptr);
}

TEST_F(FirstSeriesModels, EventModeZeroGettersFetchThemselves) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig("").c_str(), nullptr), 1);
  m->SetEventMode(0);
  std::string codeLine;
  device_->QueueDocument(MakeDocument(11, &codeLine));
  ASSERT_EQ(m->EnableScan(1), 1);
  const char* line = m->GetMicrCodelinePtr();
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(std::string(line), codeLine);
  EXPECT_NE(m->GetFrontImageDIBPtr(), nullptr);
  EXPECT_NE(m->GetRearImageDIBPtr(), nullptr);
}

TEST_F(FirstSeriesModels, JamAndDoubleFeedRaiseOnlyTheStatusChange) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig("").c_str(), nullptr), 1);
  m->SetEventMode(1);
  std::string codeLine;
  for (bool jam : {true, false}) {
    SCOPED_TRACE(jam ? "jam" : "double feed");
    sim::FirstSeriesDocument bad = MakeDocument(5, &codeLine);
    (jam ? bad.jam : bad.doubleFeed) = true;
    device_->QueueDocument(bad);
    ASSERT_EQ(m->EnableScan(1), 1);
    ClearEvents();
    ASSERT_EQ(Tick(*m), 1);
    EXPECT_EQ(Events(), (std::vector<int>{2}));
    int status = 0, errors = 0;
    ASSERT_EQ(m->GetStatus(&status, &errors), 1);
    EXPECT_TRUE(status & (jam ? sim::Qv60xDevice::kJam : sim::Qv60xDevice::kDoubleFeed));
    EXPECT_NE(errors, 0);
    ASSERT_EQ(m->ClearErrors(), 1);
  }
  device_->QueueDocument(MakeDocument(6, &codeLine));
  ASSERT_EQ(m->EnableScan(1), 1);
  ClearEvents();
  ASSERT_EQ(Tick(*m), 1);
  EXPECT_EQ(Events(), (std::vector<int>{6, 3, 4, 5, 2}));
}

TEST_F(FirstSeriesModels, ImageTotalIsCappedAndShortDataBuildsOnlyWholeLines) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig("CROP_IMAGE Enable=0\n").c_str(), nullptr), 1);
  m->SetEventMode(1);
  std::string codeLine;
  // 65535 lines of 832 bytes would be about 54 MB; the document itself has only 1200 lines.
  sim::FirstSeriesDocument d = MakeDocument(9, &codeLine);
  device_->QueueDocument(d);
  ASSERT_EQ(m->EnableScan(1), 1);
  device_->SetStatusWord(6, 0xFFFF);
  ASSERT_EQ(Tick(*m), 1);
  EXPECT_EQ(m->lastImageRequest(), first::kQv600ImageCap);
  EXPECT_EQ(m->image(0).GetWidth(), 1200);
}

TEST_F(FirstSeriesModels, ReadNewImageEncodesItsWindowFromTenthsOfAMillimetre) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig("CROP_IMAGE Enable=0\n").c_str(), nullptr), 1);
  m->SetEventMode(0);
  struct Case {
    int startPos, endPos;
    uint32_t start, end;  // sensor pixels at 200 dpi, 832 valid
  } cases[] = {
      {200, 600, 156, 472},  // 157.4 down to even, 472.4 up to even
      {-300, 0, 596, 832},   // counted back from the last valid pixel; an end not above the start
      {1200, 2000, 0, 832},  // beyond the valid pixels
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.startPos);
    std::string codeLine;
    device_->QueueDocument(MakeDocument(13, &codeLine));
    ASSERT_EQ(m->EnableScan(1), 1);
    int status = 0, errors = 0;
    ASSERT_EQ(m->GetStatus(&status, &errors), 1);
    ASSERT_EQ(m->ReadNewImage({0, 2, 0, 200, 0, 0, c.startPos, c.endPos}), 1);
    for (uint8_t block : {32, 37}) {
      const Bytes b = device_->Block(block);
      ASSERT_EQ(b.size(), 28u);
      EXPECT_EQ(plat::bytes::GetBe32(&b[10]), c.start) << int{block};
      EXPECT_EQ(plat::bytes::GetBe32(&b[14]), c.end) << int{block};
    }
    // The scanner sends the window it was given, one image row per window pixel.
    EXPECT_EQ(m->image(0).GetHeight(), static_cast<int>(c.end - c.start));
    m->EjectDocument(0);
  }
}

TEST(Qv600Lines, BytesPerLineAndLinesPerDepthAndResolution) {
  struct Case {
    int depth, dpi, w6;
    uint32_t bytes, lines;
  } cases[] = {{0, 200, 1203, 128, 1200}, {1, 200, 1203, 448, 1202}, {2, 200, 1203, 832, 1203},
               {0, 100, 1203, 64, 601},   {1, 100, 1203, 256, 601},  {2, 100, 1203, 448, 601}};
  for (const Case& c : cases) {
    const first::LineGeometry g = first::Qv600Lines(832, c.depth, c.dpi, c.w6);
    EXPECT_EQ(g.bytesPerLine, c.bytes) << c.depth << " " << c.dpi;
    EXPECT_EQ(g.lines, c.lines) << c.depth << " " << c.dpi;
  }
  // Colour: three planes each rounded up to 64 bytes.
  EXPECT_EQ(first::Qv605Lines(800, 3, 200, false, 10).bytesPerLine, 2496u);
  EXPECT_EQ(first::Qv605Lines(800, 3, 100, false, 10).bytesPerLine, 3u * 448u);
  EXPECT_EQ(first::Qv605Lines(832, 4, 200, false, 10).bytesPerLine, 0u);
}

TEST_F(FirstSeriesModels, MechanicalIniRulesAndWriteBack) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  dir_.Write("mech.ini",
             "[SCAN]\nPath Length=300\n[FRONT IMG MODULE]\nPosition=333\n[ADC FRONT]\nOffset=-5\n"
             "[ADC REAR]\nOffset=40\nGain=70\n[MICR HEAD]\nPosition=101\n[MOTOR]\nAccel.#03 Speed=77\n");
  const std::string file = dir_.File("mech.ini");
  ASSERT_EQ(m->SetMechConfig(file.c_str(), 1), 1);
  EXPECT_EQ(device_->Block(64)[11], 333 - 256);  // above the path length: the default
  EXPECT_EQ(device_->Block(66)[1], 37);
  EXPECT_EQ(device_->Block(67)[1], 31);
  EXPECT_EQ(device_->Block(67)[4], 63);
  EXPECT_EQ(device_->StoredBlock(66), device_->Block(66));
  const std::string out = dir_.File("out.ini");
  ASSERT_EQ(m->GetMechConfig(out.c_str(), 1), 1);
  EXPECT_EQ(plat::GetPrivateProfileIntA("ADC FRONT", "Offset", 99, out.c_str()), -5);
  EXPECT_EQ(plat::GetPrivateProfileIntA("ADC REAR", "Offset", 99, out.c_str()), 31);
  EXPECT_EQ(plat::GetPrivateProfileIntA("MICR HEAD", "Position", 0, out.c_str()), 101);
  EXPECT_EQ(plat::GetPrivateProfileIntA("MOTOR", "Accel.#03 Speed", 0, out.c_str()), 77);
  // A new file has its sections in the table's order.
  const std::string text = dir_.Read("out.ini");
  EXPECT_LT(text.find("[REAR IMG MODULE]"), text.find("[ADC FRONT]"));
  EXPECT_LT(text.find("[ADC REAR]"), text.find("[MICR HEAD]"));
  EXPECT_LT(text.find("[PRINTER]"), text.find("[MOTOR]"));
}

TEST_F(FirstSeriesModels, EndorsementBlockColumnsAndWidthChecks) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  // Three columns, twelve rows of 4 bytes: column 0 inked on every row, column 2 on rows 0 and 11.
  Bytes bits(12 * 4, 0);
  for (int r = 0; r < 12; ++r) bits[static_cast<size_t>(r) * 4] = 0x80;
  bits[0] |= 0x20;
  bits[11 * 4] |= 0x20;
  ASSERT_EQ(m->PrintBitmap(bits.data(), 3, 12, 0x0123, 2), 1);
  EXPECT_EQ(device_->LastPrint(), (Bytes{96, 0x01, 0x23, 0, 2, 0, 0xFF, 0x0F, 0, 0, 0x01, 0x08}));
  // Without flags bit 1 a nozzle fires where the bit is 0.
  ASSERT_EQ(m->PrintBitmap(bits.data(), 3, 12, 0, 0), 1);
  EXPECT_EQ(device_->LastPrint(), (Bytes{96, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x0F, 0xFE, 0x07}));
  // Missing rows print no ink; impossible widths are refused before anything is sent.
  ASSERT_EQ(m->PrintBitmap(bits.data(), 3, 2, 0, 0), 1);
  EXPECT_EQ(device_->LastPrint(), (Bytes{96, 0, 0, 0, 0, 0, 0, 0, 0x03, 0, 0x02, 0}));
  NewCommands();
  EXPECT_EQ(m->PrintBitmap(bits.data(), -1, 12, 0, 0), 0);
  EXPECT_EQ(m->PrintBitmap(bits.data(), 0x7FFFFFF0, 12, 0, 0), 0);
  EXPECT_EQ(m->PrintBitmap(nullptr, 3, 12, 0, 0), 0);
  EXPECT_TRUE(NewCommands().empty());
  ASSERT_EQ(m->PrintBitmap(nullptr, 0, 12, 0, 0), 1);
  EXPECT_EQ(device_->LastPrint(), (Bytes{96, 0, 0, 0, 0, 0}));
}

TEST_F(FirstSeriesModels, MicrSampleCountRoundsDownToWholeReads) {
  auto m = Connect<Qv600>(sim::Model::kQv600);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig("MICR Enable=0\n").c_str(), nullptr), 1);
  m->SetEventMode(1);
  sim::FirstSeriesDocument d;
  d.lineCount = 0;
  d.samples.assign(80000, 0x11);
  device_->QueueDocument(d);
  ASSERT_EQ(m->EnableScan(1), 1);
  device_->SetStatusWord(9, 40000);
  ASSERT_EQ(Tick(*m), 1);
  EXPECT_EQ(m->micrSamples().byteCount, 65408);
  EXPECT_EQ(m->micrSamples().samples[0], 0x1111);
}

TEST_F(FirstSeriesModels, Qv605StoreLoadsTwelveTablesAndRecallReturnsThem) {
  auto m = Connect<Qv605>(sim::Model::kQv605);
  dir_.Write("mech.ini",
             "[FRONT IMG SENSOR]\nType=2\nN. total pixel=3000\nFirst pixel #=10\nN. valid pixel=832\n"
             "[REAR IMG SENSOR]\nType=2\nFirst pixel #=900\n[LIGHT]\nRear G coeff.=300\nFront R coeff.=17\n");
  const std::string file = dir_.File("mech.ini");
  Bytes table(832, 0);  // a rear table: the rear module's 832 valid pixels
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i * 3);
  ASSERT_EQ(m->LoadMechConfigFromIni(file.c_str()), 1);
  EXPECT_EQ(m->module(0).pixels, 832);
  EXPECT_EQ(m->module(0).valid, 822);
  EXPECT_EQ(m->module(1).first, 0);
  const Bytes front13(m->colourTable(13).begin(), m->colourTable(13).end());
  const Bytes rear20(m->colourTable(20).begin(), m->colourTable(20).end());
  NewCommands();
  ASSERT_EQ(m->SetCfgData(19, table.data(), static_cast<int>(table.size())), 1);
  EXPECT_TRUE(NewCommands().empty());  // memory only until the store
  EXPECT_EQ(m->colourTable(19)[5], 15);
  EXPECT_EQ(Bytes(m->colourTable(13).begin(), m->colourTable(13).end()), front13);
  EXPECT_EQ(Bytes(m->colourTable(20).begin(), m->colourTable(20).end()), rear20);
  ASSERT_EQ(m->SetMechConfig(nullptr, 1), 1);
  EXPECT_EQ(device_->tableLoads(), 1);
  EXPECT_EQ(device_->StoredBlock(82)[5], 15);
  EXPECT_EQ(device_->StoredBlock(88)[0], 17);
  EXPECT_EQ(device_->StoredBlock(88)[4], 255);
  Bytes back(832, 0);
  ASSERT_EQ(m->GetMechConfig(dir_.File("out.ini").c_str(), 1), 1);
  ASSERT_EQ(m->GetCfgData(19, back.data(), static_cast<int>(back.size())), 1);
  EXPECT_EQ(back, table);
}

// The linear stretch of a black and a white level, entry i.
int Stretch(int black, int white, int i) {
  if (i == 0) return 0;
  if (i > black && i < white) return 255 * (i - black) / (white - black);
  return i > black ? 255 : 0;
}

TEST_F(FirstSeriesModels, Qv605AssemblersTakeTheTablesAndMixGreyByTheIntensities) {
  // White and black of each colour channel: tables 13/14 red, 15/16 green, 17/18 blue (rear 19-24).
  const int levels[6] = {200, 20, 100, 10, 250, 40};
  const char* intensities =
      "FRONT_IMG RED Intensity=50\nFRONT_IMG GREEN Intensity=30\nFRONT_IMG BLU Intensity=20\n"
      "REAR_IMG RED Intensity=10\nREAR_IMG GREEN Intensity=10\nREAR_IMG BLU Intensity=80\n";
  for (bool colour : {false, true}) {
    SCOPED_TRACE(colour ? "colour" : "grey");
    auto m = Connect<Qv605>(sim::Model::kQv605);
    dir_.Write("mech.ini", "[FRONT IMG SENSOR]\nType=2\nFirst pixel #=10\n[REAR IMG SENSOR]\nType=2\n");
    ASSERT_EQ(m->LoadMechConfigFromIni(dir_.File("mech.ini").c_str()), 1);
    for (int side = 0; side < 2; ++side) {
      const int valid = side == 0 ? 822 : 832;
      for (int t = 0; t < 6; ++t) {
        Bytes table(static_cast<size_t>(valid), static_cast<uint8_t>(levels[t] + side));
        ASSERT_EQ(m->SetCfgData(13 + side * 6 + t, table.data(), valid), 1);
      }
      Bytes white(static_cast<size_t>(valid), 230), black(static_cast<size_t>(valid), 5);
      ASSERT_EQ(m->SetCfgData(side == 0 ? 1 : 3, white.data(), valid), 1);
      ASSERT_EQ(m->SetCfgData(side == 0 ? 2 : 4, black.data(), valid), 1);
    }
    const std::string config = std::string(intensities) + (colour ? "FRONT_IMG Color=1\n" : "");
    ASSERT_EQ(m->InitDeviceFromFile(WriteConfig(config).c_str(), nullptr), 1);
    for (int side = 0; side < 2; ++side) {
      SCOPED_TRACE(side);
      const CLoadScanLines& l = m->assembler(side);
      const int valid = side == 0 ? 822 : 832;
      EXPECT_EQ(l.GetScanType(), 3);
      EXPECT_EQ(l.GetCalibratedPixels(), valid);
      // Kind 2c is channel c's black, 2c + 1 its white; beyond the table the constructor's levels stay.
      const int kindOf[6] = {3, 2, 5, 4, 7, 6};
      for (int t = 0; t < 6; ++t) {
        EXPECT_EQ(l.GetCalibrationLine(static_cast<unsigned>(kindOf[t]))[static_cast<size_t>(valid) - 1],
                  levels[t] + side);
      }
      EXPECT_EQ(l.GetCalibrationLine(1)[0], 230);
      EXPECT_EQ(l.GetCalibrationLine(0)[0], 5);
      EXPECT_EQ(l.GetCalibrationLine(3)[static_cast<size_t>(valid)], 255);
      const int W[3] = {levels[0] + side, levels[2] + side, levels[4] + side};
      const int B[3] = {levels[1] + side, levels[3] + side, levels[5] + side};
      for (int i : {0, 30, 100, 180, 255}) {
        SCOPED_TRACE(i);
        if (colour) {
          for (int plane = 0; plane < 3; ++plane) {
            EXPECT_EQ(l.GetLookupTable(plane, 7)[static_cast<size_t>(i)], Stretch(B[plane], W[plane], i));
          }
        } else {
          // Ratios front (50, 30, 20), rear (10, 10, 80).
          const int w[3] = {side == 0 ? 50 : 10, side == 0 ? 30 : 10, side == 0 ? 20 : 80};
          const int white = (w[0] * W[0] + w[1] * W[1] + w[2] * W[2]) / 100;
          const int black = (w[0] * B[0] + w[1] * B[1] + w[2] * B[2]) / 100;
          EXPECT_EQ(l.GetLookupTable(0, 7)[static_cast<size_t>(i)], Stretch(black, white, i));
        }
      }
    }
    transport_.Close();
    drv::DeviceRegistry::Instance().Reset();
    BulkLayer::Reset();
  }
}

// Faults of a document's data phases on demand (the samples, the front image) and of a status reply:
// each loses only its own data, and the next document scans whole with the feeder's code line.
using DataInFault = sim::FirstSeriesDevice::DataInFault;
struct DataFaultCase {
  const char* name;
  uint8_t opcode;  // 11 image (the front comes first), 12 samples; 0: the status reply comes back empty
  DataInFault fault;
  size_t bytes;  // kShort: what the scanner sends
  std::vector<int> events;
  int frontWidth;  // -1: no front image
  bool codeLine;   // the code line is read
};

class DataFaults : public FirstSeriesModels, public ::testing::WithParamInterface<DataFaultCase> {};

TEST_P(DataFaults, LoseOnlyTheirOwnDataAndTheNextDocumentScans) {
  const DataFaultCase& c = GetParam();
  auto m = Connect<Qv600>(sim::Model::kQv600);
  ASSERT_EQ(m->InitDeviceFromFile(WriteConfig("CROP_IMAGE Enable=0\n").c_str(), nullptr), 1);
  m->SetEventMode(1);
  sim::documents::DocumentStack stack(41);
  stack.AddCheque();
  stack.AddCheque();
  auto feeder = std::make_shared<sim::Qv60xDocumentFeeder>(std::move(stack), sim::Qv60xLayout{});
  device_->SetDocumentSource(feeder);

  ASSERT_EQ(m->EnableScan(1), 1);
  ClearEvents();
  if (c.opcode == 0) {
    device_->SetBlockReadRefused(sim::Qv60xDevice::kStatusBlock, true);
    EXPECT_EQ(Tick(*m), 0) << "an empty status reply is refused";
    EXPECT_TRUE(Events().empty());
    device_->SetBlockReadRefused(sim::Qv60xDevice::kStatusBlock, false);
  } else {
    device_->FailNextDataIn(c.opcode, c.fault, c.bytes);
  }
  ASSERT_EQ(Tick(*m), 1);
  EXPECT_EQ(Events(), c.events);
  const void* front = reinterpret_cast<void*>(ValueOf(4));
  if (c.frontWidth < 0) {
    EXPECT_EQ(front, nullptr);
  } else {
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(static_cast<int>(plat::bytes::GetLe32(static_cast<const uint8_t*>(front) + 4)), c.frontWidth);
  }
  const char* line = reinterpret_cast<const char*>(ValueOf(3));
  EXPECT_EQ(line != nullptr && std::string(line) == feeder->feeder().RecordOf(0)->codeLine, c.codeLine);

  ASSERT_EQ(Tick(*m), 1);  // the host polls on and sees the ready marks drop
  ASSERT_EQ(m->EnableScan(1), 1);
  ClearEvents();
  ASSERT_EQ(Tick(*m), 1);
  EXPECT_EQ(Events(), (std::vector<int>{6, 3, 4, 5, 2}));
  line = reinterpret_cast<const char*>(ValueOf(3));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(std::string(line), feeder->feeder().RecordOf(1)->codeLine);
}

INSTANTIATE_TEST_SUITE_P(
    OnDemand, DataFaults,
    ::testing::Values(
        DataFaultCase{"EmptySamples", 12, DataInFault::kEmpty, 0, {6, 3, 4, 5, 2}, 1200, false},
        DataFaultCase{"SamplesTimeOut", 12, DataInFault::kTimeOut, 0, {6, 3, 4, 5, 2}, 1200, false},
        DataFaultCase{"EmptyFrontImage", 11, DataInFault::kEmpty, 0, {6, 3, 5, 2}, -1, true},
        DataFaultCase{"FrontImageTimesOut", 11, DataInFault::kTimeOut, 0, {6, 3, 5, 2}, -1, true},
        DataFaultCase{"ShortFrontImage", 11, DataInFault::kShort, 100 * 832 + 500, {6, 3, 4, 5, 2}, 100, true},
        DataFaultCase{"EmptyStatusReply", 0, DataInFault::kNone, 0, {6, 3, 4, 5, 2}, 1200, true}),
    [](const ::testing::TestParamInfo<DataFaultCase>& p) { return std::string(p.param.name); });

TEST(IntensityDrop, ScalesFromTheSideItsModuleStarts) {
  CDib grey;
  ASSERT_EQ(grey.Create(4, 1, 8, 200), 1);
  std::fill_n(grey.GetBits(), 4, 100);
  first::CorrectIntensityDrop(grey, 0.1, false);
  EXPECT_EQ(Bytes(grey.GetBits(), grey.GetBits() + 4), (Bytes{100, 110, 120, 130}));
  std::fill_n(grey.GetBits(), 4, 200);
  first::CorrectIntensityDrop(grey, 0.1, true);
  EXPECT_EQ(Bytes(grey.GetBits(), grey.GetBits() + 4), (Bytes{255, 240, 220, 200}));
  CDib nibbles;
  ASSERT_EQ(nibbles.Create(4, 1, 4, 200), 1);
  std::fill_n(nibbles.GetBits(), 2, 0x99);
  first::CorrectIntensityDrop(nibbles, 0.5, false);
  EXPECT_EQ(Bytes(nibbles.GetBits(), nibbles.GetBits() + 2), (Bytes{0x99, 0xEE}));
  first::CorrectIntensityDrop(nibbles, 0.0, false);
  EXPECT_EQ(nibbles.GetBits()[1], 0xEE);
}

}  // namespace
}  // namespace qv6
