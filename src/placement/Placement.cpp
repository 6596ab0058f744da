#include "placement/Placement.hpp"

#include <algorithm>

namespace tessmar {

TPoint CentreOnOwner(const TRect& owner, std::int32_t w, std::int32_t h, const TRect& r) {
  std::int32_t top = owner.top + (owner.Height() - h) / 2;
  std::int32_t left = owner.left + (owner.Width() - w) / 2;
  if (top < r.top) top = r.top;
  if (top > r.bottom - h) top = r.bottom - h;
  if (left < r.left) left = r.left;
  if (left > r.right - w) left = r.right - w;
  return {left, top};
}

void CentreOnWorkArea(std::int32_t& top, std::int32_t& left, std::int32_t H, std::int32_t W, const TRect& r) {
  top = r.top + (r.Height() - H) / 2;
  left = r.left + (r.Width() - W) / 2;
  ClampToWorkArea(top, left, H, W, r);
}

void ClampToWorkArea(std::int32_t& top, std::int32_t& left, std::int32_t H, std::int32_t W, const TRect& r) {
  if (left < r.left) left = r.left;
  if (top > r.bottom - H) top = r.bottom - H;
  if (left > r.right - W) left = r.right - W;
  if (top < r.top) top = r.top;
}

TRect BesideOwner(const TRect& owner, std::int32_t w, std::int32_t h, std::int32_t minW, std::int32_t minH,
                  const TRect& r, std::int32_t gap) {
  struct TSide {
    std::int32_t roomW, roomH;
    bool horizontal;  // beside rather than above or below
    bool after;       // right of or below the owner
  };
  const TSide sides[] = {{r.right - owner.right - gap, r.Height(), true, true},
                         {r.Width(), r.bottom - owner.bottom - gap, false, true},
                         {owner.left - gap - r.left, r.Height(), true, false},
                         {r.Width(), owner.top - gap - r.top, false, false}};
  const TSide* chosen = nullptr;
  for (const TSide& side : sides)
    if (w <= side.roomW && h <= side.roomH) {
      chosen = &side;
      break;
    }
  if (!chosen) {
    std::int64_t best = -1;
    for (const TSide& side : sides) {
      const std::int64_t shown =
          std::int64_t{std::max(0, std::min(w, side.roomW))} * std::max(0, std::min(h, side.roomH));
      if (shown > best) {
        best = shown;
        chosen = &side;
      }
    }
    w = std::max(minW, std::min(w, chosen->roomW));
    h = std::max(minH, std::min(h, chosen->roomH));
  }
  std::int32_t left, top;
  if (chosen->horizontal) {
    left = chosen->after ? owner.right + gap : owner.left - gap - w;
    top = owner.top;
  } else {
    top = chosen->after ? owner.bottom + gap : owner.top - gap - h;
    left = owner.left + (owner.Width() - w) / 2;
  }
  ClampToWorkArea(top, left, h, w, r);
  return {left, top, left + w, top + h};
}

}  // namespace tessmar
