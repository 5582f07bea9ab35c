// The document-length search of expected images, on edge cases and against the device library's own
// cropping on real assembled cheques.
#include "sim/documents/document_length.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "qv6/image/image_cropping.h"
#include "sim/documents/document.h"
#include "sim/documents/expected_image.h"

namespace sim::documents {
namespace {

ExpectedImage Filled(int w, int h, uint8_t v, int bitCount = 8, int dpi = 200) {
  ExpectedImage img;
  img.width = w;
  img.height = h;
  img.bitCount = bitCount;
  img.dpi = dpi;
  img.pixels.assign(static_cast<size_t>(img.RowBytes()) * h, v);
  return img;
}

TEST(DocumentLength, EdgeCases) {
  // Bright everywhere: the first 16 rows from the top accept the edge; the margin reaches past the top.
  EXPECT_EQ(DocumentLength(Filled(100, 300, 200)), 300u);
  // Dark everywhere: the search runs out at f = 2 (even height - 1 is odd: 299, ..., 1) and keeps f + 18.
  EXPECT_EQ(DocumentLength(Filled(100, 300, 20)), 1u + 18u);
  EXPECT_EQ(DocumentLength(Filled(100, 301, 20)), 2u + 18u);
  // 300 dpi: run and row count 23.
  EXPECT_EQ(DocumentLength(Filled(100, 301, 20, 8, 300)), 2u + 26u);
  // A colour pixel is bright when any channel is.
  ExpectedImage colour = Filled(50, 200, 10, 24);
  for (int j = 0; j < 120; ++j) {
    for (int x = 0; x < 50; ++x) colour.pixels[static_cast<size_t>(j) * 150 + 3 * x + 1] = 90;
  }
  EXPECT_EQ(DocumentLength(colour), 122u);  // rows 0..119, edge found at 119 (odd start 199)
  // 16 levels: a nibble above 4 is bright (the dark level scaled to a nibble), 4 is dark.
  EXPECT_EQ(DocumentLength(Filled(100, 40, 0x55, 4)), 40u);
  EXPECT_EQ(DocumentLength(Filled(100, 40, 0x44, 4)), 1u + 18u);
  // Other depths keep the height.
  EXPECT_EQ(DocumentLength(Filled(100, 40, 0, 1)), 40u);
}

TEST(DocumentLength, BrightRunMustExceedTwoMillimetres) {
  for (const int run : {15, 16}) {
    ExpectedImage img = Filled(60, 100, 0);
    for (int j = 0; j < 100; ++j) {
      for (int x = 10; x < 10 + run; ++x) img.pixels[static_cast<size_t>(j) * 60 + x] = 255;
    }
    EXPECT_EQ(DocumentLength(img), run == 16 ? 100u : 1u + 18u) << run;
  }
}

TEST(DocumentLength, AgreesWithTheDeviceLibraryOnAssembledCheques) {
  ChequeOptions colourOpt;
  colourOpt.colour = true;
  for (const bool colour : {false, true}) {
    const Document d = MakeCheque(31, colour ? colourOpt : ChequeOptions{});
    for (const SideImage* side : {&d.front, &d.rear}) {
      SideScan scan;
      scan.image = side;
      scan.lights = HostLights(colour ? ColourMode::kColour : ColourMode::kGrey);
      for (const int dpi : {200, 100}) {
        HostAssembly host;
        host.mode = colour ? ColourMode::kColour : ColourMode::kGrey;
        host.dpi = dpi;
        const ExpectedImage img = AssembleSide(scan, WholeDocument(scan, !colour && dpi == 100), host);
        // Their rows are padded to four bytes, as in a DIB.
        const size_t stride = (static_cast<size_t>(img.RowBytes()) + 3) & ~size_t{3};
        std::vector<uint8_t> padded(stride * static_cast<size_t>(img.height));
        for (int j = 0; j < img.height; ++j)
          std::copy_n(img.Row(j), img.RowBytes(), padded.data() + j * stride);
        qv6::CImageCropping finder;
        const unsigned theirs =
            finder.FindDocument(padded.data(), static_cast<unsigned>(img.width),
                                static_cast<unsigned>(img.height), qv6::CroppingPixelsPerMetre(dpi),
                                qv6::CroppingPixelsPerMetre(dpi), img.bitCount, static_cast<int>(stride));
        EXPECT_EQ(DocumentLength(img), theirs) << colour << " " << dpi;
        EXPECT_LT(theirs, static_cast<unsigned>(img.height));
      }
    }
  }
}

}  // namespace
}  // namespace sim::documents
