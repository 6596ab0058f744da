// How every event handler runs: an error that leaves it is shown by the view's
// general error display, and the program goes on. True when the handler ran to
// its end.
// Runs the handler on the calling thread; thread-safe as the handler is.
#pragma once

#include <exception>

#include "base/Error.hpp"
#include "session/View.hpp"

namespace tessmar {

template <class Handler>
bool RunHandler(TView& view, Handler&& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    view.ShowGeneralError(ErrorText(e));
    return false;
  }
}

}  // namespace tessmar
