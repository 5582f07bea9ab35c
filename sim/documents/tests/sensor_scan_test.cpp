// Raw scan lines: which column and row each raw byte shows, for both pixel orders, half size, the
// channel cycling of colour scans and refused requests.
#include "sim/documents/sensor_scan.h"

#include <gtest/gtest.h>

namespace sim::documents {
namespace {

// A small grey side whose every pixel encodes its position: value 100 + (x * 7 + y * 3) % 150.
SideImage Ramp(int w, int h) {
  SideImage img(w, h, 200);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const auto v = static_cast<uint8_t>(100 + (x * 7 + y * 3) % 150);
      img.Set(x, y, Rgb{v, v, v});
    }
  }
  return img;
}

uint8_t Grey(const SideImage& img, int x, int y) {
  return img.At(x, y).r;
}

TEST(SensorScan, RawBytesShowTheColumnAndRowOfTheGeometry) {
  const SideImage img = Ramp(20, 12);
  struct Case {
    const char* name;
    SensorGeometry sensor;
    bool reversed;
    bool half;
  };
  const Case cases[] = {
      {"bottom-up", {4, 30, 40, false, 0}, false, false},
      {"top-down", {6, 30, 40, true, 0}, false, false},
      {"reversed columns", {4, 30, 40, false, 0}, true, false},
      {"document offset", {4, 30, 40, false, 3}, false, false},
      {"half size", {4, 30, 40, false, 0}, false, true},
      {"half size top-down", {6, 30, 40, true, 0}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SideScan scan;
    scan.image = &img;
    scan.sensor = c.sensor;
    scan.columnsReversed = c.reversed;
    scan.leadLines = 2;
    TransferRequest req{0, 2 + 20 + 2, 0, 40, c.half};
    const std::vector<uint8_t> raw = RenderRawLines(scan, req);
    ASSERT_EQ(raw.size(), static_cast<size_t>(req.Lines() * req.Pixels()));
    const int step = c.half ? 2 : 1;
    for (int t = 0; t < req.Lines(); ++t) {
      const int line = t * step;
      const int d = line - 2;
      for (int u = 0; u < req.Pixels(); ++u) {
        const int s = u * step;
        const int rel = s - c.sensor.startPixel;
        int expected;
        if (rel < 0 || rel >= c.sensor.goodPixels) {
          expected = 0;
        } else {
          const int g = c.sensor.topDown ? c.sensor.goodPixels - 1 - rel : rel;
          const int above = g - c.sensor.documentOffset;
          if (d < 0 || d >= img.width || above < 0 || above >= img.height) {
            expected = kBackground;
          } else {
            expected = Grey(img, c.reversed ? img.width - 1 - d : d, img.height - 1 - above);
          }
        }
        ASSERT_EQ(raw[static_cast<size_t>(t * req.Pixels() + u)], expected)
            << "line " << line << " pixel " << s;
      }
    }
  }
}

TEST(SensorScan, LinesCycleThroughTheChannelRecordsFromTheDocumentStart) {
  SideImage img(40, 4, 200);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 40; ++x) img.Set(x, y, Rgb{200, 120, 60});
  }
  SideScan scan;
  scan.image = &img;
  scan.sensor = {0, 8, 8, false, 0};
  scan.leadLines = 3;
  scan.linesPerInch = 300;  // colour mode 2 timing: three lines for every two columns
  scan.lights = HostLights(ColourMode::kColourAltTiming);
  EXPECT_EQ(scan.DocumentLines(), 60);
  EXPECT_EQ(scan.ColumnOf(3 + 3), 2);
  EXPECT_EQ(scan.ColumnOf(3 + 4), 2);
  EXPECT_EQ(scan.ColumnOf(3 + 59), 39);
  EXPECT_EQ(scan.ColumnOf(3 + 60), -1);
  EXPECT_EQ(scan.ColumnOf(2), -1);
  const std::vector<uint8_t> raw = RenderRawLines(scan, TransferRequest{3, 9, 0, 8, false});
  ASSERT_EQ(raw.size(), 48u);
  const uint8_t cycle[] = {120, 60, 200};  // green, blue, red LEDs
  for (int t = 0; t < 6; ++t) EXPECT_EQ(raw[static_cast<size_t>(t * 8)], cycle[t % 3]) << t;

  // Grey lights all three LEDs: the mean of the channels.
  scan.lights = HostLights(ColourMode::kGrey);
  EXPECT_EQ(scan.Read(3, 0), (200 + 120 + 60 + 1) / 3);
}

