// Editing the tags of single-strip bilevel TIFF pages: reading one tag, a tag table loaded from a page,
// edited and written out as a new one-page file with the page's strip, the tags of a cropped page, a
// byte-order converter, the size of an image held in memory, and appending a page of one file to another.
//
// The table, the last tag read and the page-joining memory are process-wide and belong to one caller at a
// time; a lock keeps two callers from tearing them apart.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/bilevel/image_view.h"

namespace zc::imaging {

inline constexpr int kMaxTiffTags = 35;

// 0 done, 1 open failed, 2 no memory, 3 not TIFF, 4 bad directory (read failure, or entry count outside
// 4 to 64), 5 tag not found, 6 type outside 1 to 5. The data land in host order; a buffer of fewer than 16
// bytes receives nothing.
int funcReadTIFFTag(const char* fileName, int page, int tag, void* buffer, int length);
int funcGetLastTagType();
int funcGetLastTagCount();
// The page's tags in file order, as many as `listBytes` holds (two bytes each); results as above.
int funcListTIFFTags(const char* fileName, int page, int* count, uint16_t* list, int listBytes);

// Loads the table from a little-endian file's page: 0; 1 open failed; 2 no memory; 3 not a little-endian
// TIFF; 4 bad directory; 5 entry count outside 5 to 29; 6 an entry type outside 1 to 5; 7 no memory for an
// entry's data; 8 an entry's data outside the file; 9 several strips or tiles. Any failure empties the table.
int funcLoadTIFFTags(const char* fileName, int page);
// The same from an open file of either byte order; the table's source is then named "OldHead.Tst".
int funcLoadTIFFTagsFromHandle(int file, int page);

// 0 added; 1 table empty; 2 table full; 3 tag present; 4 type outside 1 to 5; 5 data over 4 bytes without
// a pointer. `value` holds data of up to 4 bytes in little-endian form.
int funcAddTIFFTag(int tag, int type, uint32_t count, uint32_t value, const void* data);
// 0 changed; 1 table empty; 2 not found; 4 bad type; 5 data over 4 bytes without a pointer.
int funcSetTIFFTag(int tag, int type, uint32_t count, uint32_t value, const void* data);
// 0 removed; 1 table empty; 2 not found.
int funcDeleteTIFFTag(int tag);
// The table's tags in order (for callers and tests); at most kMaxTiffTags.
int funcTIFFTableTags(uint16_t* tags, int capacity);

// Writes the table and the source page's strip as a new one-page file ("II"; the MM form big-endian):
// 0; 1 table empty; 2 source not opened; 3 source page not readable; 4 target not created; 5 no memory;
// 6 write error. Success empties the table. A target that is the source itself is written to a temporary
// file first and renamed over it.
int funcWriteTIFFTags(const char* targetName);
int funcWriteTIFFTagsMM(const char* targetName);

// On a table loaded from the page `oldView` was read from: the tags of the cropped page `newView` (its
// strip of newView.stripByteCount bytes at offset 256 of the open file `newFile`), written as the file's
// 256-byte header: 0; 1 a basic tag cannot be set; 5 no memory; 6 write error; 8 the table cannot be
// brought below 21 entries.
int funcSetCroppedTIFFTags(const codec::ImageView& oldView, const codec::ImageView& newView, int newFile);

// Converts the file's byte order in place: 0; 1 open failed; 3 not TIFF; 4 bad directory or read error;
// 5 write error.
int funcSwapTIFFByteOrder(const char* fileName);

// The byte length of a TIFF, JPEG or BMP image held in memory, -1 when it is not recognised or its data
// would lie past `size` bytes (size 0: not known, as old callers pass).
int64_t funcGetMemImageSize(const uint8_t* image, size_t size);
// The same for "MD:<address>[:<size>]".
int64_t funcGetMemImageSize(const char* memoryName);

// Appends page 1 of the second file as the last page of the first, in the first file's byte order: 0;
// -106 no memory; -103 a file not opened; -104 a file not readable as a bilevel TIFF page; -107 a header
// shorter than 64 bytes.
int ZARNCombineTIFFS(const char* firstName, const char* secondName);

}  // namespace zc::imaging
