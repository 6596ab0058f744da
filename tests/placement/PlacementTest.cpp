#include <gtest/gtest.h>

#include "placement/Placement.hpp"

namespace tessmar {
namespace {

const TRect Screen{0, 0, 1920, 1040};  // a work area above a 40-pixel taskbar

TEST(CentreOnOwner, CentresAndKeepsInsideTheWorkArea) {
  const TPoint centred = CentreOnOwner({100, 100, 627, 398}, 300, 120, Screen);
  EXPECT_EQ(centred.x, 100 + (527 - 300) / 2);
  EXPECT_EQ(centred.y, 100 + (298 - 120) / 2);
  // An owner partly off the screen: the dialog still lies fully inside.
  const TPoint off = CentreOnOwner({-400, 900, 127, 1198}, 300, 120, Screen);
  EXPECT_EQ(off.x, 0);
  EXPECT_EQ(off.y, 1040 - 120);
  // Taller than the work area: the bottom clamp comes after the top one.
  const TPoint tall = CentreOnOwner({100, 100, 627, 398}, 300, 1200, Screen);
  EXPECT_EQ(tall.y, 1040 - 1200);
  // Negative halves truncate toward zero.
  EXPECT_EQ(CentreOnOwner({0, 0, 101, 101}, 102, 102, {-500, -500, 500, 500}).x, 0);
}

TEST(PlaceOnWorkArea, CentresOrClampsASavedCorner) {
  std::int32_t top = 0, left = 0;
  CentreOnWorkArea(top, left, 329, 533, Screen);
  EXPECT_EQ(top, (1040 - 329) / 2);
  EXPECT_EQ(left, (1920 - 533) / 2);
  top = 2000, left = -50;  // a monitor no longer attached
  ClampToWorkArea(top, left, 329, 533, Screen);
  EXPECT_EQ(top, 1040 - 329);
  EXPECT_EQ(left, 0);
  top = 10, left = 10;  // larger than the work area: top edge on top, right edge on right
  ClampToWorkArea(top, left, 2000, 3000, Screen);
  EXPECT_EQ(top, 0);
  EXPECT_EQ(left, 1920 - 3000);
}

}  // namespace
}  // namespace tessmar
