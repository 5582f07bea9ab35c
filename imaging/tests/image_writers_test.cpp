// Image files from records, checked with libtiff's tools, netpbm, ImageMagick, file(1) and python3-pil:
// the G4 header and pixels, BMP at every depth, gray and colour JPEG, the twelve record-to-file writers,
// memory targets and the headers of images delivered in memory.
#include "imaging/image_writers.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/image_record.h"
#include "imaging_test_support.h"
#include "platform/debug_output.h"
#include "qv6/image/dib_format.h"
#include "scratch_device_file.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/params.h"
#include "zarn/trace.h"

namespace zc::imaging {
namespace {

using test::MakeRecord;

// A 1-bit record with a black frame and a diagonal, `width` x `height` at `dpi`.
std::vector<uint8_t> BitRecord(int width, int height, int dpi) {
  std::vector<uint8_t> r = MakeRecord(width, height, 1, dpi);
  const size_t stride = static_cast<size_t>((width + 7) / 8);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (x == 0 || y == 0 || x == width - 1 || y == height - 1 || x == y * width / height)
        r[kRecordHeaderBytes + y * stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  return r;
}

// A gray ramp record (8 or 4 bits) or a colour one (24 bits).
std::vector<uint8_t> ToneRecord(int width, int height, int bits, int dpi) {
  std::vector<uint8_t> r = MakeRecord(width, height, bits, dpi);
  const int64_t rowBytes = RecordRowBytes(width, bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* row = r.data() + kRecordHeaderBytes + y * rowBytes;
      const int level = (x * 255 / std::max(1, width - 1) + y * 3) % 256;
      if (bits == 8) row[x] = static_cast<uint8_t>(level);
      if (bits == 24) {
        // Smooth in every channel: the chroma is coded at half resolution.
        const int red = x * 255 / std::max(1, width - 1);
        row[3 * x] = static_cast<uint8_t>(red);
        row[3 * x + 1] = static_cast<uint8_t>(255 - red);
        row[3 * x + 2] = static_cast<uint8_t>(y * 255 / std::max(1, height - 1));
      }
      if (bits == 4) row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? (level >> 4) << 4 : level >> 4);
    }
  return r;
}

struct Identified {
  int width = 0, height = 0;
  double xResolution = 0;
};

class Writers : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"tiffdump", "tifftopnm", "bmptopnm", "identify", "file", "djpeg"})
      if (!testkit::HaveTool(tool)) GTEST_SKIP() << tool << " missing";
    if (!testkit::HavePythonModule("PIL")) GTEST_SKIP() << "python3-pil missing";
    zarn::SetApiTraceLevel(0);  // failure dumps go to the local log in the working folder otherwise
  }
  void TearDown() override {
    zarn::ResetParamsForTests();
    zarn::ResetTraceForTests();
  }
  std::string Run(const std::string& command) {
    const auto r = testkit::RunCommand(command);
    EXPECT_TRUE(r.ok()) << command << "\n" << r.output;
    return r.output;
  }
  std::string Py(const std::string& script) { return Run("cd '" + dir_.Path() + "' && /usr/bin/python3 -c \"" + script + "\""); }
  std::string F(const std::string& name) { return dir_.File(name); }
  Identified Identify(const std::string& file) {
    const std::string out = Run("identify -format '%w %h %x' '" + file + "' 2>/dev/null");
    Identified i;
    std::sscanf(out.c_str(), "%d %d %lf", &i.width, &i.height, &i.xResolution);
    return i;
  }
  zarn::testing::ScratchDeviceFile deviceFile_;
  zc::testkit::ScratchDir dir_{"writers"};
};

using test::RecordAsPnm;