TEST(SensorScan, AcquisitionBlockGivesEachSideItsPwms) {
  struct Case {
    const char* name;
    ChannelRecordLayout layout;
  };
  // The QV63x payload (record count at byte 2, 23-byte records from byte 3) and the RM 70's (plane count at
  // byte 3, 22-byte records from byte 4).
  for (const Case& c : {Case{"QV63x", ChannelRecordLayout{}}, Case{"RM 70", kVekQv5xxChannelRecords}}) {
    SCOPED_TRACE(c.name);
    const ChannelRecordLayout& l = c.layout;
    std::vector<uint8_t> block(l.recordsAt + 4 * l.recordSize, 0);
    block[l.countAt] = 3;
    for (size_t i = 0; i < 3; ++i) {
      uint8_t* rec = block.data() + l.recordsAt + l.recordSize * i;
      rec[l.frontPwmAt + i] = 100;      // front: red, green, blue in turn
      rec[l.rearPwmAt + (2 - i)] = 90;  // rear: blue, green, red
    }
    const auto front = LightsFromAcquisitionBlock(block, 0, l);
    const auto rear = LightsFromAcquisitionBlock(block, 1, l);
    ASSERT_TRUE(front && rear);
    ASSERT_EQ(front->size(), 3u);
    EXPECT_EQ((*front)[0].red, 100);
    EXPECT_EQ((*front)[1].green, 100);
    EXPECT_EQ((*front)[2].blue, 100);
    EXPECT_EQ((*front)[0].green + (*front)[0].blue, 0);
    EXPECT_EQ((*rear)[0].blue, 90);
    EXPECT_EQ((*rear)[2].red, 90);

    block[l.countAt] = 5;
    EXPECT_FALSE(LightsFromAcquisitionBlock(block, 0, l));
    block[l.countAt] = 4;
    EXPECT_FALSE(LightsFromAcquisitionBlock(std::span(block).first(60), 0, l));
    EXPECT_FALSE(LightsFromAcquisitionBlock(std::span(block).first(2), 0, l));
  }
}

TEST(SensorScan, RefusesInvertedOversizedAndImagelessRequests) {
  const SideImage img = Ramp(10, 10);
  SideScan scan;
  scan.image = &img;
  EXPECT_TRUE(RenderRawLines(scan, TransferRequest{5, 4, 0, 64, false}).empty());
  EXPECT_TRUE(RenderRawLines(scan, TransferRequest{0, 4, 64, 0, false}).empty());
  EXPECT_TRUE(RenderRawLines(scan, TransferRequest{-1, 4, 0, 64, false}).empty());
  EXPECT_TRUE(RenderRawLines(scan, TransferRequest{0, 70000, 0, 64, false}).empty());
  EXPECT_TRUE(RenderRawLines(scan, TransferRequest{0, 65535, 0, 65535, false}).empty());  // 4 GiB
  // Lines past the document are background, not an error.
  const std::vector<uint8_t> tail = RenderRawLines(scan, TransferRequest{40, 42, 16, 20, false});
  EXPECT_EQ(tail, std::vector<uint8_t>(8, kBackground));
  SideScan none;
  EXPECT_TRUE(RenderRawLines(none, TransferRequest{0, 4, 0, 64, false}).empty());
}

}  // namespace
}  // namespace sim::documents
