#include "cli/Progress.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "base/CoordText.hpp"
#include "base/Platform.hpp"

namespace tessmar::cli {

std::string DurationText(double seconds) {
  const auto s = static_cast<long long>(std::max(0.0, std::round(seconds)));
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
  return text;
}

std::string ProgressText(double fraction, double elapsed, int columns) {
  fraction = std::clamp(std::isnan(fraction) ? 0.0 : fraction, 0.0, 1.0);
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100));
  std::string tail = std::string(percent) + "  " + DurationText(elapsed) + " elapsed";
  tail += fraction > 0 ? ", " + DurationText(elapsed * (1 - fraction) / fraction) + " left" : ", --:-- left";
  // The bar takes what the terminal has to spare, up to 40 characters; the
  // last column stays free, so the line never wraps.
  const int width = (columns > 0 ? columns : 80) - 1;
  const int bar = std::min(40, width - static_cast<int>(tail.size()) - 4);
  if (bar < 10) return tail;
  const int filled = static_cast<int>(fraction * bar);
  return "[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(bar - filled), ' ') + "] " + tail;
}

namespace {
TProgressLine::TClock::duration ProgressDelay() {
  const std::string text = EnvironmentValue("TESSMAR_PROGRESS_DELAY");
  const std::optional<double> seconds = !text.empty() ? ReadNumber(text) : std::nullopt;
  const double s = seconds && *seconds >= 0 && *seconds < 3600 ? *seconds : 1.0;
  return std::chrono::duration_cast<TProgressLine::TClock::duration>(std::chrono::duration<double>(s));
}
}  // namespace

TProgressLine::TProgressLine(bool quiet) : FEnabled(!quiet && StderrIsTerminal()), FDelay(ProgressDelay()) {}

void TProgressLine::Start() {
  End();
  FStarted = true;
  FStart = TClock::now();
}

void TProgressLine::Update(double fraction) {
  if (!FEnabled || !(fraction >= 0)) return;
  if (!FStarted) Start();
  const TClock::time_point now = TClock::now();
  if (now - FStart < FDelay) return;
  if (FWidth > 0 && now - FDrawn < Interval && fraction < 1) return;
  FDrawn = now;
  std::string text = ProgressText(fraction, std::chrono::duration<double>(now - FStart).count(), StderrColumns());
  const std::size_t width = text.size();
  if (width < FWidth) text.append(FWidth - width, ' ');  // rub out the longer line before
  std::cerr << '\r' << text << std::flush;
  FWidth = width;
}

void TProgressLine::End() {
  if (FWidth > 0) std::cerr << '\n' << std::flush;
  FWidth = 0;
}

}  // namespace tessmar::cli