TEST_F(Writers, G4FileHasTheProgramsHeaderAndTheRecordsPixels) {
  const std::vector<uint8_t> record = BitRecord(203, 61, 200);
  for (int micrTag : {1, 0}) {
    SCOPED_TRACE(micrTag);
    zarn::funcTableSetParam(105, micrTag);
    ASSERT_EQ(ZARNCompressImage(F("page.tif").c_str(), record), 1);
    std::string dump = Run("tiffdump '" + F("page.tif") + "' 2>/dev/null");
    // The date and the checksum change with the moment and the pixels; the rest is fixed.
    const std::string expected = std::string("Directory 0: offset 8 (0x8) next 0 (0)\n") +
                                 "SubFileType (254) LONG (4) 1<0>\n"
                                 "ImageWidth (256) LONG (4) 1<203>\n"
                                 "ImageLength (257) LONG (4) 1<61>\n"
                                 "BitsPerSample (258) SHORT (3) 1<1>\n"
                                 "Compression (259) SHORT (3) 1<4>\n"
                                 "Photometric (262) SHORT (3) 1<0>\n"
                                 "Threshholding (263) SHORT (3) 1<1>\n"
                                 "FillOrder (266) SHORT (3) 1<1>\n"
                                 "StripOffsets (273) LONG (4) 1<512>\n"
                                 "SamplesPerPixel (277) SHORT (3) 1<1>\n"
                                 "RowsPerStrip (278) LONG (4) 1<61>\n";
    EXPECT_NE(dump.find(expected), std::string::npos) << dump;
    EXPECT_NE(dump.find("XResolution (282) RATIONAL (5) 1<200>"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Software (305) ASCII (2) 78<Brevant VEKAPI ["), std::string::npos) << dump;
    EXPECT_NE(dump.find("DateTime (306) ASCII (2) 20<"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("34604") != std::string::npos, micrTag == 1) << dump;
    const std::string pixels = Run("tifftopnm '" + F("page.tif") + "' 2>/dev/null");
    EXPECT_TRUE(pixels == RecordAsPnm(record));
    const std::string info = Run("tiffinfo -D '" + F("page.tif") + "' 2>&1 >/dev/null");
    size_t warnings = 0;
    for (size_t at = info.find("Warning"); at != std::string::npos; at = info.find("Warning", at + 1)) ++warnings;
    EXPECT_EQ(warnings, micrTag == 1 ? 3u : 2u) << info;
  }
  EXPECT_EQ(Py("from PIL import Image\nim = Image.open('page.tif')\nprint(im.info['compression'], im.info['dpi'])"),
            "group4 (200.0, 200.0)\n");
  // Depth, width and buffer checks come before anything is written.
  EXPECT_EQ(ZARNCompressImage(F("gray.tif").c_str(), ToneRecord(16, 4, 8, 200)), -232);
  const std::vector<uint8_t> wide = BitRecord(8200, 2, 200);
  EXPECT_EQ(ZARNCompressImage(F("wide.tif").c_str(), wide), -232);
  EXPECT_EQ(ZARNCompressImage(nullptr, record), -103);
}

TEST_F(Writers, BmpAtEveryDepthReadsBackEqual) {
  for (int bits : {1, 4, 8, 24}) {
    SCOPED_TRACE(bits);
    const std::vector<uint8_t> record = bits == 1 ? BitRecord(37, 9, 200) : ToneRecord(37, 9, bits, 200);
    ASSERT_EQ(funcCompressImageBMP(F("r.bmp").c_str(), record), 1);
    EXPECT_TRUE(Run("bmptopnm '" + F("r.bmp") + "' 2>/dev/null") == RecordAsPnm(record));
    EXPECT_NE(Run("file '" + F("r.bmp") + "'").find("37 x 9 x " + std::to_string(bits)), std::string::npos);
    EXPECT_NEAR(Identify(F("r.bmp")).xResolution, 78.74, 0.005);  // 7874 pixels per metre
  }
  // A 3072-pixel 24-bit row goes through the row buffer in pieces, never past it.
  const std::vector<uint8_t> wide = ToneRecord(3072, 3, 24, 300);
  ASSERT_EQ(funcCompressImageBMP(F("wide.bmp").c_str(), wide), 1);
  EXPECT_TRUE(Run("bmptopnm '" + F("wide.bmp") + "' 2>/dev/null") == RecordAsPnm(wide));
  // The DIB writer only takes palette depths and keeps its "0" marks.
  const std::vector<uint8_t> palette(1024, 0x55), pixels(4 * 3, 0);
  ASSERT_EQ(funcWriteDIBBMPImage(pixels.data(), palette.data(), F("dib.bmp").c_str(), 4, 3, 4, 8, 200, 200), 1);
  EXPECT_EQ(dir_.Read("dib.bmp").substr(6, 4), std::string("0\0" "0\0", 4));
  EXPECT_EQ(funcWriteDIBBMPImage(pixels.data(), palette.data(), F("dib.bmp").c_str(), 4, 3, 4, 24, 200, 200), -555);
  std::vector<uint8_t> twoBit = MakeRecord(4, 4, 8, 200);
  WriteRecordHeader(twoBit.data(), {4, 4, 2, 200});
  EXPECT_EQ(funcCompressImageBMP(F("bad.bmp").c_str(), twoBit), -555);
}

double Psnr(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i]);
    sum += d * d;
  }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(a.size())));
}

