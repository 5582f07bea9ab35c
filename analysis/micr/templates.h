// The two character tables of the magnetic E13B classifiers: the peak templates of the peak classifier
// (positions, signs and shape windows of each class's lobes) and the waveform templates of the signal
// classifier (expected peak offsets and levels). Positions are samples at 50000 per second from the
// character's first sample; levels are on the conditioned 0..255 scale around the baseline 127.
#pragma once

#include <array>
#include <cstdint>

namespace analysis::micr {

struct PeakTemplateEntry {
  int16_t position = 0;     // 0 ends the table
  int16_t level = 0;        // signed peak level; 0 marks a flat (quiet) zone
  int16_t flatLength = 0;   // flat zones: samples examined minus 30
  int16_t before = 0;       // shape window before the extreme (flat zones: required run - 1)
  int16_t after = 0;        // shape window after it
  int16_t weight = 0;       // peak-match weight
  int16_t shapeWeight = 0;  // shape-match weight
};

struct MicrPeakTemplate {
  int16_t nominal, minimum, maximum, penalty;
  std::array<PeakTemplateEntry, 11> entries;
};

constexpr PeakTemplateEntry Peak(int position, int level, int before, int after, int weight, int shape) {
  return {static_cast<int16_t>(position), static_cast<int16_t>(level), 0, static_cast<int16_t>(before),
          static_cast<int16_t>(after),    static_cast<int16_t>(weight), static_cast<int16_t>(shape)};
}
// `examined` samples are searched for a quiet run of `run` samples.
constexpr PeakTemplateEntry Flat(int position, int examined, int run, int shape) {
  return {static_cast<int16_t>(position), 0, static_cast<int16_t>(examined - 30), static_cast<int16_t>(run - 1),
          0, 0, static_cast<int16_t>(shape)};
}

inline constexpr char kPeakClassSymbols[] = "0123456789:;<=967";
inline constexpr int kPeakClasses = 17;

inline constexpr std::array<MicrPeakTemplate, kPeakClasses> kPeakTemplates{{
    {156, 140, 167, 100, {Peak(4, 127, 4, 10, 60, 48), Peak(24, -124, 6, 6, 120, 48), Peak(126, 124, 8, 7, 120, 48),
                          Peak(147, -125, 8, 11, 60, 48), Flat(35, 109, 79, 48)}},
    {93, 81, 101, 100, {Peak(2, 111, 2, 8, 60, 48), Peak(43, 118, 8, 8, 120, 48), Peak(65, -76, 6, 7, 120, 48),
                        Peak(83, -109, 7, 10, 60, 48), Flat(13, 48, 19, 48)}},
    {94, 83, 104, 100, {Peak(3, 125, 3, 10, 60, 48), Peak(24, -71, 5, 5, 120, 48), Peak(64, 80, 5, 6, 120, 48),
                        Peak(85, -123, 9, 8, 60, 48), Flat(32, 54, 25, 48)}},
    {111, 103, 118, 100, {Peak(3, 116, 3, 11, 60, 48), Peak(23, 103, 8, 7, 120, 48), Peak(43, -111, 7, 8, 120, 48),
                          Peak(103, -59, 9, 8, 60, 48), Flat(55, 65, 36, 48)}},
    {135, 121, 142, 100, {Peak(2, 108, 4, 8, 60, 34), Peak(43, -64, 5, 5, 120, 34), Peak(85, 119, 8, 9, 120, 34),
                          Peak(125, -116, 10, 9, 60, 34), Flat(13, 52, 23, 34), Flat(51, 52, 23, 34),
                          Flat(97, 47, 18, 34)}},
    {113, 103, 123, 100, {Peak(3, 126, 3, 9, 60, 48), Peak(24, -77, 5, 4, 120, 48), Peak(83, 73, 6, 6, 120, 48),
                          Peak(103, -116, 8, 10, 60, 48), Flat(30, 75, 46, 48)}},
    {134, 124, 142, 100, {Peak(1, 111, 3, 8, 60, 30), Peak(22, -48, 4, 3, 75, 30), Peak(44, 62, 5, 7, 75, 30),
                          Peak(62, -24, 1, 2, 75, 30), Peak(103, 89, 9, 8, 75, 30), Peak(123, -89, 8, 11, 60, 30),
                          Flat(28, 38, 9, 0), Flat(69, 62, 33, 0)}},
    {113, 101, 121, 100, {Peak(2, 97, 3, 8, 60, 30), Peak(23, -48, 3, 3, 75, 30), Peak(43, 110, 5, 8, 75, 30),
                          Peak(64, -120, 8, 6, 75, 30), Peak(87, 41, 3, 3, 75, 30), Peak(106, -66, 7, 6, 60, 30),
                          Flat(13, 35, 6, 30), Flat(29, 37, 8, 30)}},
    {153, 144, 161, 100, {Peak(2, 120, 3, 9, 60, 34), Peak(22, 108, 7, 8, 75, 34), Peak(42, -121, 6, 7, 75, 34),
                          Peak(104, 122, 8, 8, 75, 34), Peak(125, -96, 7, 8, 75, 34), Peak(143, -98, 9, 10, 60, 34),
                          Flat(53, 70, 41, 34)}},
    {136, 125, 141, 100, {Peak(4, 128, 4, 10, 45, 34), Peak(22, -54, 3, 4, 90, 34), Peak(42, -77, 7, 7, 90, 34),
                          Peak(104, 51, 7, 5, 90, 34), Peak(125, -79, 9, 9, 45, 34), Flat(16, 36, 7, 34),
                          Flat(54, 76, 47, 34)}},
    {154, 146, 163, 100, {Peak(3, 123, 4, 11, 60, 34), Peak(63, -114, 8, 9, 120, 34), Peak(104, 120, 6, 10, 120, 34),
                          Peak(145, -110, 9, 10, 60, 34), Flat(16, 68, 39, 34), Flat(76, 50, 21, 34),
                          Flat(118, 47, 18, 34)}},
    {151, 144, 161, 100, {Peak(2, 80, 3, 7, 60, 30), Peak(42, -72, 7, 5, 75, 30), Peak(61, 100, 4, 8, 75, 30),
                          Peak(78, -70, 4, 12, 75, 30), Peak(101, 63, 5, 11, 75, 30), Peak(142, -57, 7, 11, 60, 30),
                          Flat(17, 45, 16, 30), Flat(116, 45, 16, 30)}},
    {154, 147, 165, 100, {Peak(2, 100, 3, 9, 60, 34), Peak(62, -97, 8, 6, 75, 34), Peak(84, 127, 6, 8, 75, 34),
                          Peak(102, -123, 6, 10, 75, 34), Peak(125, 124, 6, 9, 75, 34), Peak(144, -120, 6, 10, 60, 34),
                          Flat(13, 69, 40, 34)}},
    {157, 144, 166, 100, {Peak(5, 123, 5, 9, 60, 34), Peak(27, -100, 6, 6, 75, 34), Peak(47, 104, 5, 11, 75, 34),
                          Peak(89, -97, 8, 8, 75, 34), Peak(109, 87, 7, 11, 75, 34), Peak(150, -69, 11, 10, 60, 34),
                          Flat(62, 48, 19, 0), Flat(127, 39, 10, 0)}},
    {136, 125, 141, 100, {Peak(4, 128, 4, 10, 45, 34), Peak(42, -77, 7, 7, 90, 34), Peak(104, 51, 7, 5, 90, 34),
                          Peak(125, -79, 9, 9, 45, 34), Flat(16, 36, 7, 34), Flat(54, 76, 47, 34)}},
    {134, 126, 142, 100, {Peak(1, 111, 3, 8, 60, 30), Peak(22, -48, 4, 3, 75, 30), Peak(44, 62, 5, 7, 75, 30),
                          Peak(103, 89, 9, 8, 75, 30), Peak(123, -89, 8, 11, 60, 30), Flat(28, 38, 9, 0),
                          Flat(69, 62, 33, 0)}},
    {113, 107, 121, 100, {Peak(2, 97, 3, 8, 60, 30), Peak(23, -48, 3, 3, 75, 30), Peak(43, 110, 5, 8, 75, 30),
                          Peak(64, -120, 8, 6, 75, 30), Peak(106, -66, 7, 6, 60, 30), Flat(13, 35, 6, 30),
                          Flat(29, 37, 8, 30)}},
}};

struct MicrWaveTemplate {
  char symbol;
  int16_t width;
  std::array<int16_t, 8> offset;  // 0 ends the list
  std::array<int16_t, 8> level;

