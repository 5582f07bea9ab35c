#include <gtest/gtest.h>

#include <vector>

#include "text/text_rasterizer.h"

namespace {

struct Canvas1 {
  int w, h;
  std::vector<uint8_t> bits;
  text::MonoRows rows;
  Canvas1(int width, int height)
      : w(width), h(height), bits(static_cast<size_t>((width + 7) / 8) * height),
        rows{bits.data(), width, height, static_cast<size_t>((width + 7) / 8)} {}
  // Bounding box of ink: {minX, minY, maxX, maxY}; minX > maxX when empty.
  std::array<int, 4> InkBox() const {
    std::array<int, 4> b{w, h, -1, -1};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (rows.Get(x, y)) b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
    return b;
  }
  std::string Picture() const {
    std::string s;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) s += rows.Get(x, y) ? '#' : '.';
      s += '\n';
    }
    return s;
  }
};

TEST(BitmapFont, DrawsTheGlyphAtTheCellCorner) {
  auto r = text::CreateBitmapRasterizer({"Arial", 8});
  Canvas1 c(8, 8);
  r->Render("T", c.rows, 1, 0);
  EXPECT_EQ(c.Picture(),
            ".#####..\n"
            "...#....\n"
            "...#....\n"
            "...#....\n"
            "...#....\n"
            "...#....\n"
            "...#....\n"
            "........\n");
}

TEST(BitmapFont, ClipsInkOutsideTheRows) {
  auto r = text::CreateBitmapRasterizer({"Arial", 8});
  Canvas1 c(4, 4);
  r->Render("WW", c.rows, -3, -3);
  r->Render("WW", c.rows, 2, 2);
  const auto box = c.InkBox();
  EXPECT_GE(box[0], 0);
  EXPECT_LE(box[2], 3);
}

struct ScaleCase {
  const char* name;
  text::FontSpec spec;
  int advance, height;
};
void PrintTo(const ScaleCase& c, std::ostream* os) {
  *os << c.name;
}
class BitmapFontSize : public testing::TestWithParam<ScaleCase> {};

TEST_P(BitmapFontSize, MeasuresByWholePixelScale) {
  const auto& p = GetParam();
  auto r = text::CreateBitmapRasterizer(p.spec);
  EXPECT_EQ(r->Measure("abc").width, 3 * p.advance);
  EXPECT_EQ(r->Measure("abc").height, p.height);
  EXPECT_EQ(r->Metrics().averageCharWidth, p.advance);
  EXPECT_EQ(r->Measure("").width, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BitmapFontSize,
    testing::Values(ScaleCase{"Cell8", {"Arial", 8}, 6, 8}, ScaleCase{"Cell16", {"Arial", 16}, 12, 16},
                    ScaleCase{"Em14", {"Arial", -14}, 12, 16}, ScaleCase{"Default", {"Arial", 0}, 6, 8},
                    ScaleCase{"BoldAddsAColumn", {"Arial", 8, 700}, 7, 8},
                    ScaleCase{"Cell27", {"Arial", 27}, 18, 24}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(TextBackend, BitmapChoiceGivesTheBitmapFont) {
  text::ScopedTextBackend scoped(text::TextBackend::Bitmap);
  EXPECT_EQ(text::CreateTextRasterizer({"Arial", -15})->ResolvedFace(), "bitmap");
}

TEST(FaceSubstitution, MapsWindowsFacesToMetricCompatibleFamilies) {
  EXPECT_EQ(text::SubstituteFace("arial"), "Liberation Sans");
  EXPECT_EQ(text::SubstituteFace("MS Sans Serif"), "Liberation Sans");
  EXPECT_EQ(text::SubstituteFace("Courier New"), "Liberation Mono");
  EXPECT_EQ(text::SubstituteFace("Some Face"), "Some Face");
}

class FreeType : public testing::Test {
 protected:
  void SetUp() override {
    r_ = text::CreateFreeTypeRasterizer({"Arial", -15});
    if (!r_) GTEST_SKIP() << "no scalable face installed";
  }
  std::unique_ptr<text::TextRasterizer> r_;
};

TEST_F(FreeType, ArialResolvesToAnInstalledFace) {
  EXPECT_NE(r_->ResolvedFace().find("Liberation"), std::string::npos) << r_->ResolvedFace();
}

TEST_F(FreeType, WidthsGrowWithTheText) {
  const int a = r_->Measure("1").width, b = r_->Measure("12").width, c = r_->Measure("12345").width;
  EXPECT_GT(a, 0);
  EXPECT_GT(b, a);
  EXPECT_GT(c, b);
  EXPECT_EQ(r_->Measure("abc").height, r_->Metrics().height);
}

TEST_F(FreeType, InkLandsInsideTheMeasuredCell) {
  const auto size = r_->Measure("Hg Wy");
  Canvas1 c(size.width + 16, size.height + 16);
  r_->Render("Hg Wy", c.rows, 8, 8);
  const auto box = c.InkBox();
  ASSERT_LE(box[0], box[2]) << "no ink";
  EXPECT_GE(box[0], 8 - 1);
  EXPECT_GE(box[1], 8);
  EXPECT_LE(box[2], 8 + size.width);
  EXPECT_LT(box[3], 8 + size.height);
}

TEST_F(FreeType, PositiveHeightIsTheCellAndNegativeTheEm) {
  auto cell = text::CreateFreeTypeRasterizer({"Arial", 27});
  auto em = text::CreateFreeTypeRasterizer({"Arial", -27});
  ASSERT_TRUE(cell && em);
  EXPECT_NEAR(cell->Metrics().height, 27, 1);
  EXPECT_GT(em->Metrics().height, cell->Metrics().height);
}

TEST_F(FreeType, BoldIsWiderAndItalicStillInks) {
  auto bold = text::CreateFreeTypeRasterizer({"Arial", -15, 700});
  auto italic = text::CreateFreeTypeRasterizer({"Arial", -15, 400, true});
  ASSERT_TRUE(bold && italic);
  EXPECT_GT(bold->Measure("Endorsed").width, r_->Measure("Endorsed").width);
  Canvas1 c(200, 40);
  italic->Render("Endorsed", c.rows, 0, 0);
  EXPECT_LE(c.InkBox()[0], c.InkBox()[2]);
}

TEST_F(FreeType, MonospaceFaceHasEqualAdvances) {
  auto mono = text::CreateFreeTypeRasterizer({"Courier New", -13});
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->Measure("iiii").width, mono->Measure("WWWW").width);
}

}  // namespace
