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

TEST(BesideOwner, BesideInsideTheWorkAreaNeverOver) {
  const TRect main{700, 300, 1227, 598};
  const struct {
    TRect owner;
    std::int32_t w, h;
    TRect area, expected;
  } rows[] = {
      {main, 524, 282, Screen, {1235, 300, 1759, 582}},                        // right of it, tops aligned
      {{1300, 300, 1827, 598}, 524, 282, Screen, {1301, 606, 1825, 888}},      // no room right: below, centred
      {{1300, 700, 1827, 998}, 524, 282, Screen, {768, 700, 1292, 982}},       // nor below: left
      {{100, 700, 1827, 998}, 524, 282, Screen, {701, 410, 1225, 692}},        // nor left: above
      {{136, 251, 663, 549}, 880, 560, {0, 0, 800, 800}, {0, 557, 800, 800}},  // nowhere whole: the most of it, smaller
      {{0, 0, 800, 800}, 524, 282, {0, 0, 800, 800}, {600, 0, 800, 282}},      // no room at all: its least, inside
  };
  for (const auto& row : rows) {
    const TRect placed = BesideOwner(row.owner, row.w, row.h, 200, 100, row.area, 8);
    EXPECT_EQ(placed.left, row.expected.left);
    EXPECT_EQ(placed.top, row.expected.top);
    EXPECT_EQ(placed.right, row.expected.right);
    EXPECT_EQ(placed.bottom, row.expected.bottom);
  }
}

}  // namespace
}  // namespace tessmar
