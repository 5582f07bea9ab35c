// Stream structure and control behaviour of the compressor: segment layout, restart layout, band-height
// independence, fast path against scalar path, edge replication, limits and refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/jpeg/cpu_features.h"
#include "codec/jpeg/jpeg_errors.h"
#include "codec/jpeg/tests/jpeg_test_support.h"

namespace zc::jpeg::testing {
namespace {

TEST(JpegCompressor, GrayStreamLayout) {
  const Image image = MakeCheque(40, 24, 1);
  JpegCompressSettings s = SettingsFor(image, 75, true, false);
  s.comments = {"first", std::string_view("")};
  const EncodeResult r = Encode(image, s);
  ASSERT_EQ(r.code, 0);
  const auto segs = WalkMarkers(r.bytes);
  std::vector<uint8_t> order;
  for (const Segment& seg : segs) order.push_back(seg.marker);
  const std::vector<uint8_t> want = {0xD8, 0xE0, 0xDB, 0xC0, 0xFE, 0xFE, 0xC4, 0xC4, 0xDA, 0xD9};
  EXPECT_EQ(order, want);
  // SOF0: precision 8, height, width, one component 1 with 1 x 1 sampling and table 0.
  EXPECT_EQ(segs[3].payload, (std::vector<uint8_t>{8, 0, 24, 0, 40, 1, 1, 0x11, 0}));
  // A comment of n bytes is a segment of n + 4.
  EXPECT_EQ(segs[5].offset - segs[4].offset, 5u + 4u);
  // JFIF 1.01 with the default density 1:1, no unit.
  EXPECT_EQ(segs[1].payload, (std::vector<uint8_t>{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(segs[6].payload[0], 0x00);  // DC 0
  EXPECT_EQ(segs[7].payload[0], 0x10);  // AC 0
}

TEST(JpegCompressor, ColourFrameAndDensities) {
  const Image image = MakeCheque(17, 17, 3);
  JpegCompressSettings s = SettingsFor(image, 75, false, false);
  s.x_density = 300;
  s.y_density = 200;
  s.density_units = 1;
  const EncodeResult r = Encode(image, s);
  ASSERT_EQ(r.code, 0);
  const auto segs = WalkMarkers(r.bytes);
  EXPECT_EQ(CountMarkers(segs, 0xDB), 2);
  EXPECT_EQ(CountMarkers(segs, 0xC4), 4);
  for (const Segment& seg : segs) {
    if (seg.marker == 0xC0) {
      EXPECT_EQ(seg.payload, (std::vector<uint8_t>{8, 0, 17, 0, 17, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
    }
    if (seg.marker == 0xE0) {
      EXPECT_EQ(seg.payload[7], 1);
      EXPECT_EQ((seg.payload[8] << 8) | seg.payload[9], 300);
      EXPECT_EQ((seg.payload[10] << 8) | seg.payload[11], 200);
    }
  }
}

TEST(JpegCompressor, RestartLayoutAlignsTheEntropyData) {
  // 100 pixels wide: DRI 13, no APP0, no COM, and the data after SOS at a multiple of 4.
  for (int height : {8, 16, 21}) {
    const Image image = MakeCheque(100, height, 1);
    JpegCompressSettings s = SettingsFor(image, 75, true, false);
    s.restart_option = true;
    s.comments = {"dropped"};
    const EncodeResult r = Encode(image, s, 1);
    ASSERT_EQ(r.code, 0);
    const auto segs = WalkMarkers(r.bytes);
    EXPECT_EQ(CountMarkers(segs, 0xE0), 0);
    EXPECT_EQ(CountMarkers(segs, 0xFE), 0);
    for (const Segment& seg : segs) {
      if (seg.marker == 0xDD) {
        EXPECT_EQ(seg.payload, (std::vector<uint8_t>{0, 13}));
      }
      if (seg.marker == 0xDA) {
        EXPECT_EQ((seg.offset + 2 + 8) % 4, 0u) << height;
      }
    }
    // One marker per completed MCU row inside the band writer, none after a partial last row; they
    // count RST0, RST1, ...
    std::vector<uint8_t> rst;
    for (const Segment& seg : segs) {
      if (seg.marker >= 0xD0 && seg.marker <= 0xD7) rst.push_back(seg.marker);
    }
    const size_t full_rows = static_cast<size_t>(height / 8);
    ASSERT_EQ(rst.size(), full_rows) << height;
    for (size_t i = 0; i < rst.size(); ++i) EXPECT_EQ(rst[i], 0xD0 + (i & 7));
  }
}

TEST(JpegCompressor, ProgressiveScansFollowTheScripts) {
  // Per scan: component ids with their table selectors, then Ss, Se, Ah << 4 | Al.
  using Sos = std::vector<uint8_t>;
  const std::vector<Sos> colour = {{3, 1, 0x00, 2, 0x10, 3, 0x10, 0, 0, 0x01},
                                   {1, 1, 0x00, 1, 5, 0x02},
                                   {1, 3, 0x01, 1, 63, 0x01},
                                   {1, 2, 0x01, 1, 63, 0x01},
                                   {1, 1, 0x00, 6, 63, 0x02},
                                   {1, 1, 0x00, 1, 63, 0x21},
                                   {3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 0, 0x10},
                                   {1, 3, 0x01, 1, 63, 0x10},
                                   {1, 2, 0x01, 1, 63, 0x10},
                                   {1, 1, 0x00, 1, 63, 0x10}};
  const std::vector<Sos> gray = {{1, 1, 0x00, 0, 0, 0x01},  {1, 1, 0x00, 1, 5, 0x02},
                                 {1, 1, 0x00, 6, 63, 0x02}, {1, 1, 0x00, 1, 63, 0x21},
                                 {1, 1, 0x00, 0, 0, 0x10},  {1, 1, 0x00, 1, 63, 0x10}};
  for (bool is_gray : {false, true}) {
    const Image image = MakeCheque(50, 30, 3);
    const EncodeResult r = Encode(image, SettingsFor(image, 75, is_gray, true));
    ASSERT_EQ(r.code, 0);
    std::vector<Sos> scans;
    int dht_before_first_sos = 0;
    for (const Segment& seg : WalkMarkers(r.bytes)) {
      if (seg.marker == 0xDA) scans.push_back(seg.payload);
      if (seg.marker == 0xC4 && scans.empty()) ++dht_before_first_sos;
      EXPECT_NE(seg.marker, 0xC0);
    }
    EXPECT_EQ(scans, is_gray ? gray : colour);
    EXPECT_EQ(dht_before_first_sos, is_gray ? 1 : 2);  // optimal DC tables of the first scan only
  }
}

TEST(JpegCompressor, RestartMarkersWrapAfterSeven) {
  const Image image = MakeCheque(8, 80, 1);  // one MCU per row, ten rows
  JpegCompressSettings s = SettingsFor(image, 75, true, false);
  s.restart_option = true;
  const EncodeResult r = Encode(image, s);
  ASSERT_EQ(r.code, 0);
  std::vector<uint8_t> rst;
  for (const Segment& seg : WalkMarkers(r.bytes)) {
    if (seg.marker >= 0xD0 && seg.marker <= 0xD7) rst.push_back(seg.marker);
  }
  EXPECT_EQ(rst, (std::vector<uint8_t>{0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD0, 0xD1}));
}

TEST(JpegCompressor, BandHeightsAndFastPathGiveIdenticalBytes) {
  for (int channels : {1, 3}) {
    const Image image = MakeCheque(203, 75, channels, 5);
    for (bool gray : {true, false}) {
      for (bool progressive : {false, true}) {
        const JpegCompressSettings s = SettingsFor(image, 80, gray, progressive);
        const EncodeResult ref = Encode(image, s, 16);
        ASSERT_EQ(ref.code, 0);
        for (int band : {1, 7, 75, 1000}) EXPECT_EQ(Encode(image, s, band).bytes, ref.bytes) << band;
        setenv(kForceScalarEnv, "1", 1);
        const EncodeResult scalar = Encode(image, s, 16);
        unsetenv(kForceScalarEnv);
        EXPECT_EQ(scalar.bytes, ref.bytes) << "channels " << channels << " gray " << gray;
      }
    }
  }
}

// The bytes of fixed pictures in each coding form, pinned by an FNV-1a hash, with either kernel set: the
// kernels and the entropy coders are tuned for speed, and every stream they write must stay what it was.
TEST(JpegCompressor, StreamsArePinned) {
  struct Case {
    const char* form;
    int channels;
    bool gray, progressive, restart;
    int quality;
    uint64_t hash;
  };
  const Case cases[] = {
      {"colour 4:2:0 baseline", 3, false, false, false, 75, 0x3F0E09D47110A62Bull},
      {"colour 4:2:0 progressive", 3, false, true, false, 50, 0xB6AF5AB2686DB0A3ull},
      {"colour 4:2:0 restart", 3, false, false, true, 90, 0xB66C9AEC8C17D4D2ull},
      {"gray from colour baseline", 3, true, false, false, 75, 0xF4B6711491A1ADE7ull},
      {"gray baseline", 1, true, false, false, 95, 0xA4334A5EC82FC3E7ull},
      // Progressive at high quality: refinement scans with long end-of-band runs that carry correction bits.
      {"gray progressive", 1, true, true, false, 95, 0xE38DA0A30B39EDDCull},
      {"gray from colour progressive", 3, true, true, false, 75, 0x5FC31B574552224Bull},
      {"colour 4:2:0 progressive q95", 3, false, true, false, 95, 0x23493756EF01357Cull},
      {"gray progressive large", 1, true, true, false, 90, 0x8ED63D1970A1293Dull},
      {"colour 4:2:0 progressive large", 3, false, true, false, 85, 0xAF28BA4956382FD9ull},
  };
  for (const Case& c : cases) {
    // The large pictures hold more blocks than one end-of-band run can (32767).
    const bool large = std::string_view(c.form).ends_with("large");
    const Image image = large ? MakeCheque(1609, 1305, c.channels, 11) : MakeCheque(301, 93, c.channels, 11);
    JpegCompressSettings s = SettingsFor(image, c.quality, c.gray, c.progressive);
    s.restart_option = c.restart;
    // The kernel set the processor offers, then the scalar reference.
    for (const char* force : {"0", "1"}) {
      setenv(kForceScalarEnv, force, 1);
      const EncodeResult r = Encode(image, s, 16);
      unsetenv(kForceScalarEnv);
      ASSERT_EQ(r.code, 0) << c.form;
      uint64_t h = 0xCBF29CE484222325ull;
      for (uint8_t b : r.bytes) h = (h ^ b) * 0x100000001B3ull;
      EXPECT_EQ(h, c.hash) << c.form << " scalar " << force << std::hex << " 0x" << h;
    }
  }
}

TEST(JpegCompressor, EdgesReplicateTheLastColumnAndRow) {
  // An image whose right column and bottom row are repeated to whole MCUs codes the same blocks.
  const Image small = MakeCheque(21, 13, 1, 3);
  Image padded;
  padded.width = 24;
  padded.height = 16;
  padded.channels = 1;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x)
      padded.pixels.push_back(small.pixels[std::min(y, 12) * 21 + std::min(x, 20)]);
  }
  const EncodeResult a = Encode(small, SettingsFor(small, 75, true, false));
  const EncodeResult b = Encode(padded, SettingsFor(padded, 75, true, false));
  ASSERT_EQ(a.code, 0);
  ASSERT_EQ(b.code, 0);
  // Equal after the SOF, whose sizes differ.
  const auto sof = [](const std::vector<uint8_t>& j) {
    for (const Segment& s : WalkMarkers(j)) {
      if (s.marker == 0xC0) return s.offset + 2 + 2 + s.payload.size();
    }
    return size_t{0};
  };
  EXPECT_TRUE(std::equal(a.bytes.begin() + sof(a.bytes), a.bytes.end(), b.bytes.begin() + sof(b.bytes),
                         b.bytes.end()));
}

TEST(JpegCompressor, PaletteInputEqualsTheSameColoursAsRgb) {
  // A 4-entry palette image against the same pixels given as R, G, B triples.
  const uint8_t palette4[12] = {250, 250, 240, 10, 20, 30, 200, 40, 40, 30, 30, 180};
  std::vector<uint8_t> palette(768, 0);
  std::copy(palette4, palette4 + 12, palette.begin());
  Image indexed, rgb;
  indexed.width = rgb.width = 37;
  indexed.height = rgb.height = 19;
  indexed.channels = 1;
  rgb.channels = 3;
  for (int i = 0; i < 37 * 19; ++i) {
    const int idx = (i * 7 / 5 + i / 37) % 4;
    indexed.pixels.push_back(static_cast<uint8_t>(idx));
    rgb.pixels.insert(rgb.pixels.end(), palette4 + 3 * idx, palette4 + 3 * idx + 3);
  }
  for (bool gray : {true, false}) {
    JpegCompressSettings si = SettingsFor(indexed, 60, gray, false);
    si.bits_per_pixel = 2;
    si.palette = palette.data();
    si.palette_entries = 4;
    EXPECT_EQ(Encode(indexed, si).bytes, Encode(rgb, SettingsFor(rgb, 60, gray, false)).bytes) << gray;
  }
}

TEST(JpegCompressor, RefusalsAndLimits) {
  const Image image = MakeCheque(16, 16, 1);
  struct Case {
    const char* name;
    void (*edit)(JpegCompressSettings&);
    int code;
  } cases[] = {
      {"palette input without palette", [](JpegCompressSettings& s) { s.palette = nullptr; }, kJpegNoPalette},
      {"16 bits per pixel", [](JpegCompressSettings& s) { s.bits_per_pixel = 16; }, kJpegBadInputDepth},
      {"1 bit per pixel", [](JpegCompressSettings& s) { s.bits_per_pixel = 1; }, kJpegBadInputDepth},
      // 65536 MCUs of 8 x 8: 2048 x 2048 pixels.
      {"progressive of 65536 MCUs",
       [](JpegCompressSettings& s) {
         s.progressive = true;
         s.width = 2048;
         s.height = 2048;
       },
       kJpegNoMemory},
  };
  for (const Case& c : cases) {
    JpegCompressSettings s = SettingsFor(image, 75, true, false);
    c.edit(s);
    JpegCompressor comp;
    size_t written = 0;
    EXPECT_EQ(comp.Start(s, [&](const uint8_t*, size_t n) { return written += n, n; }), c.code) << c.name;
    EXPECT_EQ(comp.WriteRows(0, 0, 16, 1, image.pixels.data()), c.code) << c.name;
    EXPECT_EQ(comp.Finish(), c.code) << c.name;
    EXPECT_EQ(written, 0u) << c.name;  // a failed start writes nothing
  }
  // 65535 MCUs (257 x 255) are accepted.
  JpegCompressSettings s = SettingsFor(image, 75, true, true);
  s.width = 257 * 8;
  s.height = 255 * 8;
  JpegCompressor ok;
  EXPECT_EQ(ok.Start(s, [](const uint8_t*, size_t n) { return n; }), 0);
  EXPECT_EQ(ok.Finish(), 0);
}

TEST(JpegCompressor, BandsOutsideTheImageAreRefusedOrIgnored) {
  const Image image = MakeCheque(16, 16, 1);
  JpegCompressor comp;
  ASSERT_EQ(comp.Start(SettingsFor(image, 75, true, false), [](const uint8_t*, size_t n) { return n; }), 0);
  EXPECT_EQ(comp.WriteRows(0, 0, 16, 0, image.pixels.data()), 0);  // empty band
  EXPECT_EQ(comp.WriteRows(0, 0, 17, 1, image.pixels.data()), kJpegBadWindow);
  EXPECT_EQ(comp.Finish(), kJpegBadWindow);

  // Rows beyond the frame height are dropped, so the stream keeps its declared size.
  std::vector<uint8_t> tall(16 * 40, 90);
  const Image base = MakeCheque(16, 16, 1);
  JpegCompressor clip;
  std::vector<uint8_t> out;
  ASSERT_EQ(clip.Start(SettingsFor(base, 75, true, false),
                       [&](const uint8_t* d, size_t n) {
                         out.insert(out.end(), d, d + n);
                         return n;
                       }),
            0);
  EXPECT_EQ(clip.WriteRows(0, 0, 16, 40, tall.data()), 0);
  EXPECT_EQ(clip.Finish(), 0);
  Image flat;
  flat.width = flat.height = 16;
  flat.pixels.assign(256, 90);
  EXPECT_EQ(out, Encode(flat, SettingsFor(flat, 75, true, false)).bytes);
}

TEST(JpegCompressor, ShortWriteFailsWith19) {
  const Image image = MakeCheque(400, 300, 3);
  for (bool progressive : {false, true}) {
    JpegCompressor comp;
    size_t room = 5000, got = 0;
    ASSERT_EQ(comp.Start(SettingsFor(image, 90, false, progressive),
                         [&](const uint8_t*, size_t n) {
                           const size_t take = std::min(n, room - got);
                           got += take;
                           return take;
                         }),
              0);
    int rc = 0;
    for (int y = 0; y < 300 && rc == 0; y += 16) {
      rc = comp.WriteRows(0, y, 400, std::min(300, y + 16), image.pixels.data() + 400 * 3 * y);
    }
    EXPECT_EQ(comp.Finish(), kJpegWriteFailed) << progressive;
    EXPECT_EQ(got, room);
  }
}

TEST(JpegCompressor, LongCommentsAreFlushedOrRefused) {
  const Image image = MakeCheque(8, 8, 1);
  std::string long_text(40000, 'c');
  JpegCompressSettings s = SettingsFor(image, 75, true, false);
  s.comments = {long_text};
  const EncodeResult r = Encode(image, s);
  ASSERT_EQ(r.code, 0);
  const auto segs = WalkMarkers(r.bytes);
  ASSERT_EQ(CountMarkers(segs, 0xFE), 1);
  std::string too_long(65534, 'x');
  s.comments = {too_long};
  EXPECT_EQ(Encode(image, s).code, kJpegBlockTooLarge);
}

}  // namespace
}  // namespace zc::jpeg::testing
