// The QV63x block layouts.
#include "qv6/later/later_blocks.h"

#include <initializer_list>

namespace qv6::later {
namespace {

using Simple = PlainField;

BlockLayout Layout(uint16_t type, uint16_t size, std::initializer_list<Simple> fields, bool bare = false) {
  return PlainLayout(type, size, fields, bare);
}

BlockLayout Status() {
  BlockLayout l = Layout(kBlockStatus, kStatusBlockSize, {{0, 2}, {2, 2}, {4, 2}});
  l.clearBeforeParse = true;
  // Each document record is stored whole, from the length that covers it.
  for (uint16_t base : {uint16_t{6}, uint16_t{20}}) {
    auto end = static_cast<uint16_t>(base + 14);
    for (Simple s : {Simple{0, 1}, Simple{1, 1}, Simple{2, 2}, Simple{4, 2}, Simple{6, 2}, Simple{8, 2},
                     Simple{10, 2}, Simple{12, 2}}) {
      l.fields.push_back({static_cast<uint16_t>(base + s.offset), s.width, false, end});
    }
  }
  l.fields.push_back({34, 2, false, 36});
  l.fields.push_back({36, 2, false, 38});
  return l;
}

BlockLayout Acquisition() {
  BlockLayout l = Layout(kBlockAcquisition, 95, {{0, 2}, {2, 1}});
  // The channel records only when all of them arrived.
  for (uint16_t i = 0; i < kChannelRecords * kChannelRecordSize; ++i) {
    l.fields.push_back({static_cast<uint16_t>(3 + i), 1, false, 95});
  }
  return l;
}

BlockLayout Ramps(uint16_t type) {
  BlockLayout l = Layout(type, 320, {});
  for (uint16_t i = 0; i < 2 * kRampEntries; ++i) {
    auto at = static_cast<uint16_t>(5 * i);
    uint16_t storeFrom = i < kRampEntries ? 160 : 320;  // acceleration table, deceleration table
    l.fields.push_back({at, 4, true, storeFrom});
    l.fields.push_back({static_cast<uint16_t>(at + 4), 1, false, storeFrom});
  }
  return l;
}

std::vector<BlockLayout> Qv63xLayouts() {
  std::vector<BlockLayout> v;
  v.push_back(Layout(kBlockIdentity, 0, {}, true));
  v.push_back(Status());
  v.push_back(Layout(kBlockStatusWord, 2, {{0, 2}}, true));
  v.push_back(Layout(kBlockInfo4, 10, {{0, 4}, {4, 2}, {6, 2}, {8, 2}}, true));
  v.push_back(Layout(kBlockInfo5, 10, {{0, 2}, {2, 2}, {4, 2}, {6, 2}, {8, 2}}, true));
  v.push_back(Layout(kBlockBare32, 0, {}, true));
  v.push_back(Layout(kBlockPrinter, 10, {{0, 2}, {2, 4}, {6, 4}}));
  v.push_back(Acquisition());
  v.push_back(Layout(kBlockDoubleFeed, 4, {{0, 2}, {2, 1}, {3, 1}}));
  v.push_back(Layout(kBlockSerialPort, 7, {{0, 4}, {4, 1}, {5, 1}, {6, 1}}));
  v.push_back(
      Layout(kBlockImageTransfer, 12, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {6, 2}, {8, 2}, {10, 2}}));
  v.push_back(Layout(kBlockMicrRequest, 1, {{0, 1}}));
  v.push_back(Layout(kBlockHostBuffer, 1, {{0, 1}}));
  v.push_back(ImageModuleLayout());
  v.push_back(Layout(kBlockMotor, 6, {{0, 2}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}));
  v.push_back(Layout(kBlockTransport, 34,
                     {{0, 2},
                      {2, 2},
                      {4, 2},
                      {6, 1},
                      {7, 1},
                      {8, 2},
                      {10, 1},
                      {11, 2},
                      {13, 2},
                      {15, 2},
                      {17, 2},
                      {19, 1},
                      {20, 1},
                      {21, 2},
                      {23, 2},
                      {25, 2},
                      {27, 1},
                      {28, 4},
                      {32, 2}}));
  v.push_back(Layout(kBlockMicrHead, 6, {{0, 2}, {2, 2}, {4, 2, true}}));
  v.push_back(
      Layout(kBlockPrinterSection, 15, {{0, 2}, {2, 1}, {3, 2}, {5, 2}, {7, 2}, {9, 2}, {11, 2}, {13, 2}}));
  v.push_back(Ramps(kBlockRamp0));
  v.push_back(Ramps(kBlockRamp1));
  return v;
}

void Replace(std::vector<BlockLayout>& layouts, BlockLayout layout) {
  for (BlockLayout& l : layouts) {
    if (l.type == layout.type) l = std::move(layout);
  }
}

std::vector<BlockLayout> Qv64xLayouts() {
  std::vector<BlockLayout> v = Qv63xLayouts();
  Replace(v, Layout(kBlockDoubleFeed, 6, {{0, 2}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}));
  BlockLayout transport = *BlockTable(Qv63xLayouts()).Find(kBlockTransport);
  transport.size = 46;
  for (Simple s : {Simple{34, 2}, Simple{36, 1}, Simple{37, 1}, Simple{38, 2}, Simple{40, 2}, Simple{42, 2},
                   Simple{44, 2}}) {
    transport.fields.push_back({s.offset, s.width, false, 0});
  }
  Replace(v, std::move(transport));
  Replace(v, Layout(kBlockMicrHead, 7, {{0, 2}, {2, 2}, {5, 2, true}, {4, 1}}));
  return v;
}

}  // namespace

BlockLayout PlainLayout(uint16_t type, uint16_t size, std::initializer_list<PlainField> fields, bool bare) {
  BlockLayout l;
  l.type = type;
  l.size = size;
  l.bareWhenBuilt = bare;
  for (const PlainField& f : fields) l.fields.push_back({f.offset, f.width, f.isSigned, 0});
  return l;
}

BlockLayout ImageModuleLayout() {
  BlockLayout l = PlainLayout(kBlockImageModule, 66, {});
  for (uint16_t i = 0; i < 12; ++i) l.fields.push_back({static_cast<uint16_t>(2 * i), 2, false, 0});
  // Gains, signed offsets and PWMs of a side; the rear group lies at odd offsets (packed).
  for (uint16_t base : {uint16_t{24}, uint16_t{43}}) {
    for (uint16_t i = 0; i < 4; ++i) l.fields.push_back({static_cast<uint16_t>(base + 2 * i), 2, false, 0});
    for (uint16_t i = 0; i < 4; ++i)
      l.fields.push_back({static_cast<uint16_t>(base + 8 + 2 * i), 2, true, 0});
    for (uint16_t i = 0; i < 3; ++i) l.fields.push_back({static_cast<uint16_t>(base + 16 + i), 1, false, 0});
  }
  l.fields.push_back({62, 2, false, 0});
  l.fields.push_back({64, 2, false, 0});
  return l;
}

const BlockTable& Qv64xBlockTable() {
  static const BlockTable table(Qv64xLayouts());
  return table;
}

const BlockTable& Qv63xBlockTable() {
  static const BlockTable table(Qv63xLayouts());
  return table;
}

}  // namespace qv6::later
