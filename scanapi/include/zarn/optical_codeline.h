// The optical check of the code line: a 1-bit, 200-dpi strip of 160 rows cut from the bottom of the front
// image (a gray record, a DIB's own bottom-up rows, a 1-bit record or a TIFF page), read by the analysis
// subsystem's optical reader and merged into the caller's code line; the final formatting of the code
// line by "MICR: Format"; and a reject test.
//
// Code-line buffers travel with their room; a line written into one never passes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "zarn/analysis.h"

namespace zarn {

inline constexpr int kStripRows = 160;
inline constexpr int kStripDpi = 200;
inline constexpr size_t kAssembledLineMax = 80;

// The strip record (header width, 160, 1, 200) cut from a 4- or 8-bit record at 200 dpi (its bottom 160
// rows) or 100 dpi (its bottom 80 rows doubled both ways, twice as wide): black where a level is below
// `threshold`. Rows the image does not have stay white; other depths or resolutions give white rows only.
// Empty for a record that does not fit its buffer or has no columns.
std::vector<uint8_t> BuildGrayStrip(std::span<const uint8_t> record, int threshold);
// The same from bottom-up DIB rows `stride` bytes apart (strip row 0 is DIB row 159).
std::vector<uint8_t> BuildGrayRowsStrip(std::span<const uint8_t> rows, int width, int height, size_t stride,
                                        int bits, int dpi, int threshold);

// The readers: each builds its image, reads it optically and, when that succeeds, merges the reading into
// `codeLine` (the simple merge) and copies the merged line over it. The merge's result; when the optical
// reading fails the code line stays as it was and the reader's own non-zero result is returned (-102 when
// no image could be made: an unusable record or no memory for the strip).
int funcOCRMICRFromGrayImage(std::span<const uint8_t> record, char* codeLine, size_t room);
int funcOCRMICRFromGrayRows(std::span<const uint8_t> rows, int width, int height, size_t stride, int bits, int dpi,
                            char* codeLine, size_t room);
// With the caller's threshold; also hands out the optical line, its confidence and the merged line (each
// `outRoom` bytes) and sets the done flag to 0.
int funcOCRMICRFromGrayImageEx(std::span<const uint8_t> record, char* codeLine, size_t room, char* opticalLine,
                               char* confidence, char* mergedLine, size_t outRoom, int threshold, int* done);
int funcOCRMICRFromBWImage(std::span<const uint8_t> record, char* codeLine, size_t room);
// Page 1 of a TIFF file or "MD:" memory image.
int funcOCRMICRFromFile(const char* name, char* codeLine, size_t room);

// Formats the final code line in place by parameter 107: format 1 removes the blanks, format 3 (with a
// method other than "KWL") re-spaces it by the character positions the magnetic decoder measured for the
// document (`magnetic`, null: none). The result is at most 80 characters and never passes `room`. 0.
int funcAssembleMICR(char* codeLine, size_t room, const AnalysisState* magnetic);
// The same re-spacing on given results (format 3 step alone).
void RespaceCodeLine(char* codeLine, size_t room, const MagneticMicrResults& magnetic);

// -525 when the length is below 2 or a reject ('@') stands in the first `length` characters; else 0.
int funcCheckCodelineRejects(const char* codeLine, int length);

// Hands the gray, black-and-white and DIB-row readers to the DIB conversions of the image records.
void InstallDibCodeLineReaders();

}  // namespace zarn
