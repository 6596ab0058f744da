// TSession: the state of one running program, owned by its front end (window,
// CLI or test) and handed to every operation. Nothing in the core is global.
// One thread uses a session at a time.
#pragma once

#include <string>

#include "grid/GeoidGrid.hpp"
#include "grid/View.hpp"

namespace tessmar {

struct TSession {
  explicit TSession(TView& view) : View(view) {}
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  TView& View;
  TGeoidModels GeoidModels = DefaultGeoidModels();
  TGeoidGrid SourceGrid;
  bool SourceOpen = false;  // the selected model has been opened
  TGeoidGrid CustomGrid;
  std::string DataDir;      // folder of the grid files, ending in the path separator
};

}  // namespace tessmar
