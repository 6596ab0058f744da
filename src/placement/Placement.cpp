#include "placement/Placement.hpp"

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

}  // namespace tessmar
