// How every event handler runs: an error that leaves it is shown by the view's
// general error display, and the program goes on.
#pragma once

#include <exception>

#include "base/Numeric.hpp"
#include "view/View.hpp"

namespace tessmar {

template <class Handler>
void RunHandler(TView& view, Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    view.ShowGeneralError(ErrorText(e));
  }
}

}  // namespace tessmar
