#include <gtest/gtest.h>

#include "TestGrids.hpp"
#include "base/Path.hpp"

namespace tessmar {
namespace {

// A folder part ends at "/" on both systems, and at "\" or a drive's ":" on
// Windows only: there a name typed the Windows way ("..\grid") has a folder,
// and on Linux those are ordinary characters of a name.
TEST(PathText, FolderPartEndsAtTheSystemsSeparators) {
  const struct {
    const char* path;
    const char* folder[2];  // Linux, Windows
  } cases[] = {
      {"/data/geoid/grid.gtx", {"/data/geoid/", "/data/geoid/"}},
      {"grid.gtx", {"", ""}},
      {"..\\grid", {"", "..\\"}},
      {"C:\\data\\grid.gtx", {"", "C:\\data\\"}},
      {"C:grid.gtx", {"", "C:"}},
      {"D:/mixed\\grid", {"D:/", "D:/mixed\\"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string folder = c.folder[test::OnWindows], path = c.path;
    EXPECT_EQ(FolderOf(path), folder);
    EXPECT_EQ(FileNameOf(path), path.substr(folder.size()));
    EXPECT_EQ(HasFolder(path), !folder.empty());
  }
}

// A folder's text gets the separator it already uses, else the system's.
TEST(PathText, FolderGetsTheSeparatorItUses) {
  const struct {
    const char* folder;
    const char* text[2];  // Linux, Windows
  } cases[] = {
      {"", {"", ""}},
      {"/data/geoid", {"/data/geoid/", "/data/geoid/"}},
      {"/data/geoid/", {"/data/geoid/", "/data/geoid/"}},
      {"C:\\data", {"C:\\data/", "C:\\data\\"}},
      {"C:\\data\\", {"C:\\data\\/", "C:\\data\\"}},
      {"C:", {"C:/", "C:"}},
      {"data", {"data/", "data\\"}},
  };
  for (const auto& c : cases) EXPECT_EQ(AsFolder(c.folder), c.text[test::OnWindows]) << c.folder;
}

}  // namespace
}  // namespace tessmar