TEST_F(Writers, JpegCarriesDensityInDotsPerInchAndThePicture) {
  struct Case {
    const char* name;
    int bits;
  };
  for (const Case c : {Case{"gray", 8}, Case{"colour", 24}, Case{"fourbit", 4}}) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> record = ToneRecord(120, 48, c.bits, 200);
    const std::string file = std::string(c.name) + ".jpg";
    ASSERT_EQ(ZARNCompressImageGray(F(file).c_str(), record, 4), 1);
    EXPECT_EQ(Py("from PIL import Image\nim = Image.open('" + file + "')\nprint(im.mode, im.info['jfif_unit'], im.info['jfif_density'])"),
              std::string(c.bits == 24 ? "RGB" : "L") + " 1 (200, 200)\n");
    // The decoded picture against the source (header lines cut off), at quality 75.
    std::string decoded = Run("djpeg -pnm '" + F(file) + "'");
    std::string source = RecordAsPnm(record);
    if (c.bits == 4) {
      // Levels n x 16 were coded; compare with that, not netpbm's n x 17.
      for (size_t i = source.size() - 120 * 48; i < source.size(); ++i)
        source[i] = static_cast<char>(static_cast<uint8_t>(source[i]) / 17 * 16);
    }
    const auto body = [](const std::string& pnm) {
      size_t at = 0;
      for (int lines = 0; lines < 3; ++lines) at = pnm.find('\n', at) + 1;
      return pnm.substr(at);
    };
    EXPECT_GE(Psnr(body(decoded), body(source)), 30.0);
  }
  EXPECT_EQ(ZARNCompressImageGray(F("bit.jpg").c_str(), BitRecord(8, 8, 200), 4), -104);
}

TEST_F(Writers, TwelveRecordToFileWriters) {
  struct Case {
    const char* name;
    int inBits, scale, outBits, mode, result;
    int width, height;
    double xResolution;  // as identify gives it: dots per inch, or pixels per centimetre for BMP; 0 no file
  };
  const Case cases[] = {
      {"EightFullToJpeg", 8, 1, 8, 4, 1, 101, 51, 200},     {"EightFullToBmp", 8, 1, 8, 3, 1, 101, 51, 78.74},
      {"EightFullOtherModeWritesNothing", 8, 1, 8, 1, 0, 0, 0, 0},
      {"EightFullToFourBmp", 8, 1, 4, 3, 1, 101, 51, 78.74}, {"EightFullToG4", 8, 1, 1, 1, 1, 101, 51, 200},
      {"EightHalfToJpeg", 8, 2, 8, 4, 1, 51, 26, 100},      {"EightHalfToFourBmp", 8, 2, 4, 3, 1, 51, 26, 39.37},
      {"EightHalfToG4", 8, 2, 1, 1, 1, 51, 26, 100},        {"FourFullToBmp", 4, 1, 4, 3, 1, 101, 51, 78.74},
      {"FourFullToEightJpeg", 4, 1, 8, 4, 1, 101, 51, 200}, {"FourHalfToG4", 4, 2, 1, 1, 1, 51, 26, 100},
      {"FourHalfToFourBmp", 4, 2, 4, 3, 1, 51, 26, 39.37},  {"G4FromBmpModeRefused", 8, 1, 1, 3, -552, 0, 0, 0},
      {"ThirdScaleRefused", 8, 3, 8, 4, -552, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = F(std::string(c.name) + ".out");
    EXPECT_EQ(funcConvImageToFile(ToneRecord(101, 51, c.inBits, 200), 128, c.scale, c.outBits, c.mode, file.c_str()),
              c.result);
    if (c.xResolution == 0) continue;
    const Identified i = Identify(file);
    EXPECT_EQ(i.width, c.width);
    EXPECT_EQ(i.height, c.height);
    EXPECT_NEAR(i.xResolution, c.xResolution, 0.005);
  }
  EXPECT_EQ(funcConvImageToFile(ToneRecord(8, 8, 8, 200), 128, 1, 0, 1, nullptr), 1);
  EXPECT_EQ(funcConvImageToFile(ToneRecord(8, 8, 24, 200), 128, 1, 8, 4, F("c.jpg").c_str()), -552);
}

TEST_F(Writers, MemoryTargetsAreBoundedByTheirSize) {
  const std::vector<uint8_t> record = BitRecord(203, 61, 200);
  std::vector<uint8_t> memory(64 * 1024, 0xCD);
  const std::string name = "MD:  " + std::to_string(reinterpret_cast<uintptr_t>(memory.data())) + ":" +
                           std::to_string(memory.size());
  ASSERT_EQ(ZARNCompressImage(name.c_str(), record), 1);
  const int64_t size = kTiffG4HeaderBytes + static_cast<int64_t>(memory[142] | memory[143] << 8);
  dir_.Write("mem.tif", std::string(memory.begin(), memory.begin() + size));
  EXPECT_NE(Run("tiffinfo '" + F("mem.tif") + "' 2>/dev/null").find("[0000]"), std::string::npos);
  EXPECT_TRUE(Run("tifftopnm '" + F("mem.tif") + "' 2>/dev/null") == RecordAsPnm(record));
  // A target too small for the page: nothing is written past its end.
  std::vector<uint8_t> small(600 + 64, 0xCD);
  const std::string tight = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(small.data())) + ":600";
  EXPECT_LT(ZARNCompressImage(tight.c_str(), record), 0);
  EXPECT_EQ(std::vector<uint8_t>(small.begin() + 600, small.end()), std::vector<uint8_t>(64, 0xCD));
  EXPECT_EQ(funcWriteBWImageToMemTIFF("page.tif", record), -552);
  // JPEG into memory.
  std::vector<uint8_t> jpeg(64 * 1024, 0);
  const std::string jname = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(jpeg.data())) + ":" + std::to_string(jpeg.size());
  ASSERT_EQ(ZARNCompressImageGray(jname.c_str(), ToneRecord(120, 48, 8, 200), 4), 0);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  // A JPEG target too small: the codec refuses, -232, and nothing lands past the target.
  std::vector<uint8_t> tightJpeg(600 + 64, 0xCD);
  const std::string tname = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(tightJpeg.data())) + ":600";
  EXPECT_EQ(ZARNCompressImageGray(tname.c_str(), ToneRecord(120, 48, 8, 200), 4), -232);
  EXPECT_EQ(std::vector<uint8_t>(tightJpeg.begin() + 600, tightJpeg.end()), std::vector<uint8_t>(64, 0xCD));
}

