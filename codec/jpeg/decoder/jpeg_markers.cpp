// JPEG marker segment parsing (ITU-T T.81 B.2, Figure 5 zig-zag order; JFIF 1.02 APP0).
#include "codec/jpeg/decoder/jpeg_markers.h"

#include <cstring>

#include "codec/jpeg/decoder/jpeg_error.h"
#include "codec/jpeg/decoder/jpeg_zigzag.h"

namespace zc::jpegdec {
namespace {

uint16_t Be16(const InputWindow& win, size_t off) {
  return static_cast<uint16_t>((win.At(off) << 8) | win.At(off + 1));
}

// Makes the whole segment (marker, length and body) available; returns its length field.
// Segments that must be held whole are limited to one chunk.
uint16_t HoldSegment(InputWindow& win) {
  if (!win.Ensure(4)) Fail(kErrTruncated);
  uint16_t len = Be16(win, 2);
  if (len < 2 || len > InputWindow::kChunk) Fail(kErrTruncated);
  if (!win.Ensure(2u + len)) Fail(kErrTruncated);
  return len;
}

void SkipSegment(InputWindow& win) {
  if (!win.Ensure(2)) Fail(kErrTruncated);
  if (win.At(1) == 0xFF) {  // fill byte before a marker
    win.Advance(1);
    return;
  }
  if (!win.Ensure(4)) Fail(kErrTruncated);
  uint16_t len = Be16(win, 2);
  if (len < 2) Fail(kErrTruncated);
  win.Advance(4);
  size_t remaining = len - 2u;
  while (remaining) {
    size_t step = remaining < win.available() ? remaining : win.available();
    win.Advance(step);
    remaining -= step;
    if (remaining && win.Restart() == 0) Fail(kErrTruncated);
  }
}

void ReadFrame(JpegHeaders& hdr, InputWindow& win, bool progressive, bool info_only) {
  uint16_t len = HoldSegment(win);
  if (len < 8) Fail(kErrTruncated);
  if (!info_only && (hdr.flags & kFlagFrame)) Fail(kErrUnsupported);  // a second frame
  uint8_t precision = win.At(4);
  uint16_t height = Be16(win, 5);
  uint16_t width = Be16(win, 7);
  uint8_t ncomp = win.At(9);
  // The decoder keeps three component slots and 8-bit samples; a frame of height 0 would need a DNL
  // segment, which this reader does not follow.
  if (precision != 8 || ncomp == 0 || ncomp > kMaxComponents || width == 0 || height == 0) {
    Fail(kErrUnsupported);
  }
  if (len < 8u + 3u * ncomp) Fail(kErrTruncated);
  hdr.precision = precision;
  hdr.height = height;
  hdr.width = width;
  hdr.ncomp = ncomp;
  hdr.progressive = progressive;
  if (!info_only) {
    for (int i = 0; i < ncomp; ++i) {
      JpegComponent c;
      c.id = win.At(10 + 3 * i);
      c.h = win.At(11 + 3 * i) >> 4;
      c.v = win.At(11 + 3 * i) & 15;
      c.tq = win.At(12 + 3 * i);
      if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) Fail(kErrUnsupported);
      hdr.comp[i] = c;
    }
    // A single-component frame is always coded non-interleaved, one block per MCU (T.81 A.2.2),
    // whatever sampling factors it declares.
    if (ncomp == 1) hdr.comp[0].h = hdr.comp[0].v = 1;
  }
  hdr.flags |= kFlagFrame;
  win.Advance(2u + len);
}

void ReadHuffman(JpegHeaders& hdr, InputWindow& win) {
  uint16_t len = HoldSegment(win);
  size_t off = 4;
  size_t end = 2u + len;
  while (off < end) {
    if (end - off < 17) Fail(kErrHuffCount);
    uint8_t tc = win.At(off) >> 4;
    uint8_t th = win.At(off) & 15;
    if (tc > 1 || th > 1) Fail(kErrHuffClass);
    uint8_t bits[16];
    unsigned count = 0;
    for (int i = 0; i < 16; ++i) {
      bits[i] = win.At(off + 1 + i);
      count += bits[i];
    }
    if (count > 256) Fail(kErrHuffTooMany);
    if (17u + count > end - off) Fail(kErrHuffCount);
    auto& slot = tc == 0 ? hdr.dc[th] : hdr.ac[th];
    if (!slot) slot = std::make_unique<HuffTable>();
    BuildHuffTable(*slot, tc, th, bits, win.data() + win.pos() + off + 17);
    off += 17u + count;
  }
  hdr.flags |= kFlagDht;
  win.Advance(end);
}

void ReadQuant(JpegHeaders& hdr, InputWindow& win) {
  uint16_t len = HoldSegment(win);
  size_t off = 4;
  size_t end = 2u + len;
  while (off < end) {
    uint8_t pq = win.At(off) >> 4;
    uint8_t tq = win.At(off) & 15;
    if (tq > 3 || pq > 1) Fail(kErrQuantId);
    size_t size = pq ? 129 : 65;
    if (size > end - off) Fail(kErrQuantLength);
    auto& slot = hdr.quant[tq];
    if (!slot) slot = std::make_unique<JpegQuantTable>();
    slot->id = tq;
    slot->precision = pq;
    for (int k = 0; k < 64; ++k) {
      uint16_t v = pq ? Be16(win, off + 1 + 2 * k) : win.At(off + 1 + k);
      slot->q[kZigzag[k]] = v;
    }
    off += size;
  }
  hdr.flags |= kFlagDqt;
  win.Advance(end);
}

void ReadScan(JpegHeaders& hdr, InputWindow& win, bool info_only) {
  if (info_only) {
    hdr.flags |= kFlagScan;
    return;
  }
  if (!(hdr.flags & kFlagFrame)) Fail(kErrNoFrame);
  uint16_t len = HoldSegment(win);
  if (len < 3) Fail(kErrTruncated);
  uint8_t ns = win.At(4);
  if (ns == 0) Fail(kErrScanComponent);
  if (ns > kMaxComponents) Fail(kErrScanParams);
  if (len != 6u + 2u * ns) Fail(kErrScanParams);
  JpegScan scan;
  scan.ns = ns;
  for (int i = 0; i < hdr.ncomp; ++i) hdr.comp[i].in_scan = false;
  for (int j = 0; j < ns; ++j) {
    uint8_t id = win.At(5 + 2 * j);
    int found = -1;
    for (int i = 0; i < hdr.ncomp; ++i) {
      if (hdr.comp[i].id == id) {
        found = i;
        break;
      }
    }
    if (found < 0) Fail(kErrNoFrame);
    if (scan.mask & (1u << found)) Fail(kErrScanParams);  // a component named twice
    scan.mask = static_cast<uint8_t>(scan.mask | (1u << found));
    scan.comp[j] = static_cast<uint8_t>(found);
    JpegComponent& c = hdr.comp[found];
    c.td = win.At(6 + 2 * j) >> 4;
    c.ta = win.At(6 + 2 * j) & 15;
    c.in_scan = true;
  }
  size_t p = 5u + 2u * ns;
  scan.ss = win.At(p);
  scan.se = win.At(p + 1);
  scan.ah = win.At(p + 2) >> 4;
  scan.al = win.At(p + 2) & 15;
  hdr.scan = scan;
  hdr.flags |= kFlagScan;
  win.Advance(2u + len);
}

void ReadRestartInterval(JpegHeaders& hdr, InputWindow& win) {
  if (!win.Ensure(6)) Fail(kErrTruncated);
  hdr.restart_interval = Be16(win, 4);
  hdr.flags |= kFlagDri;
  win.Advance(6);
}

void ReadApp0(JpegHeaders& hdr, InputWindow& win) {
  hdr.flags |= kFlagApp0;
  if (!win.Ensure(4)) Fail(kErrTruncated);
  uint16_t len = Be16(win, 2);
  if (len >= 12 && win.Ensure(14) && win.At(4) == 'J' && win.At(5) == 'F' && win.At(6) == 'I' &&
      win.At(7) == 'F' && win.At(8) == 0) {
    uint8_t units = win.At(11);
    uint32_t x = Be16(win, 12);
    if (units == 2) x = x * 254 / 100;
    hdr.density_dpi = static_cast<uint16_t>(x > 0xFFFF ? 0xFFFF : x);
  }
  SkipSegment(win);
}

}  // namespace

