// Optical reading of the E13B code line from a 1-bit image of a cheque's front: a TIFF page (file or
// "MD:" memory image) or an image record, brought to about 200 dpi, cleaned, segmented into character
// boxes, classified and written as a code line with one confidence digit ('0'..'4') per character.
//
// Results: 0 read; 1 the file cannot be opened or the memory header not parsed; 2 the TIFF directory
// cannot be read, or the record is not 1 bit per pixel; 3 unsupported resolution or geometry (also a
// TIFF under 160 rows, a record with a negative side, or one whose rows do not fit its buffer); 4 no
// memory; 5 decoding error; 6 fewer than 5 characters. Both output buffers hold 128 bytes; a loader
// failure leaves them untouched, a recognition failure empties them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace analysis::ocr {

int funcOCRTiffImage(const char* name, int page, int option, char* codeLine, char* confidence);
int funcOCRRawImage(const uint8_t* record, size_t recordSize, char* codeLine, char* confidence);
// For an image lying upside down: the lower half of the working image becomes the upper half turned
// through 180 degrees (exact when the width is a multiple of 8).
int funcOCRRawImageRotated(const uint8_t* record, size_t recordSize, char* codeLine, char* confidence);
// Rows scanned: first >= end the bottom half inch; first < 0 the last |first| rows; else [first, end).
int funcSetOCRBand(int first, int end);

}  // namespace analysis::ocr