// Format 3 into memory writes a BMP at the record's own depth from the address, with the target given as
// an address alone (the room is the writer's to size): 4-bit records larger than a few thousand pixels,
// 8-bit ones and 24-bit ones, read back equal by bmptopnm and PIL.
TEST_F(Writers, MemoryBmpKeepsTheRecordsDepth) {
  for (int bits : {4, 8, 24}) {
    SCOPED_TRACE(bits);
    const std::vector<uint8_t> record = ToneRecord(121, 61, bits, 200);
    std::vector<uint8_t> memory(3 * 121 * 61 + 8192, 0xCD);
    const std::string name = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(memory.data()));
    ASSERT_EQ(ZARNCompressImageGray(name.c_str(), record, 3), 0);
    ASSERT_EQ(memory[0], 'B');
    ASSERT_EQ(memory[1], 'M');
    EXPECT_EQ(memory[28], bits);
    const uint32_t size = qv6::LoadLe32(&memory[2]);
    ASSERT_LE(size, memory.size());
    EXPECT_EQ(memory[size], 0xCD);  // nothing past the file
    dir_.Write("mem.bmp", std::string(memory.begin(), memory.begin() + size));
    EXPECT_TRUE(Run("bmptopnm '" + F("mem.bmp") + "' 2>/dev/null") == RecordAsPnm(record));
    // PIL's colours of the bottom-right pixel, against the record's.
    const std::string pnm = RecordAsPnm(record);
    const size_t last = pnm.size() - (bits == 24 ? 3 : 1);
    const auto at = [&](size_t i) { return std::to_string(static_cast<uint8_t>(pnm[i])); };
    const std::string rgb = bits == 24 ? at(last) + ", " + at(last + 1) + ", " + at(last + 2)
                                       : at(last) + ", " + at(last) + ", " + at(last);
    EXPECT_EQ(Py("from PIL import Image\nim = Image.open('mem.bmp')\nprint(im.size, "
                 "im.convert('RGB').getpixel((120, 60)))"),
              "(121, 61) (" + rgb + ")\n");
  }
}

