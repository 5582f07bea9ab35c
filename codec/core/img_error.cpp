// The numbered error table of the codec and the process-wide last error.
#include "codec/core/img_error.h"

#include <array>
#include <cstddef>

namespace zc::codec {

thread_local int iImgError = 0;

namespace {
constexpr const char* kUnknownText = "Error code does not match known errors.";

// Index = error code; null entries have no text of their own.
constexpr std::array<const char*, 74> kTexts = {
    nullptr,
    "File handle appears corrupt.",
    "Unable to allocate memory.",
    "Seek in Image file failed.",
    "Read in Image file failed.",
    "Image file header ID corrupt.",
    "Unable to read palette from image file.",
    "Offset in image file to image data appears corrupt.",
    "Display image dimensions appear corrupt.",
    "Unexpected end of image file in middle of data.",
    "GIF Code was not valid.  File appears corrupt.",
    "GIF Image file appears corrupt since image was not found.",
    "Pointer passed to decompression function is NULL.",
    "Not Supported image file format, i.e. probably 2, 16, or 24 bit color.",
    "User Display Function returned an error.",
    "Selected compression bits is unsupported for this compression format.",
    nullptr,
    nullptr,
    nullptr,
    "Error was returned by BIOS while writing an image file.",
    "Could not find Start of Frame marker in a JPEG file.",
    "Start of Scan marker encountered before Start of Frame Marker (JPEG).",
    "Unsupported JPEG format.",
    "Encountered an unexpected restart marker.",
    "JPEG component selected in Start of Scan not previously defined.",
    "Number of Huffman codes found differs from JPEG Define Huffman Table marker.",
    "Requested Huffman DC Table is undefined.",
    "Requested Huffman AC Table is undefined.",
    "Number of Huffman codes defined exceeds 256.",
    "Restart marker encountered not expected marker.  Suspected data lost.",
    "JPEG Huffman Table selected is not within class and ID range.",
    "Insufficient number of colors chosen for color palette (JPEG).",
    "Precision or frame length of JPEG Define Quantization Table marker invalid.",
    "Define Quantatization Table precision and/or table ID invalid.",
    "Encountered invalid or unspecified Huffman code while decoding.",
    "During JPEG Huffman code decoding encountered invalid code",
    "Quantization table selected for component was not previously defined",
    "Restart marker missing or invalid",
    "Palette was not allocated or set in decompression structure",
    "Horizontal scale factor * sampling factor must be 1/8,1/4...4,8",
    "Vertical scale factor * sampling factor must be 1/8,1/4...4,8",
    "Strip size of decompression exceeds DOS 64K buffer limit.",
    "Extended Memory Driver not installed.",
    "Unable to allocate enough Extended Memory.",
    "Error with parameters for Scale N to M.  Check for buffer sizes.",
    "Number of scan lines to compress requires more than 64K block of memory.",
    "Color Space chosen for JPEG compression unrecognized.",
    "Null Pointer passed to write Define Quantization Table.",
    "Null Pointer passed to write Define Huffman Table.",
    "Restart Interval encountered while writing not sequential.",
    "Value presented for Huffman coding has no Huffman code associated to it.",
    "Input is indexed color palette and compression palette pointer is null.",
    "Supported input color spaces are palette indexed and RGB.",
    "Progressive JPEG compression not currently supported.",
    "Error allocating memory for MCU storage during decompression.",
    "Error getting pointer to memory for MCU storage during decompression.",
    "Error deallocating memory for MCU storage during decompression.",
    "Error - Unsupported Rotation Value.",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    "Start of Scan paramaters invalid or unsupported.",
    "TIFF file format not Intel or Motorola.",
    "Unknown TIFF type for variable.",
    "File not a TIFF file or new version of TIFF.",
    "TIFF offset to Image File Directory invalid.",
    "Specified TIFF type must have pointer not field.",
    "Strip offset types supported are short or long only.",
    "Unsupported TIFF types.",
    "Value to color add exceeds allowable values.",
    "Value to color multiply exceeds allowable values.",
};
}  // namespace

int funcGetImgError() {
  return iImgError;
}

const char* funcImgErrorText(int code) {
  if (code < 0 || static_cast<std::size_t>(code) >= kTexts.size() || kTexts[code] == nullptr)
    return kUnknownText;
  return kTexts[code];
}

int imgFail(int code) {
  iImgError = code;
  return -1;
}

}  // namespace zc::codec
