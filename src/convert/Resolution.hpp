// The output resolutions a conversion offers: the radio button that chooses
// each, its minutes (as the settings file saves it and the CLI takes it) and its
// spacing in degrees. Minutes 0 (RadioButton0) is the source grid's own spacing.
// Pure; thread-safe.
#pragma once

#include <array>

#include "session/View.hpp"

namespace tessmar {

struct TResolutionChoice {
  TControl Button;
  int Minutes;
  double Degrees;  // 0: the source's own spacing
};

// In the order the window tests its buttons: the first checked one wins, and
// none of 5' .. 20' checked is the source's own spacing.
inline constexpr std::array<TResolutionChoice, 5> ResolutionChoices = {{{TControl::RadioButton0, 0, 0},
                                                                        {TControl::RadioButton5, 5, 1.0 / 12},
                                                                        {TControl::RadioButton10, 10, 1.0 / 6},
                                                                        {TControl::RadioButton15, 15, 1.0 / 4},
                                                                        {TControl::RadioButton20, 20, 1.0 / 3}}};

// The choice of `minutes`; the source's own (RadioButton0) for any other value.
constexpr const TResolutionChoice& ResolutionChoice(int minutes) {
  for (const TResolutionChoice& c : ResolutionChoices)
    if (c.Minutes == minutes) return c;
  return ResolutionChoices[0];
}

// The output spacing in degrees for a choice of minutes: its own, or
// sourceSpacing (degrees) for 0 and any value that is no choice.
constexpr double OutputResolution(int minutes, double sourceSpacing) {
  const double degrees = ResolutionChoice(minutes).Degrees;
  return degrees > 0 ? degrees : sourceSpacing;
}

}  // namespace tessmar
