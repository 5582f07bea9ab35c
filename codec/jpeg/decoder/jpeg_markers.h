// JPEG marker segment parsing (ITU-T T.81 B.1/B.2, JFIF APP0).
//
// NextMarker handles one marker at the window's read position: SOF0/SOF2 frames, DHT, DQT, SOS, DRI,
// APP0 density; other SOF types and arithmetic coding are refused; everything else is skipped by its
// length. Every count and length is checked against the segment before it is used.
#pragma once

#include "codec/jpeg/decoder/jpeg_headers.h"
#include "codec/jpeg/decoder/jpeg_source.h"

namespace zc::jpegdec {

// Handles the marker at (or after) the read position. `info_only` reads just the frame size and does not
// move past SOS. Returns the marker byte handled. Throws JpegError.
int NextMarker(JpegHeaders& hdr, InputWindow& win, bool info_only);

// Moves the read position to the next 0xFF followed by a non-zero byte, refilling as needed; throws 9 when
// the stream ends first.
void FindMarker(InputWindow& win);

// Collects the texts of the COM segments before the first SOS or EOI into `buf` (kept NUL-terminated,
// never written past `size`); `dropped` receives the bytes that did not fit (at most 65535). A stream that
// ends first simply ends the walk. Returns the bytes stored.
size_t ReadComments(InputWindow& win, char* buf, size_t size, uint16_t* dropped);

// Runs NextMarker until a scan header has been read (full mode). EOI before a frame gives 21, a scan
// before a frame 20.
void ParseToScan(JpegHeaders& hdr, InputWindow& win);

}  // namespace zc::jpegdec
