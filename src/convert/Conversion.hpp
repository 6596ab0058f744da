// The conversion engine: a region and a resolution from the main window become
// a custom geoid file of nearest source nodes, written north to south.
#pragma once

#include <cstdint>
#include <string>

#include "grid/Session.hpp"

namespace tessmar {

// The output spacing in degrees: the first checked of RadioButton5, 10, 15, 20,
// else the source grid's own latitude spacing.
double OutputResolution(const TSession& session);

// Writes FileName from the region in EditLat1/EditLon1 (southwest) and
// EditLat2/EditLon2 (northeast), widened by three cells (or the whole circle of
// longitude), sampling the open SourceGrid. Shows progress and pumps messages
// once per row; stops between rows when AbortRequested is set.
// Result: the file's size in bytes; 0 after an abort or a write failure (an
// existing file of that name is then untouched); -1 when the region gives a
// negative count or a file of 2 GiB or more (nothing touched).
// Throws TError "Invalid floating point operation" for a corner that does not
// read as a coordinate, before any file is touched.
std::int64_t MakeCustomGeoid(TSession& session, const std::string& FileName);

}  // namespace tessmar
