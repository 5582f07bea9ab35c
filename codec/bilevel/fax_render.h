// Drawing change lists into packed output lines, and mapping them through the column map
// of a zoomed and panned view.
#pragma once

#include <cstdint>

namespace zc::codec {

// Column map: image column c (0..width) to output column. Refuses a width above 128000 (1),
// a pan at or beyond the width or negative (2), a zoom outside 1..32767 (3), an output
// width above 128000 (4); 0 when built.
int funcFaxBuildColumnMap(int32_t* map, int width, int outWidth, int zoomX, int panX);
// The refusals of funcFaxBuildColumnMap alone, without building the map.
int faxCheckColumnMap(int width, int outWidth, int zoomX, int panX);

// Sets the bits of the black runs of `changes` in `line`, cut at `outWidth` pixels; bits are
// only ever set, so lines drawn into one output line combine by OR.
void funcFaxRenderChanges(const uint32_t* changes, uint8_t* line, int outWidth);

// Maps the runs right of panX through the column map into `out` (closed by outWidth four
// times). The plain form drops runs that map to no width; the black-keeping form keeps
// them one pixel wide. Returns the number of changes.
int funcFaxScaleChanges(const uint32_t* changes, uint32_t* out, const int32_t* map, int width, int panX,
                        int outWidth);
int funcFaxScaleChangesKeepBlack(const uint32_t* changes, uint32_t* out, const int32_t* map, int width,
                                 int panX, int outWidth);

}  // namespace zc::codec
