// Image files of the capture program: records as TIFF G4 (behind the program's own 512-byte header), BMP
// and JPEG files, the twelve record-to-file writers, and images held in memory ("MD:" targets, and TIFF
// and BMP images a scanner delivers in memory turned into records in place).
//
// Every function that takes a record also takes the size of its buffer. Files are created with mode
// 0666 less the umask, their names through the platform's path layer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>

#include "codec/bilevel/fax_encoder.h"

namespace zc::imaging {

inline constexpr size_t kTiffG4HeaderBytes = 512;
inline constexpr uint32_t kTiffG4DataOffset = 512;

// The program's TIFF G4 header, the same 512 bytes in front of every G4 file and memory image.
using TiffG4Header = std::array<uint8_t, kTiffG4HeaderBytes>;

// The header for a page of `width` x `rows` coded into `stripBytes` bytes at `dpi`: 19 entries (18
// without the code-line tag, when parameter 105 is 0), the Software text carrying `checksum` as four
// hexadecimal digits, DateTime from `now`, an empty code-line area at 328.
TiffG4Header MakeTiffG4Header(int width, int rows, uint32_t stripBytes, int dpi, uint16_t checksum,
                              bool micrTag, const std::tm& now);

// Writes the header for the page `ctx` has just coded: at the context's memory address ("MEMORYDIRECT") or
// at offset 0 of its file. 1, or -233 after a short write.
int funcWriteTIFFHeader(const codec::FaxEncodeCtx& ctx, uint16_t checksum);

// A 1-bit record as a G4 TIFF into the open file: 1; -555 for a record that is not 1 bit; -552 for rows of
// more than 1024 bytes or a header that does not fit the buffer; -106 without memory; -232 when the
// encoder does not start on the file; -233 after a short write.
int funcCompressImageG4(int file, int mode, std::span<const uint8_t> record);

// A 1-bit image of `rows` rows `stride` bytes apart (the first `width` bits of each are the page) coded as
// G4 behind the program's header, with `checksum` in it, into the named file or "MD:" target: the header
// writer's result (1), -105 when the file cannot be created or the encoder does not start, -233 after a
// short write, -552 for rows longer than the encoder takes.
int WriteBitImageAsG4(const char* outputName, int width, int rows, const uint8_t* bits, size_t stride, int dpi,
                      uint16_t checksum);

// BMP of a record into an open file (4, 8 or 24 bits) or a new file (1, 4, 8 or 24 bits): 1; -105 file not
// created; -106 without memory; -555 another depth; -233 short write; -552 a header that does not fit.
int funcWriteBMPImage(int file, std::span<const uint8_t> record);
int funcCompressImageBMP(const char* fileName, std::span<const uint8_t> record);
// BMP of a DIB's rows as they stand (1, 4 or 8 bits, the DIB's palette of 2^bits entries): 1, -105, -233,
// or -555 for another depth.
int funcWriteDIBBMPImage(const uint8_t* pixels, const uint8_t* palette, const char* fileName, int width, int height,
                         int stride, int bits, int xDpi, int yDpi);

// JPEG of a 4-, 8- or 24-bit record into an open file through the codec (mode 3: BMP instead): 1; -102 no
// codec descriptor; -106 without memory; -232 the codec refused to start, a band or the end; -552 a record
// that does not fit its buffer.
int funcCompressImageGray(int file, int mode, std::span<const uint8_t> record);

// A 4- or 8-bit record at full or half scale as a file of 8, 4 or 1 bits per pixel (mode 1 G4, 3 BMP, 4
// JPEG): 1, 0 when nothing was to be written, -552 for arguments it does not take, or the writer's result.
int funcConvImageToFile(std::span<const uint8_t> record, int threshold, int scale, int outputDepth, int mode,
                        const char* fileName);

// Memory images. Every offset and count of the header is checked against `size`.
struct TiffMemInfo {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 1;
  int32_t xResolution = 0;
  int32_t yResolution = 0;
  int32_t stripOffset = 0;
  int32_t stripBytes = 0;
  int32_t photometric = 0;
};
// 0; 1 not TIFF (or a field outside the buffer); 2 several strips; 3 tiled; 4 first directory beyond 2048.
int funcParseMemTIFFHeader(const uint8_t* buffer, size_t size, TiffMemInfo* info);
// Turns the TIFF (or BMP) image at the start of `buffer` into a record at the same place: the record's
// height (or the trimming's result for a trimmed 1-bit page); -316 when the image is not recognised or does
// not fit; -106 without memory.
int funcAddMemTIFFHeader(uint8_t* buffer, size_t size, int flag, int64_t* imageSize, int64_t* imageOffset,
                         int cropMargin);
int funcAddMemHeaderToBMP(uint8_t* buffer, size_t size, int unused, int64_t* imageSize, int64_t* imageOffset);

// "MD:" targets: a 1-bit record as TIFF G4 (header at the address, data behind it) and a 4-, 8- or 24-bit
// record as JPEG (format 3: BMP). A size given with the target bounds every write.
int funcWriteBWImageToMemTIFF(const char* name, std::span<const uint8_t> record);
int funcWriteImageToMemJPEG(const char* name, std::span<const uint8_t> record, int format);

// Image file formats by their codes in the scan and compress calls (0 is TIFF G4 too; any other code
// writes the codec's BMP).
enum ImageFileFormat : int {
  kFormatTiffG4 = 1,
  kFormatBmp = 3,
  kFormatGrayJpeg = 4,
  kFormatGif = 5,
  kFormatPcx = 6,
  kFormatJpeg = 7,
  kFormatProgressiveJpeg = 8,
  kFormatProgressiveGrayJpeg = 9,
};

// A scan's DIB written straight to a file by format code (0/1 G4, 3 BMP, 4 gray JPEG, 5 GIF, 6 PCX, 7 JPEG,
// 8 and 9 progressive JPEG; others the codec's BMP): the file's size; -102 codec refused, -103 file not
// created, -104 depth and format do not fit, -105 no pixels or the file not reopened, -106 no memory, -232
// the codec's end failed. The crop flag and threshold are accepted and not used; with a code-line buffer
// the optical check runs as for records.
int VW_CompressDIB(std::span<uint8_t> dib, const char* fileName, int format, int cropFlag, int cropThreshold,
                   int bwThreshold, int dpi, char* codeLine, size_t codeLineRoom);

// The API's compress calls: a 1-bit record as a G4 file, a 4-, 8- or 24-bit record as JPEG (format 3 BMP),
// each to a file or an "MD:" target.
int ZARNCompressImage(const char* name, std::span<const uint8_t> record);
int ZARNCompressImageGray(const char* name, std::span<const uint8_t> record, int format);
// The name as the compress calls use it: with parameter 104 0 up to its first blank and at most 255
// characters; otherwise whole. 0 for a null source (target emptied), -105 for a whole name longer than
// 255 characters (no file may be written under a cut name), else 1.
int funcCutFileName(const char* source, char* target, size_t targetSize);

}  // namespace zc::imaging
