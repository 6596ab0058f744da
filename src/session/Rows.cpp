#include "session/Rows.hpp"

#include <algorithm>

#include "base/Numeric.hpp"
#include "base/WorkPool.hpp"

namespace tessmar {

namespace {
std::int64_t BlockCount(const TRowWork& work) { return work.LastRow < 0 ? 0 : work.LastRow / work.BlockRows + 1; }
}  // namespace

std::size_t RowSlots(const TRowWork& work) {
  return static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(work.Ahead), BlockCount(work)));
}

TRowsEnd WalkRows(TSession& session, const TRowWork& work) {
  if (work.LastRow < 0) return TRowsEnd::Done;
  TView& view = session.View;
  const std::int64_t blockCount = BlockCount(work);
  const auto first = [&](std::int64_t b) { return b * work.BlockRows; };
  const auto last = [&](std::int64_t b) { return std::min(work.LastRow, first(b) + work.BlockRows - 1); };
  std::atomic<bool> leaving{false};
  const char* changed = nullptr;
  TRowsEnd end = TRowsEnd::Done;
  {
    TFillAhead filler(RowSlots(work), blockCount,
                      [&](std::int64_t b, std::size_t slot) { work.Compute(first(b), last(b), slot, leaving); });
    // Leaving early (an abort, a stop, an error) cuts the block in hand short.
    struct TLeave {
      std::atomic<bool>& Flag;
      ~TLeave() { Flag = true; }
    } leave{leaving};
    for (std::int64_t b = 0; b < blockCount && end == TRowsEnd::Done && !changed; ++b) {
      const std::size_t slot = filler.Take(b);
      const auto changedGrid = [](const std::unique_ptr<const TGeoidGrid>& g) { return g && g->FileChanged(); };
      if (changedGrid(session.SourceGrid))
        changed = SourceChangedText;
      else if (changedGrid(session.CustomGrid))
        changed = CustomChangedText;
      if (changed) break;
      if (work.TakeBlock && !work.TakeBlock(first(b), last(b), slot)) {
        end = TRowsEnd::Stopped;
        break;
      }
      for (std::int64_t i = first(b); i <= last(b); ++i) {
        if (work.TakeRow) work.TakeRow(i, slot, i - first(b));
        if (work.PumpBeforeProgress) view.ProcessMessages();
        ProgressStep(view, i, work.LastRow);
        if (!work.PumpBeforeProgress) view.ProcessMessages();
        if (session.AbortRequested) {
          end = TRowsEnd::Aborted;
          break;
        }
      }
      filler.Release(b);  // its rows are walked: the slot may be filled again
    }
  }  // the filler has stopped: nothing reads the grids now
  if (changed) {
    session.SourceGrid.reset();
    session.CustomGrid.reset();
    throw TError(changed);
  }
  return end;
}

}  // namespace tessmar