size_t ReadComments(InputWindow& win, char* buf, size_t size, uint16_t* dropped) {
  size_t stored = 0;
  uint64_t lost = 0;
  if (size) buf[0] = 0;
  try {
    for (;;) {
      if (!win.Ensure(2)) break;
      if (win.At(0) != 0xFF || win.At(1) == 0) FindMarker(win);
      const int m = win.At(1);
      if (m == 0xD9 || m == 0xDA) break;
      if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {  // markers without a segment
        win.Advance(2);
        continue;
      }
      if (m != 0xFE) {
        SkipSegment(win);
        continue;
      }
      if (!win.Ensure(4)) break;
      const uint16_t len = Be16(win, 2);
      if (len < 2) break;
      win.Advance(4);
      size_t remaining = len - 2u;
      while (remaining) {
        if (win.available() == 0 && win.Restart() == 0) Fail(kErrTruncated);
        size_t step = remaining < win.available() ? remaining : win.available();
        size_t room = size > stored + 1 ? size - stored - 1 : 0;
        size_t take = step < room ? step : room;
        if (take) std::memcpy(buf + stored, win.data() + win.pos(), take);
        stored += take;
        lost += step - take;
        if (size) buf[stored] = 0;
        win.Advance(step);
        remaining -= step;
      }
    }
  } catch (const JpegError&) {
    // A damaged or truncated stream ends the walk; what was collected stays.
  }
  if (dropped) *dropped = static_cast<uint16_t>(lost > 0xFFFF ? 0xFFFF : lost);
  return stored;
}

