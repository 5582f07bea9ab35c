// JPEG decoding from the first marker to the last band: header information, choice of the sequential or
// progressive path, and the output pass over a coefficient store.
#include "codec/jpeg/decoder/jpeg_decode.h"

#include "codec/jpeg/decoder/jpeg_error.h"
#include "codec/jpeg/decoder/jpeg_markers.h"
#include "codec/jpeg/decoder/jpeg_scan_common.h"

namespace zc::jpegdec {
namespace {

// Progressive stores are addressed with 16-bit MCU indexes by the callers' allocation callbacks.
constexpr uint32_t kMaxStoreMcus = 65535;
// The multi-scan sequential store is the decoder's own; it is bounded by size instead.
constexpr uint64_t kMaxStoreBytes = uint64_t{1} << 28;
// Window size: a few chunks, so that a held segment and the read-ahead fit.
constexpr size_t kWindowBytes = 17408;

}  // namespace

JpegInfo ReadJpegInfo(ByteSource& source) {
  InputWindow win(source, kWindowBytes);
  win.Refill();
  JpegHeaders hdr;
  while (!(hdr.flags & kFlagFrame)) {
    NextMarker(hdr, win, true);
    if (hdr.flags & kFlagScan) Fail(kErrNoFrame);
    if (hdr.flags & kFlagEoi) Fail(kErrEoiBeforeFrame);
  }
  JpegInfo info;
  info.width = hdr.width;
  info.height = hdr.height;
  info.components = hdr.ncomp;
  info.progressive = hdr.progressive;
  // The density normally precedes the frame; a JFIF APP0 after it is not looked for.
  info.density_dpi = hdr.density_dpi;
  return info;
}

[[noreturn]] void RethrowAtMarker(const JpegError& e, const BitReader& br, const InputWindow& win) {
  if (br.at_marker()) {
    if (win.available() < 2) Fail(kErrTruncated);
    uint8_t m = win.At(1);
    if (m == 0xD9) Fail(kErrTruncated);
    if (m >= 0xD0 && m <= 0xD7) Fail(kErrUnexpectedRestart);
  }
  throw e;
}

bool NextScan(JpegHeaders& hdr, InputWindow& win) {
  hdr.flags = static_cast<uint16_t>(hdr.flags & ~kFlagScan);
  for (;;) {
    int m = NextMarker(hdr, win, false);
    if (hdr.flags & kFlagScan) return true;
    if (m == 0xD9) return false;
  }
}

void OutputFromStore(const JpegHeaders& hdr, const Geometry& geo, BandOutput& out, CoefStore& store) {
  for (int my = 0; my < geo.mcus_y; ++my) {
    if (out.PastWindow(my)) break;
    if (!out.Needed(my)) continue;
    for (int mx = 0; mx < geo.mcus_x; ++mx) {
      const int16_t* base = store.Mcu(static_cast<uint32_t>(my) * geo.mcus_x + mx);
      for (int c = 0; c < hdr.ncomp; ++c) {
        if (!out.Uses(c)) continue;
        const int16_t* blk = base + 64 * geo.mcu_offset[c];
        for (int by = 0; by < geo.comp_v[c]; ++by) {
          for (int bx = 0; bx < geo.comp_h[c]; ++bx, blk += 64) out.PutBlock(c, mx, bx, by, blk);
        }
      }
    }
    out.Deliver(my);
  }
}

void DecodeJpeg(ByteSource& source, const OutputRequest& req, BandMapper* mapper, const DisplaySink& sink,
                const StoreFactory& store_factory) {
  InputWindow win(source, kWindowBytes);
  if (win.Refill() < 3) Fail(kErrRead);
  JpegHeaders hdr;
  ParseToScan(hdr, win);
  const Geometry geo = ComputeGeometry(hdr, req);

  if (!hdr.progressive && hdr.scan.ns == hdr.ncomp) {
    BandOutput out(hdr, geo, req, mapper, sink);
    DecodeSequentialStreaming(hdr, geo, win, out);
    return;
  }

  const uint32_t bytes_per_mcu = static_cast<uint32_t>(geo.blocks_per_mcu) * 128;
  if (hdr.progressive && geo.total_mcus > kMaxStoreMcus) Fail(kErrMemory);
  if (uint64_t{geo.total_mcus} * bytes_per_mcu > kMaxStoreBytes) Fail(kErrMemory);
  std::unique_ptr<CoefStore> store;
  if (hdr.progressive && store_factory) {
    store = store_factory(geo.total_mcus, bytes_per_mcu);
  } else {
    store = MakeInternalStore(geo.total_mcus, bytes_per_mcu);
  }

  if (hdr.progressive) {
    DecodeProgressiveScans(hdr, geo, win, *store);
  } else {
    // Multi-scan sequential: each scan fills its components; stop once the output has what it reads.
    const uint8_t all = static_cast<uint8_t>((1u << hdr.ncomp) - 1);
    const uint8_t wanted = geo.kind == kKindGray ? 1 : all;
    uint8_t seen = 0;
    for (;;) {
      DecodeSequentialScanToStore(hdr, geo, win, *store);
      seen = static_cast<uint8_t>(seen | hdr.scan.mask);
      if ((seen & wanted) == wanted) break;
      if (!NextScan(hdr, win)) Fail(kErrEoiBeforeFrame);
    }
  }
  // Tables are taken as they stand after the last scan: a stream may define a component's table just
  // before that component's first scan.
  BandOutput out(hdr, geo, req, mapper, sink);
  OutputFromStore(hdr, geo, out, *store);
  store->Finish();
}

}  // namespace zc::jpegdec