// A scan's DIB by format and depth: each accepted pair writes a file a standard reader takes, of the DIB's
// size, and returns its length; the refused pairs write nothing.
TEST_F(Writers, DibFormatByDepthTable) {
  for (const char* tool : {"giftopnm", "pcxtoppm"})
    if (!testkit::HaveTool(tool)) GTEST_SKIP() << tool << " missing";
  struct Case {
    const char* name;
    int bits, format, result;  // result 0: the file's length
    const char* check;         // a command that must read the file, or "" when none is written
  };
  const Case cases[] = {
      {"GrayToG4", 8, 0, 0, "tifftopnm"},     {"GrayToBmp", 8, 3, 0, "bmptopnm"},
      {"GrayToGrayJpeg", 8, 4, 0, "djpeg"},   {"GrayToGif", 8, 5, 0, "giftopnm"},
      {"GrayToPcx", 8, 6, 0, "pcxtoppm"},     {"GrayToProgressiveGray", 8, 9, 0, "djpeg"},
      {"FourBitToGrayJpeg", 4, 4, 0, "djpeg"}, {"FourBitToGif", 4, 5, 0, "giftopnm"},
      {"ColourBmpCodeWritesJpeg", 24, 3, 0, "djpeg"}, {"ColourToJpeg", 24, 4, 0, "djpeg"},
      {"ColourToG4Refused", 24, 0, -104, ""}, {"ColourToGifRefused", 24, 5, -104, ""},
      {"BitToBmpRefused", 1, 3, -104, ""},    {"BitToG4Refused", 1, 0, -552, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestDib dib = test::MakeDib(101, 40, c.bits);
    for (int y = 0; y < 40; ++y)
      for (size_t i = 0; i < dib.stride; ++i) dib.Row(y)[i] = static_cast<uint8_t>((i * 7 + static_cast<size_t>(y) * 3) % 256);
    const std::string file = F(std::string(c.name) + ".img");
    const int r = VW_CompressDIB(dib.Span(), file.c_str(), c.format, 0, 0, 128, 200, nullptr, 0);
    if (c.result != 0) {
      EXPECT_EQ(r, c.result);
      continue;
    }
    EXPECT_EQ(r, static_cast<int>(dir_.Read(std::string(c.name) + ".img").size()));
    const std::string pnm = Run(std::string(c.check) + " '" + file + "' 2>/dev/null");
    EXPECT_NE(pnm.find("101 40"), std::string::npos) << pnm.substr(0, 20);
  }
}

// The codec paths of 8- and 4-bit DIBs trace their copy steps at level 2, between the palette and the end.
TEST_F(Writers, DibCodecPathsTraceTheirRowSteps) {
  const struct {
    int bits;
    const char* start;
    const char* done;
  } cases[] = {{8, "Copying Image & Compressing", "Done Copying Image & Compressing"},
               {4, "Copying and Compressing Image", "Done Copying and Compressing Image"}};
  zarn::SetApiTraceLevel(2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bits);
    test::TestDib dib = test::MakeDib(33, 9, c.bits, 0x5A);
    plat::DebugOutputCapture capture;
    const std::string file = F("trace" + std::to_string(c.bits) + ".jpg");
    ASSERT_GT(VW_CompressDIB(dib.Span(), file.c_str(), 4, 0, 0, 128, 200, nullptr, 0), 0);
    const std::string text = capture.Text();
    const size_t palette = text.find("Done Copying Palette");
    const size_t start = text.find(c.start);
    const size_t done = text.find(c.done);
    ASSERT_NE(palette, std::string::npos);
    ASSERT_NE(start, std::string::npos) << text;
    ASSERT_NE(done, std::string::npos) << text;
    EXPECT_LT(palette, start);
    EXPECT_LT(start, done);
    EXPECT_EQ(Run("djpeg -pnm '" + file + "' 2>/dev/null").substr(0, 8), "P5\n33 9\n");
  }
}

