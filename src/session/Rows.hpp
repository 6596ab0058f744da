// How a long operation (the conversion, the scan) walks its rows 0 .. LastRow,
// north to south: blocks of rows are computed ahead, on a thread of their own,
// up to `Ahead` blocks, and taken here in order. After each row come its
// progress step, a message pump and a look at AbortRequested, so a person sees
// the same thing whatever the blocks. A grid file of the session that changes
// under the computation (its nodes then read as zeros) ends the walk before
// anything of that block is used: both grids are closed and TError is thrown
// with the reason.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "session/Session.hpp"

namespace tessmar {

struct TRowWork {
  std::int64_t LastRow = -1;  // no rows when negative
  std::int64_t BlockRows = 1;
  std::size_t Ahead = 2;            // blocks computed ahead at most: the slots
  bool PumpBeforeProgress = false;  // the scan pumps first, the conversion steps first
  // Computes rows first .. last into slot, on the computing thread; may leave a
  // block unfinished once `leaving` is set (the walk then never uses it).
  std::function<void(std::int64_t first, std::int64_t last, std::size_t slot, const std::atomic<bool>& leaving)>
      Compute;
  // The block is in its slot, before its rows are walked; false ends the walk.
  std::function<bool(std::int64_t first, std::int64_t last, std::size_t slot)> TakeBlock;
  // Row `row` of the block in `slot`, `index` rows below its first, in order.
  std::function<void(std::int64_t row, std::size_t slot, std::int64_t index)> TakeRow;
};

enum class TRowsEnd : std::uint8_t {
  Done,
  Aborted,  // AbortRequested after a row
  Stopped,  // TakeBlock said so
};

// The slots the blocks are computed into: Ahead, or fewer when there are fewer blocks.
std::size_t RowSlots(const TRowWork& work);

TRowsEnd WalkRows(TSession& session, const TRowWork& work);

}  // namespace tessmar
