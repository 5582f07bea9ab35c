// Small operations on records shared by the writers, the black-and-white conversions and the scan calls:
// 24-bit to gray or 1-bit conversion, gray-level stretching, white padding lines, trims of 1-bit records,
// window copies, whole-record copies and right-margin crops. Buffers come with their sizes; a record that
// does not fit its buffer, or a result that would not fit its destination, is refused with -552 and
// nothing is written.
#pragma once

#include <cstdint>
#include <span>

namespace zc::imaging {

// 24-bit record to gray (depth 8), two pixels a byte (depth 4) or black where gray < threshold (depth 1).
// 1; -102 when the source is not 24 bit or the depth is not 8, 4 or 1.
int funcConv24ToGray(std::span<const uint8_t> source, std::span<uint8_t> destination, int depth, int threshold);

// Stretches (apply flag set) or clips the gray levels of a 4- or 8-bit record in place between minimum and
// maximum, widened by the record's histogram when the histogram flag is set. 1; -552 for other depths.
int ZARNGraySaturate(std::span<uint8_t> record, int minimum, int maximum, int apply, int useHistogram);

// Adds "Pad Top" white rows above and "Pad Bottom" white rows below a 4-, 8- or 24-bit record at least 500
// pixels wide, in place; `buffer` is the record's whole capacity. The new byte size, or -552 (record
// unchanged) for another depth, a narrower record or a grown record that would not fit.
int funcPadImageLines(std::span<uint8_t> buffer);
// The same with the row counts given.
int PadImageLines(std::span<uint8_t> buffer, int padTop, int padBottom);

// Drops blank rows above the content of a 1-bit record (at least `minimumHeight` rows stay; 0 means a
// third of the height) / blank columns right of it (at least `minimumWidth`, rounded up to a multiple of
// 8). In place; the new height / width, -555 when the record is not 1 bit.
int funcTrimTopRows(std::span<uint8_t> record, int minimumHeight, int startRow);
int funcTrimRightColumns(std::span<uint8_t> record, int minimumWidth, int startColumn);

// Window copies: 1- and 8-bit records (1-bit windows in whole bytes), and 4- and 8-bit records. A negative
// left or top counts as 0; the right and bottom are limited to the record; an empty window means the
// whole side. 1.
int funcCopyImageWindow(std::span<const uint8_t> source, std::span<uint8_t> destination, int left, int right,
                        int top, int bottom);
int funcCopyImageWindow4(std::span<const uint8_t> source, std::span<uint8_t> destination, int left, int right,
                         int top, int bottom);

// Whole 1-bit or 8-bit record copies. 1.
int funcCopyImage1(std::span<const uint8_t> record, std::span<uint8_t> destination);
int funcCopyImage8(std::span<const uint8_t> record, std::span<uint8_t> destination);

// Copies the columns from `left` to the right edge of the content (the first column, walking left from
// `startColumn`, where two of seven sampled rows are bright). 1, or the new width for the 1-bit form.
int funcCropRightMargin8(std::span<const uint8_t> source, std::span<uint8_t> destination, int startColumn,
                         int left, int threshold);
int funcCropRightMargin4(std::span<const uint8_t> source, std::span<uint8_t> destination, int startColumn,
                         int left, int threshold);
int funcCropRightMargin1(std::span<const uint8_t> source, std::span<uint8_t> destination, int startColumn,
                         int left, int threshold);

}  // namespace zc::imaging