// A DIB's palette may be shorter than its depth allows (colours used below 2^bits) or, under a 12-byte core
// header, hold 3-byte entries. The BMP of format 3 must still carry the 2^bits four-byte entries its header
// announces, each DIB entry widened (the first one marked green 0x35), so that readers take the file and see
// the DIB's colours.
TEST_F(Writers, DibBmpWithAShortOrCorePaletteIsWhole) {
  struct Case {
    const char* name;
    bool core;
    int bits, colours;  // colours: entries in the DIB
  };
  const Case cases[] = {{"EightBitTwoColours", false, 8, 2},
                        {"FourBitThreeColours", false, 4, 3},
                        {"CoreHeaderEightBit", true, 8, 256},
                        {"CoreHeaderFourBit", true, 4, 16}};
  const int w = 7, h = 3;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t headerBytes = c.core ? qv6::kCoreHeaderSize : qv6::kInfoHeaderSize;
    const size_t entryBytes = c.core ? 3 : 4;
    const size_t stride = static_cast<size_t>(qv6::DibBytesPerLine(w, c.bits));
    std::vector<uint8_t> dib(headerBytes + entryBytes * c.colours + stride * h, 0);
    if (c.core) {
      qv6::StoreLe32(&dib[0], qv6::kCoreHeaderSize);
      qv6::StoreLe16(&dib[4], w);
      qv6::StoreLe16(&dib[6], h);
      qv6::StoreLe16(&dib[8], 1);
      qv6::StoreLe16(&dib[10], static_cast<uint16_t>(c.bits));
    } else {
      qv6::BitmapInfoHeader info;
      info.width = w;
      info.height = h;
      info.bitCount = static_cast<uint16_t>(c.bits);
      info.clrUsed = static_cast<uint32_t>(c.colours);
      qv6::WriteInfoHeader(dib.data(), info);
    }
    // Entry i: blue 10 + i, green 200 - i, red 3 * i (all distinct, none gray).
    auto rgbOf = [](int i) { return std::array<int, 3>{3 * i, i == 0 ? 0x35 : 200 - i, 10 + i}; };
    for (int i = 0; i < c.colours; ++i) {
      uint8_t* e = &dib[headerBytes + entryBytes * i];
      e[0] = static_cast<uint8_t>(10 + i);
      e[1] = static_cast<uint8_t>(200 - i);
      e[2] = static_cast<uint8_t>(3 * i);
    }
    // Pixel (x, y) of the image (top row first) has index (x + 2y) mod colours; rows are stored bottom-up.
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y) {
      uint8_t* row = &dib[headerBytes + entryBytes * c.colours + stride * (h - 1 - y)];
      for (int x = 0; x < w; ++x) {
        const int index = (x + 2 * y) % c.colours;
        if (c.bits == 8) {
          row[x] = static_cast<uint8_t>(index);
        } else {
          row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
        for (int v : rgbOf(index)) ppm += static_cast<char>(v);
      }
    }
    const std::string file = F(std::string(c.name) + ".bmp");
    const int r = VW_CompressDIB(dib, file.c_str(), 3, 0, 0, 128, 200, nullptr, 0);
    const std::string read = dir_.Read(std::string(c.name) + ".bmp");
    const std::vector<uint8_t> bmp(read.begin(), read.end());
    const size_t dataOffset = 54 + (size_t{4} << c.bits);
    ASSERT_EQ(bmp.size(), dataOffset + stride * h);
    EXPECT_EQ(r, static_cast<int>(bmp.size()));
    EXPECT_EQ(qv6::LoadLe32(&bmp[2]), bmp.size());
    EXPECT_EQ(qv6::LoadLe32(&bmp[10]), dataOffset);
    // The entries past the DIB's own are black.
    for (size_t i = 54 + 4 * c.colours; i < dataOffset; ++i) ASSERT_EQ(bmp[i], 0) << "palette byte " << i;
    const Identified id = Identify(file);
    EXPECT_EQ(id.width, w);
    EXPECT_EQ(id.height, h);
    EXPECT_TRUE(Run("bmptopnm '" + file + "' 2>/dev/null") == ppm);
    const std::string pil = Py("from PIL import Image\nprint(Image.open('" + std::string(c.name) +
                               ".bmp').convert('RGB').tobytes().hex())");
    std::string hex;
    for (size_t i = ppm.size() - 3 * w * h; i < ppm.size(); ++i) {
      char b[3];
      std::snprintf(b, sizeof b, "%02x", static_cast<uint8_t>(ppm[i]));
      hex += b;
    }
    EXPECT_EQ(pil, hex + "\n");
  }
}

TEST_F(Writers, WritersOnAFullDeviceReportFailure) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "/dev/full missing";
  EXPECT_LT(ZARNCompressImage("/dev/full", BitRecord(64, 64, 200)), 0);
  EXPECT_LT(funcCompressImageBMP("/dev/full", ToneRecord(64, 64, 8, 200)), 0);
  EXPECT_LT(ZARNCompressImageGray("/dev/full", ToneRecord(64, 64, 8, 200), 4), 0);
}

struct ParseCase {
  const char* name;
  bool bigEndian;
  std::vector<std::pair<uint16_t, uint32_t>> shortOrLong;  // tag, value (LONG; count 2 when the tag is 273 + 1000)
  uint32_t firstDirectory;
  int result;
  size_t bufferSize = 4096;
};

