// Window placement arithmetic, as plain functions of rectangles so it is tested
// without a display. Screen pixels; right and bottom exclusive; divisions
// truncate toward zero.
// Pure; thread-safe.
#pragma once

#include <cstdint>

namespace tessmar {

struct TRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::int32_t Width() const { return right - left; }
  std::int32_t Height() const { return bottom - top; }
};

struct TPoint {
  std::int32_t x = 0, y = 0;
};

// A w x h window centred on owner, then kept inside workArea: top clamped to the
// top, then to the bottom, then left to the left, then to the right. Used for
// message dialogs and the file dialog.
TPoint CentreOnOwner(const TRect& owner, std::int32_t w, std::int32_t h, const TRect& workArea);

// PlaceOnWorkArea's two halves for a window of outer size W x H: centred on the
// work area, or a saved corner clamped into it (left, bottom, right, top, in
// that order, so a window larger than the area ends top-right).
void CentreOnWorkArea(std::int32_t& top, std::int32_t& left, std::int32_t H, std::int32_t W, const TRect& workArea);
void ClampToWorkArea(std::int32_t& top, std::int32_t& left, std::int32_t H, std::int32_t W, const TRect& workArea);

// A companion window of outer size w x h beside `owner` and inside `workArea`,
// `gap` pixels from it, never over it: right of it (tops aligned), below it
// (centred), left of it, above it: the first side where it fits whole. Where it
// fits on none, it goes to the side that shows most of it, made as small as
// that side's room, but not below minW x minH (only then may it cover the
// owner). Returns its place and size.
TRect BesideOwner(const TRect& owner, std::int32_t w, std::int32_t h, std::int32_t minW, std::int32_t minH,
                  const TRect& workArea, std::int32_t gap);

}  // namespace tessmar
