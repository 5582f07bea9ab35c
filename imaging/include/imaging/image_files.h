// The image-file calls of the API outside the image windows: file names through the program's rule,
// copying files, page counts, the code-line tag 34604 of TIFF files (in place in the program's own header
// and through the tag editor), and cropping a bilevel page to its written area.
//
// Tag 34604 holds the code line with its terminating NUL (count = length + 1, at least 5); readers still
// take files whose count leaves the NUL out. No call truncates a file it is reading: a target that is the
// source itself is refused (copy, tag rewrite) or written beside it and renamed (crop).
#pragma once

#include <string>

#include "codec/bilevel/image_view.h"

namespace zc::imaging {

inline constexpr int kMicrTag = 34604;
// The room for the code line in the program's own G4 header, at offset 328.
inline constexpr int kHeaderMicrTextRoom = 70;

// The name as the program uses it: with parameter 104 ("FileNamesTerminated") 0 the name ends at its first
// blank and keeps at most 255 characters; otherwise it is kept whole. Empty for a null name or one the rule
// cannot hold (more than 255 characters when terminated names are off), which no file opens.
std::string funcApplyFileNameRule(const char* name);

// Copies the source over the target (created or truncated, owner read and write): 0; -103 when a file
// cannot be opened, the two are one file, or a read or write fails; -106 without memory.
int funcCopyFile(const char* source, const char* target);

int ZARNGetTIFFPageCount(const char* fileName);
// Tag 34604 of the page into `buffer` (cleared first, always ended with a 0): 0, or -315.
int ZARNGetMICRTag(const char* fileName, int page, char* buffer, int length);
// Writes the page with tag 34604 set to the text: 1; -318 when source and target are one file; -316 when
// the page's tags cannot be loaded; -317 when the tag can be neither added nor changed (the target is
// rewritten anyway); -319 when the target cannot be written.
int ZARNSetMICRTag(const char* source, int page, const char* text, int length, const char* target);
// Puts the text into the program's own G4 header of the file in place; other files, and texts of 70 or
// more characters (or a negative length), are left alone: 0. -103 when the file cannot be opened, -107 when
// it has fewer than 512 bytes.
int ZARNPutMICRTextInHeader(const char* fileName, const char* text, int length);

// The bounding box of the black pixels of the bilevel page `view` describes (read from `fileName`):
// 0 with the box (right and bottom exclusive; the whole page when nothing is black), 1 when the file
// cannot be opened, or the decoder's code when it cannot start.
int funcGetImageFileBounds(const char* fileName, const codec::ImageView& view, int* left, int* top, int* right,
                           int* bottom);
// Writes page 1 of the bilevel file `source` cut to [left, right) x [top, bottom) as a G4 TIFF with a
// white margin of `percent` of the box on every side (-1: the whole page, no margin), with the source's
// tags: 0; 1 source not opened or its tags not read; 2 no memory; 3 the encoder did not start; 4 the tags
// not written.
int funcCropImageFileToTIFF(void* unused, const char* source, const char* target, int left, int top, int right,
                            int bottom, int percent);
// Page 1 of a bilevel TIFF cut to its written area with a margin of `percent` (-1 the whole page; outside
// -1..25 counts as 0): 1, or -103. A target that is the source itself is written beside it and renamed.
int ZARNCropTIFFImage(const char* source, const char* target, int percent);

}  // namespace zc::imaging
