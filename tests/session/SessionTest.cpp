// The session layer: opening the selected model, the custom file's path, the
// progress display, the general error display and the row walk of the long
// operations.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "TestGrids.hpp"
#include "session/Grids.hpp"
#include "session/Rows.hpp"
#include "session/RunHandler.hpp"

namespace tessmar {
namespace {

using test::TRecorderView;
using test::TTempDir;

struct SessionTest : ::testing::Test {
  TTempDir Dir;
  TRecorderView View;
  TSession Session{View};

  SessionTest() { Session.DataDir = Dir.Path(); }
  TGeoidModel Globe10() {
    return test::WriteGlobe10(Dir, [](int r, int c) { return static_cast<float>(r * 36 + c); });
  }
};

TEST_F(SessionTest, MissingFileIsReportedByNameAndLeavesTheGridClosed) {
  OpenSelectedModel(Session, SelectedModelIndex(Session.GeoidModels, "EGM2008 2.5'x2.5'"));
  ASSERT_EQ(View.Dialogs.size(), 1u);
  EXPECT_EQ(View.Dialogs[0].Text, "Geoid file is not found: \r\nUnd_min2.5x2.5_egm2008_isw=82_WGS84_TideFree_SE");
  EXPECT_EQ(View.Dialogs[0].Kind, TMsgDlgType::Error);
  EXPECT_EQ(View.Dialogs[0].Buttons, mbOK);
  EXPECT_FALSE(Session.SourceOpen());
  EXPECT_FALSE(Session.SourceOpen());
  EXPECT_EQ(View.Text(TControl::RadioButton0), "2.5'");
  EXPECT_TRUE(std::isnan(NearestNode(Session, 35, 139)));
}

TEST_F(SessionTest, SelectionIsTheExactTitleOfEntryZero) {
  Session.GeoidModels[1] = Globe10();
  Session.GeoidModels[1].title = "EGM2008 1'x1'";
  OpenSelectedModel(Session, SelectedModelIndex(Session.GeoidModels, "egm2008 2.5'x2.5'"));
  EXPECT_TRUE(Session.SourceOpen());
  EXPECT_EQ(View.Text(TControl::ComboBoxGeoid), "EGM2008 1'x1'");
  EXPECT_EQ(View.Text(TControl::RadioButton0), "1.0'");
  CloseSource(Session);
  EXPECT_FALSE(Session.SourceOpen());
  EXPECT_FALSE(Session.SourceOpen());
}

TEST_F(SessionTest, ReleaseClosesTheFile) {
  Session.GeoidModels[0] = Globe10();
  OpenSelectedModel(Session, SelectedModelIndex(Session.GeoidModels, Session.GeoidModels[0].title));
  ASSERT_TRUE(Session.SourceOpen());
  CloseSource(Session);
  EXPECT_FALSE(Session.SourceOpen());
}

TEST(CustomGeoidFileName, KeepsTheFileNameAndReplacesTheExtension) {
  TRecorderView view;
  TSession session(view);
  session.DataDir = "/data/geoid/";
  const std::pair<const char*, const char*> cases[] = {
      {"Tessmar", "/data/geoid/Tessmar.qdat"},
      {"Tessmar.txt", "/data/geoid/Tessmar.qdat"},
      {"my.area.txt", "/data/geoid/my.area.qdat"},
      {"  area \t", "/data/geoid/area.qdat"},
      {"/other/place/area.txt", "/data/geoid/area.qdat"},
      {"D:\\other\\area.txt", "/data/geoid/area.qdat"},
  };
  for (const auto& [typed, path] : cases) EXPECT_EQ(CustomGeoidFileName(session, typed), path) << typed;
  session.DataDir = "/data/my.folder/";
  EXPECT_EQ(CustomGeoidFileName(session, "area"), "/data/my.folder/area.qdat");
}

TEST(Progress, StepsFromElevenToTheTaskbarMaximum) {
  TRecorderView view;
  ProgressStart(view);
  EXPECT_TRUE(view.ProgressVisible);
  EXPECT_EQ(view.TaskbarState, TTaskBarProgressState::Normal);
  ProgressStep(view, 0, 366);
  EXPECT_EQ(view.ProgressPosition, 0);
  EXPECT_EQ(view.TaskbarValue, 11);
  ProgressStep(view, 183, 366);
  EXPECT_EQ(view.ProgressPosition, 500);
  EXPECT_EQ(view.TaskbarValue, 69);
  ProgressStep(view, 366, 366);
  EXPECT_EQ(view.ProgressPosition, 1000);
  EXPECT_EQ(view.TaskbarValue, 128);
  view.TaskbarMax = 0;  // no taskbar progress on this system
  view.TaskbarState = TTaskBarProgressState::None;
  ProgressStart(view);
  ProgressStep(view, 1, 2);
  EXPECT_EQ(view.TaskbarState, TTaskBarProgressState::None);
  EXPECT_EQ(view.TaskbarValue, 0);
}

TEST(GeneralErrorText, EndsWithAPointAfterALetterOrPath) {
  EXPECT_EQ(GeneralErrorText("Invalid floating point operation"), "Invalid floating point operation.");
  EXPECT_EQ(GeneralErrorText("Cannot create : /home/u/.config/tessmar/"), "Cannot create : /home/u/.config/tessmar/.");
  EXPECT_EQ(GeneralErrorText("Done."), "Done.");
  EXPECT_EQ(GeneralErrorText("Why?"), "Why?.");  // "?" comes after "." too
  EXPECT_EQ(GeneralErrorText("a,"), "a,");
}

TEST(GeneralErrorText, AnErrorLeavingAHandlerIsShownInWordsAndTheProgramGoesOn) {
  TRecorderView view;
  RunHandler(view, [] { throw TError("Cannot create : /x/"); });
  RunHandler(view, [] { throw std::bad_alloc(); });  // not "std::bad_alloc"
  RunHandler(view, [] {});
  EXPECT_EQ(view.GeneralErrors, (std::vector<std::string>{"Cannot create : /x/", "Out of memory"}));
}

// The row walk: rows computed in blocks ahead and taken in order, each with
// its progress step and pump, an abort seen after the row in hand.
struct RowsTest : SessionTest {
  TRowWork Work;
  volatile float Read = 0;  // a node read that the compiler may not leave out
  std::vector<std::vector<std::int64_t>> Slots;
  std::vector<std::int64_t> Taken;

