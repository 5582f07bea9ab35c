// DIB blocks and "device bitmaps": a device bitmap is the window layer's offscreen surface (24-bit colour
// as the screen makes it, or 1-bit), and the screen is the window layer's display description. Palettes
// are plain arrays of at most 256 entries.
#pragma once

#include <optional>

#include "imaging/dib_block.h"
#include "ui/display.h"
#include "ui/surface.h"

namespace zc::imaging {

using DeviceBitmap = ui::Surface;

// A colour surface of the DIB's size holding the DIB's colours (its own palette for 1, 4 and 8 bits);
// nothing when the DIB fails its header check or its depth is not 1, 4, 8 or 24. The palette, which a
// palette screen would realise, does not change the colours of a true-colour surface.
std::optional<DeviceBitmap> funcDIBHandleToDeviceBitmap(const DibBlock& dib, const LogPalette* palette);

// A DIB of the surface's own form: 1 bit with the palette black, white for a 1-bit surface, 24 bits for a
// colour one. Nothing for an empty surface.
std::optional<DibBlock> funcDeviceBitmapToDIBHandle(const DeviceBitmap& bitmap, const LogPalette* palette);

// A DIB of `bits` (rounded as funcCreateDIB rounds them) from the surface; 1, 4 and 8 bits take the
// palette's first 2^bits entries, or without one black and white (1 bit), the 16 standard colours (4) or
// the default palette (8), each pixel as its nearest entry. Nothing for a compression other than 0, a
// palette without entries or an empty surface.
std::optional<DibBlock> funcConvertBitmapDepth(const DeviceBitmap& bitmap, int bits, int compression,
                                               const LogPalette* palette);
// The same from a DIB, through a surface, with the DIB's own palette.
std::optional<DibBlock> funcConvertDIBDepth(const DibBlock& dib, int bits, int compression);
// A DIB of the header's bit count and compression from the surface.
std::optional<DibBlock> funcAllocDIBFromBitmap(int bitCount, int compression, const DeviceBitmap& bitmap);

// The screen's palette size, else its number of colours (a true-colour screen counts 4096).
int funcDeviceColorCount(const ui::DisplayInfo& display);

// The system palette of a palette screen: the 20 static colours at both ends, black between; no entries
// for a true-colour screen.
LogPalette funcSnapshotSystemPalette(const ui::DisplayInfo& display);

}  // namespace zc::imaging
