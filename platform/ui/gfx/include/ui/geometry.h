// Rectangles and points in pixels, with the Windows convention: right and bottom are exclusive.
#pragma once

#include <algorithm>

namespace ui {

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  Rect Intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    return r.Empty() ? Rect{} : r;
  }
  Rect Union(const Rect& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
  }
  bool operator==(const Rect&) const = default;
};

}  // namespace ui