  RowsTest() {
    Work.LastRow = 9;
    Work.BlockRows = 3;
    Work.Ahead = 2;
    Slots.assign(RowSlots(Work), {});
    Work.Compute = [this](std::int64_t first, std::int64_t last, std::size_t slot, const std::atomic<bool>&) {
      Slots[slot].clear();
      for (std::int64_t i = first; i <= last; ++i) Slots[slot].push_back(i * 10);
    };
    Work.TakeRow = [this](std::int64_t row, std::size_t slot, std::int64_t index) {
      EXPECT_EQ(Slots[slot].at(static_cast<std::size_t>(index)), row * 10) << row;  // its block, not a later one
      Taken.push_back(row);
    };
  }
};

TEST_F(RowsTest, EveryRowInOrderWithItsProgressAndPump) {
  for (const bool pumpFirst : {false, true}) {
    Taken.clear();
    View.Pumps = 0;
    Work.PumpBeforeProgress = pumpFirst;
    std::vector<int> shown;  // the progress at each pump
    View.OnPump = [&] { shown.push_back(View.ProgressPosition); };
    EXPECT_EQ(WalkRows(Session, Work), TRowsEnd::Done);
    EXPECT_EQ(Taken, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    ASSERT_EQ(View.Pumps, 10);
    EXPECT_EQ(shown[1], pumpFirst ? 0 : 111);  // row 1 of 9: its step after or before the pump
    EXPECT_EQ(View.ProgressPosition, 1000);
  }
}

TEST_F(RowsTest, AbortEndsAfterTheRowAndAStopBeforeTheBlock) {
  View.OnPump = [&] { Session.AbortRequested = Taken.size() == 4; };
  EXPECT_EQ(WalkRows(Session, Work), TRowsEnd::Aborted);
  EXPECT_EQ(Taken, (std::vector<std::int64_t>{0, 1, 2, 3}));

  Session.AbortRequested = false;
  View.OnPump = nullptr;
  Taken.clear();
  Work.TakeBlock = [](std::int64_t first, std::int64_t, std::size_t) { return first < 6; };  // a write failed
  EXPECT_EQ(WalkRows(Session, Work), TRowsEnd::Stopped);
  EXPECT_EQ(Taken, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5}));

  Work.LastRow = -1;  // nothing to walk
  EXPECT_EQ(WalkRows(Session, Work), TRowsEnd::Done);
}

TEST_F(RowsTest, AnErrorOfTheComputationLeavesTheWalk) {
  Work.Compute = [](std::int64_t first, std::int64_t, std::size_t, const std::atomic<bool>&) {
    if (first == 6) throw std::runtime_error("no memory for row 6");
  };
  Work.TakeRow = [this](std::int64_t row, std::size_t, std::int64_t) { Taken.push_back(row); };
  EXPECT_THROW(WalkRows(Session, Work), std::runtime_error);
  EXPECT_EQ(Taken, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5}));
}

TEST_F(RowsTest, AGridThatChangesEndsTheWalkBeforeItsBlockIsUsed) {
  const TGeoidModel m = Globe10();
  ASSERT_TRUE(OpenModel(Session, m));
  const auto compute = Work.Compute;
  bool truncated = false;
  Work.Compute = [&](std::int64_t first, std::int64_t last, std::size_t slot, const std::atomic<bool>& leaving) {
    if (first == 6) truncated = test::TruncateFromAnotherProcess(Dir.File(m.fname));  // under the third block
    for (std::int64_t i = first; i <= last; ++i) Read = Session.SourceGrid->ReadNode(static_cast<std::int32_t>(i), 0);
    compute(first, last, slot, leaving);
  };
  if (test::OpenFilesAreLocked) {  // Windows refuses the change: the walk reads the nodes it opened, to its end
    EXPECT_EQ(WalkRows(Session, Work), TRowsEnd::Done);
    EXPECT_FALSE(truncated);
    EXPECT_EQ(Taken.size(), 10u);
    return;
  }
  try {
    WalkRows(Session, Work);
    ADD_FAILURE() << "no error";
  } catch (const TError& e) {
    EXPECT_STREQ(e.what(), SourceChangedText);
  }
  EXPECT_EQ(Taken, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5}));  // the blocks read before the change
  EXPECT_FALSE(Session.SourceOpen());
}

}  // namespace
}  // namespace tessmar