void FindMarker(InputWindow& win) {
  for (;;) {
    const uint8_t* d = win.data();
    size_t i = win.pos();
    size_t fill = win.fill();
    for (; i + 1 < fill; ++i) {
      if (d[i] == 0xFF && d[i + 1] != 0) {
        win.SetPos(i);
        return;
      }
    }
    // Keep a trailing 0xFF: its marker byte may come with the next chunk.
    win.SetPos(i < fill && d[i] == 0xFF ? i : fill);
    if (win.Refill() == 0) Fail(kErrTruncated);
  }
}

int NextMarker(JpegHeaders& hdr, InputWindow& win, bool info_only) {
  if (!win.Ensure(2)) Fail(kErrTruncated);
  if (win.At(0) != 0xFF || win.At(1) == 0) FindMarker(win);
  int m = win.At(1);
  switch (m) {
    case 0xD8:
      hdr.flags |= kFlagSoi;
      win.Advance(2);
      break;
    case 0xD9:
      hdr.flags |= kFlagEoi;
      win.Advance(2);
      break;
    case 0xC0:
    case 0xC2:
      ReadFrame(hdr, win, m == 0xC2, info_only);
      break;
    case 0xC1:
    case 0xC3:
    case 0xC5:
    case 0xC6:
    case 0xC7:
    case 0xC8:
    case 0xC9:
    case 0xCA:
    case 0xCB:
    case 0xCD:
    case 0xCE:
    case 0xCF:
    case 0xDE:
      Fail(kErrUnsupported);
    case 0xC4:
      if (info_only) {
        SkipSegment(win);
      } else {
        ReadHuffman(hdr, win);
      }
      break;
    case 0xDB:
      if (info_only) {
        SkipSegment(win);
      } else {
        ReadQuant(hdr, win);
      }
      break;
    case 0xDA:
      ReadScan(hdr, win, info_only);
      break;
    case 0xDC:
    case 0xDD:
      ReadRestartInterval(hdr, win);
      break;
    case 0xE0:
      ReadApp0(hdr, win);
      break;
    case 0xD0:
    case 0xD1:
    case 0xD2:
    case 0xD3:
    case 0xD4:
    case 0xD5:
    case 0xD6:
    case 0xD7:
      Fail(kErrUnexpectedRestart);
    default:
      SkipSegment(win);
      break;
  }
  return m;
}

void ParseToScan(JpegHeaders& hdr, InputWindow& win) {
  hdr.flags = static_cast<uint16_t>(hdr.flags & ~kFlagScan);
  for (;;) {
    int m = NextMarker(hdr, win, false);
    if (hdr.flags & kFlagScan) return;
    if (m == 0xD9) Fail(kErrEoiBeforeFrame);
  }
}

}  // namespace zc::jpegdec
