// TProgress: how far a long piece of work has come, as a fraction 0 .. 1, told
// to whoever shows it (the CLI's progress line); empty when nobody listens.
// Called on the thread doing the work, at most once per row or block of it.
#pragma once

#include <functional>

namespace tessmar {

using TProgress = std::function<void(double fraction)>;

inline void TellProgress(const TProgress& progress, double fraction) {
  if (progress) progress(fraction);
}

}  // namespace tessmar
