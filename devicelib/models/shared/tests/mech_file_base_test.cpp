// The EEPROM image's record walk: appends, lookups over defaults, and images whose lengths lie.
#include "qv6/models/mech_file_base.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/byte_order.h"

namespace qv6 {
namespace {

class TestImage : public MechFileBaseClass {
 public:
  int InitImage(const char* text) override {
    StartImage(text, "Test", 7, 1);
    return 1;
  }
  int SyncImage() override { return 1; }
  void GetDefaultSection(int tag, uint8_t* buffer, size_t length) override {
    for (size_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(0xD0 + tag % 16);
  }
  void Adopt(std::vector<uint8_t> bytes) { AdoptImage(std::move(bytes)); }
};

std::vector<uint8_t> Record(uint32_t tag, uint32_t head, uint32_t length, uint8_t fill) {
  std::vector<uint8_t> r(12 + length, fill);
  plat::bytes::PutLe32(r.data(), tag);
  plat::bytes::PutLe32(r.data() + 4, head);
  plat::bytes::PutLe32(r.data() + 8, length);
  return r;
}

std::vector<uint8_t> Image(const std::vector<std::vector<uint8_t>>& records, uint32_t headerLength = 140) {
  std::vector<uint8_t> image(140, 0);
  for (const auto& r : records) image.insert(image.end(), r.begin(), r.end());
  plat::bytes::PutLe32(image.data(), headerLength);
  plat::bytes::PutLe32(image.data() + 4, static_cast<uint32_t>(image.size() - 140));
  return image;
}

TEST(MechFileBase, AppendedRecordsAreFoundAndHeaderKeptInStep) {
  TestImage img;
  uint8_t buffer[8];
  EXPECT_EQ(img.GetRecord(64, buffer, sizeof buffer), 0);  // never read: default only
  EXPECT_EQ(buffer[0], 0xD0);
  ASSERT_EQ(img.InitImage("SN42"), 1);
  const uint8_t a[3] = {1, 2, 3};
  const uint8_t b[5] = {9, 8, 7, 6, 5};
  ASSERT_EQ(img.AddRecord(64, a, 3), 1);
  EXPECT_EQ(MechFileBaseClass::DataLength(img.image()), 15u);  // the header copy in the image
  ASSERT_EQ(img.AddRecord(65, b, 5), 1);
  EXPECT_EQ(img.usedLength(), 140u + 15 + 17);
  EXPECT_EQ(MechFileBaseClass::DataLength(img.image()), 32u);
  EXPECT_EQ(MechFileBaseClass::IdentText(img.image()), "SN42");

  // Shorter buffer: only its length; longer buffer: the tail keeps the default; absent record: default.
  EXPECT_EQ(img.GetRecord(65, buffer, 2), 1);
  EXPECT_EQ(buffer[0], 9);
  EXPECT_EQ(buffer[1], 8);
  EXPECT_EQ(img.GetRecord(64, buffer, 5), 1);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 5), (std::vector<uint8_t>{1, 2, 3, 0xD0, 0xD0}));
  EXPECT_EQ(img.GetRecord(66, buffer, 2), 1);
  EXPECT_EQ(buffer[0], 0xD2);
}

TEST(MechFileBase, RecordThatWouldNotFitIsRefused) {
  TestImage img;
  std::vector<uint8_t> big(MechFileBaseClass::kImageSize, 1);
  EXPECT_EQ(img.AddRecord(64, big.data(), 10), 0);  // no image yet
  img.InitImage("x");
  size_t room = MechFileBaseClass::kImageSize - 140 - 12;
  EXPECT_EQ(img.AddRecord(64, big.data(), static_cast<int>(room + 1)), 0);
  EXPECT_EQ(img.AddRecord(64, big.data(), -1), 0);
  EXPECT_EQ(img.AddRecord(64, big.data(), static_cast<int>(room)), 1);
  EXPECT_EQ(img.usedLength(), MechFileBaseClass::kImageSize);
}

TEST(MechFileBase, WalkStopsAtBadRecords) {
  struct Case {
    const char* name;
    std::vector<uint8_t> image;
    size_t used;
    bool found;
  };
  auto good = Record(67, 12, 4, 0x11);
  std::vector<Case> cases = {
      {"plain", Image({Record(64, 12, 2, 1), good}), 0, true},
      {"zero data length ends the walk", Image({Record(64, 12, 0, 1), good}), 0, false},
      {"zero tag ends the walk", Image({Record(0, 12, 2, 1), good}), 0, false},
      {"zero head length ends the walk", Image({Record(64, 0, 2, 1), good}), 0, false},
      {"data beyond the used length", Image({Record(64, 12, 5000, 1)}), 0, false},
      {"header length beyond the used length", Image({good}, 4000), 0, false},
      {"head length beyond the used length", Image({Record(67, 0x7FFFFFFF, 4, 1)}), 0, false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    size_t used = c.used != 0 ? c.used : c.image.size();
    EXPECT_EQ(MechFileBaseClass::FindRecord(67, c.image, used) != nullptr, c.found);
    TestImage img;
    img.Adopt(c.image);
    uint8_t buffer[4] = {};
    img.GetRecord(67, buffer, sizeof buffer);
    EXPECT_EQ(buffer[0], c.found ? 0x11 : 0xD3);
  }
  // A used length claimed beyond the bytes given is not walked at all.
  auto image = Image({good});
  EXPECT_EQ(MechFileBaseClass::FindRecord(67, image, image.size() + 1), nullptr);
}

}  // namespace
}  // namespace qv6