  int PeakCount() const {
    int n = 0;
    while (n < 8 && offset[static_cast<std::size_t>(n)] != 0) ++n;
    return n;
  }
};

// Rows 'A' and 'B' are second templates of '4' and ':', tried only to upgrade those two.
inline constexpr std::array<MicrWaveTemplate, 16> kWaveTemplates{{
    {'0', 152, {4, 24, 126, 147}, {255, 0, 255, 0}},
    {'1', 90, {4, 43, 63, 83}, {230, 230, 50, 15}},
    {'2', 93, {4, 24, 64, 85}, {255, 55, 205, 0}},
    {'3', 111, {4, 24, 44, 105}, {245, 240, 10, 70}},
    {'4', 130, {4, 44, 80, 118}, {235, 64, 255, 10}},
    {'5', 113, {4, 24, 83, 105}, {255, 45, 200, 10}},
    {'6', 134, {4, 22, 44, 62, 103, 123}, {245, 80, 190, 100, 215, 40}},
    {'7', 113, {4, 22, 44, 64, 87, 106}, {225, 80, 240, 10, 170, 60}},
    {'8', 153, {4, 22, 44, 104, 125, 143}, {245, 235, 5, 250, 30, 30}},
    {'9', 136, {4, 22, 44, 104, 125}, {255, 60, 40, 200, 10}},
    {':', 151, {4, 40, 52, 64, 104, 144}, {250, 160, 160, 10, 250, 15}},
    {';', 151, {4, 42, 61, 78, 101, 142}, {210, 50, 230, 50, 190, 70}},
    {'<', 154, {4, 62, 84, 102, 125, 144}, {230, 30, 255, 0, 251, 10}},
    {'=', 155, {4, 24, 42, 84, 106, 145}, {225, 30, 225, 30, 225, 30}},
    {'A', 130, {4, 80, 118}, {235, 255, 10}},
    {'B', 151, {4, 64, 104, 144}, {250, 10, 250, 15}},
}};

// Quiet-zone penalty of the signal classifier, by |level - baseline| / 16.
inline constexpr std::array<int, 16> kQuietPenalty{0, 0, 1, 3, 5, 10, 25, 25, 25, 25, 25, 25, 25, 25, 25, 25};

inline const MicrWaveTemplate* FindWaveTemplate(char symbol) {
  for (const MicrWaveTemplate& t : kWaveTemplates) {
    if (t.symbol == symbol) return &t;
  }
  return nullptr;
}

}  // namespace analysis::micr
