// TProgressLine: the one progress display of the command line, a line on
// stderr that is rewritten in place: a bar when the terminal is wide enough,
// the percentage, the time elapsed and the time left. It shows only when stderr
// is a terminal, never in a file or a pipe, only once the work has run for
// about a second (a quick command stays quiet; TESSMAR_PROGRESS_DELAY, in
// seconds, sets another wait) and not with --quiet. Drawn at most ten times a
// second. One thread.
#pragma once

#include <chrono>
#include <string>

namespace tessmar::cli {

class TProgressLine {
 public:
  using TClock = std::chrono::steady_clock;
  static constexpr auto Interval = std::chrono::milliseconds(100);

  // quiet: --quiet was given; nothing is ever shown.
  explicit TProgressLine(bool quiet);
  ~TProgressLine() { End(); }
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  // A new piece of work starts now: the clock restarts.
  void Start();
  // The work is `fraction` (0 .. 1) done; starts the clock when not started.
  // A negative fraction (not known) shows nothing.
  void Update(double fraction);
  // Ends a line that is shown with a line end, so what follows starts a line
  // of its own; the next Update draws it anew.
  void End();
  bool Shown() const { return FWidth > 0; }

 private:
  bool FEnabled;
  TClock::duration FDelay;
  bool FStarted = false;
  TClock::time_point FStart, FDrawn;
  std::size_t FWidth = 0;  // characters of the line on the screen, 0: none
};

// The line's text for `fraction` done after `elapsed` seconds, fitted to
// `columns` (0: unknown, taken as 80): "[#####     ]  42%  0:12 elapsed, 0:16 left".
std::string ProgressText(double fraction, double elapsed, int columns);

// "m:ss", or "h:mm:ss" from an hour on.
std::string DurationText(double seconds);

}  // namespace tessmar::cli