std::vector<uint8_t> MemTiff(const ParseCase& c) {
  std::vector<uint8_t> b(4096, 0);
  const auto put16 = [&](size_t at, uint32_t v) {
    b[at + (c.bigEndian ? 1 : 0)] = static_cast<uint8_t>(v);
    b[at + (c.bigEndian ? 0 : 1)] = static_cast<uint8_t>(v >> 8);
  };
  const auto put32 = [&](size_t at, uint32_t v) {
    put16(at + (c.bigEndian ? 2 : 0), v & 0xFFFF);
    put16(at + (c.bigEndian ? 0 : 2), v >> 16);
  };
  b[0] = b[1] = c.bigEndian ? 'M' : 'I';
  put16(2, 42);
  put32(4, c.firstDirectory);
  if (c.firstDirectory + 2 + 12 * c.shortOrLong.size() > b.size()) return b;
  put16(c.firstDirectory, static_cast<uint32_t>(c.shortOrLong.size()));
  for (size_t i = 0; i < c.shortOrLong.size(); ++i) {
    const size_t e = c.firstDirectory + 2 + 12 * i;
    const bool twoStrips = c.shortOrLong[i].first >= 1000;
    put16(e, twoStrips ? c.shortOrLong[i].first - 1000 : c.shortOrLong[i].first);
    put16(e + 2, 4);
    put32(e + 4, twoStrips ? 2 : 1);
    put32(e + 8, c.shortOrLong[i].second);
  }
  return b;
}

class MemTiffParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(MemTiffParse, ResultCodes) {
  const std::vector<uint8_t> b = MemTiff(GetParam());
  TiffMemInfo info;
  EXPECT_EQ(funcParseMemTIFFHeader(b.data(), std::min(b.size(), GetParam().bufferSize), &info), GetParam().result);
  if (GetParam().result == 0) {
    EXPECT_EQ(info.width, 100);
    EXPECT_EQ(info.stripOffset, 512);
  }
}

const std::vector<std::pair<uint16_t, uint32_t>> kPage = {{256, 100}, {257, 20}, {273, 512}, {279, 260}};

INSTANTIATE_TEST_SUITE_P(
    Table, MemTiffParse,
    ::testing::Values(ParseCase{"LittleEndianPage", false, kPage, 8, 0}, ParseCase{"BigEndianPage", true, kPage, 8, 0},
                      ParseCase{"TwoStrips", false, {{256, 100}, {1273, 512}}, 8, 2},
                      ParseCase{"Tiled", true, {{256, 100}, {322, 16}}, 8, 3},
                      ParseCase{"DirectoryBeyond2048", false, kPage, 2050, 4},
                      ParseCase{"DirectoryPastTheBuffer", false, kPage, 2040, 1, 2048}),
    [](const ::testing::TestParamInfo<ParseCase>& p) { return std::string(p.param.name); });

TEST(MemImages, DeliveredImagesBecomeRecordsInPlace) {
  zarn::testing::ScratchDeviceFile deviceFile;
  zarn::SetApiTraceLevel(0);
  // A 1-bit TIFF page: the strip moves behind the record header, inverted (the delivered page is
  // black-is-zero).
  ParseCase c{"page", false, {{256, 16}, {257, 2}, {258, 1}, {273, 512}, {279, 4}}, 8, 0};
  std::vector<uint8_t> b = MemTiff(c);
  b[512] = 0xF0, b[513] = 0x0F, b[514] = 0xFF, b[515] = 0x00;
  int64_t size = 0, offset = -1;
  EXPECT_EQ(funcAddMemTIFFHeader(b.data(), b.size(), 1, &size, &offset, 0), 2);
  EXPECT_EQ(size, 12);
  EXPECT_EQ(offset, 0);
  EXPECT_EQ(ReadRecordHeader(b.data()).width, 16);
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 8, b.begin() + 12), (std::vector<uint8_t>{0x0F, 0xF0, 0x00, 0xFF}));
  // A strip said to lie past the buffer is refused.
  c.shortOrLong[4].second = 5000;
  b = MemTiff(c);
  EXPECT_EQ(funcAddMemTIFFHeader(b.data(), b.size(), 1, &size, &offset, 0), -316);
  // A bottom-up 8-bit BMP: rows top first without padding, the dpi from the resolution parameter.
  std::vector<uint8_t> bmp(54 + 1024 + 2 * 4, 0);
  bmp[0] = 'B', bmp[1] = 'M';
  bmp[10] = static_cast<uint8_t>((54 + 1024) & 0xFF), bmp[11] = static_cast<uint8_t>((54 + 1024) >> 8);
  bmp[18] = 3, bmp[22] = 2, bmp[28] = 8;
  bmp[54 + 1024] = 1, bmp[54 + 1024 + 1] = 2, bmp[54 + 1024 + 2] = 3;  // bottom row
  bmp[54 + 1024 + 4] = 7, bmp[54 + 1024 + 5] = 8, bmp[54 + 1024 + 6] = 9;  // top row
  zarn::funcTableSetParam(6, 4);
  ASSERT_EQ(funcAddMemHeaderToBMP(bmp.data(), bmp.size(), 0, &size, &offset), 0);
  EXPECT_EQ(ReadRecordHeader(bmp.data()).dpi, 300);
  EXPECT_EQ(size, 8 + 6);
  EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 8, bmp.begin() + 14), (std::vector<uint8_t>{7, 8, 9, 1, 2, 3}));
  bmp[22] = 200;  // taller than the buffer holds
  bmp[0] = 'B';
  EXPECT_EQ(funcAddMemHeaderToBMP(bmp.data(), bmp.size(), 0, &size, &offset), -316);
  zarn::ResetParamsForTests();
  zarn::ResetTraceForTests();
}

// Delivered BMPs of every record depth, with row padding, odd heights and a gap before the pixels, become
// exactly the record a plain top-first copy makes; depths without a record row length give the header
// alone.
TEST(MemImages, DeliveredBmpRowsMoveInPlace) {
  zarn::testing::ScratchDeviceFile deviceFile;
  zarn::SetApiTraceLevel(0);
  ASSERT_GE(zarn::funcTableSetParam(6, 1), 0);
  struct Case {
    int bits, width, height;
    uint32_t gap;  // bytes between the palette and the pixels
  };
  const Case cases[] = {{8, 13, 7, 0}, {8, 16, 4, 0},  {4, 9, 5, 3},
                        {1, 21, 6, 0}, {1, 70, 1, 17}, {8, 2, 30, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.width) + " x " +
                 std::to_string(c.height));
    const size_t rowBytes = static_cast<size_t>(RecordRowBytes(c.width, c.bits));
    const size_t stride = (rowBytes + 3) / 4 * 4;
    const uint32_t dataOffset = 54 + (4u << c.bits) + c.gap;
    std::vector<uint8_t> bmp(dataOffset + stride * c.height + 5, 0xEE);
    bmp[0] = 'B', bmp[1] = 'M';
    qv6::StoreLe32(&bmp[10], dataOffset);
    qv6::StoreLe32(&bmp[18], static_cast<uint32_t>(c.width));
    qv6::StoreLe32(&bmp[22], static_cast<uint32_t>(c.height));
    qv6::StoreLe16(&bmp[28], static_cast<uint16_t>(c.bits));
    std::vector<uint8_t> expected = MakeRecord(c.width, c.height, c.bits, 200);
    for (int y = 0; y < c.height; ++y)  // stored row y is image row height - 1 - y
      for (size_t i = 0; i < stride; ++i) {
        const uint8_t v = static_cast<uint8_t>(i * 31 + static_cast<size_t>(y) * 7 + 1);
        bmp[dataOffset + y * stride + i] = v;
        if (i < rowBytes) expected[kRecordHeaderBytes + (c.height - 1 - y) * rowBytes + i] = v;
      }
    int64_t size = 0, offset = -1;
    ASSERT_EQ(funcAddMemHeaderToBMP(bmp.data(), bmp.size(), 0, &size, &offset), 0);
    EXPECT_EQ(offset, 0);
    ASSERT_EQ(size, static_cast<int64_t>(expected.size()));
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin(), bmp.begin() + size), expected);
  }
  // 24 bits: width, height, bits and dpi, and no rows.
  std::vector<uint8_t> colour(54 + 3 * 4 * 2, 0x77);
  colour[0] = 'B', colour[1] = 'M';
  qv6::StoreLe32(&colour[10], 54);
  qv6::StoreLe32(&colour[18], 3);
  qv6::StoreLe32(&colour[22], 2);
  qv6::StoreLe16(&colour[28], 24);
  int64_t size = 0, offset = -1;
  ASSERT_EQ(funcAddMemHeaderToBMP(colour.data(), colour.size(), 0, &size, &offset), 0);
  EXPECT_EQ(size, 8);
  EXPECT_EQ(offset, 0);
  const RecordHeader h = ReadRecordHeader(colour.data());
  EXPECT_EQ(h.width, 3);
  EXPECT_EQ(h.height, 2);
  EXPECT_EQ(h.bits, 24);
  EXPECT_EQ(h.dpi, 200);
  zarn::ResetParamsForTests();
  zarn::ResetTraceForTests();
}

}  // namespace
}  // namespace zc::imaging
