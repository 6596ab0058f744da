#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>

#include "TestGrids.hpp"
#include "base/AtomicFile.hpp"
#include "base/Error.hpp"
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

// A writer replaces nothing but a regular file: anything else at the name is
// refused with the reason and left as it was, by the overwrite rule before the
// work and by the atomic write itself. A link is followed: the file it leads to
// is replaced, the link stays.
TEST(AtomicFile, ReplacesOnlyARegularFile) {
  namespace fs = std::filesystem;
  using test::TSpecialFile;
  const auto bytes = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const auto entries = [](const test::TTempDir& dir) {
    return std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator());
  };
  const auto link = [](const std::string& to, const std::string& at) {
    if (test::OnWindows) return false;  // links need a privilege there
    fs::create_symlink(to, at);
    return true;
  };
  const struct {
    const char* name;
    std::function<bool(const test::TTempDir&, const std::string&)> make;  // false: not on this system
    const char* why;  // after "Cannot write PATH: ", "@" for the folder; empty: the file is replaced
  } cases[] = {
      {"nothing", [](auto&, auto&) { return true; }, ""},
      {"file", [&](auto&, auto& at) { return bool(std::ofstream(at) << "old"); }, ""},
      {"folder", [](auto&, auto& at) { return fs::create_directory(at); }, "it is a folder"},
      {"fifo", [](auto&, auto& at) { return MakeSpecialFile(at, TSpecialFile::Fifo); }, "it is a pipe, not a file"},
      {"socket", [](auto&, auto& at) { return MakeSpecialFile(at, TSpecialFile::Socket); },
       "it is a socket, not a file"},
      {"device", [](auto&, auto& at) { return MakeSpecialFile(at, TSpecialFile::Device); },
       "it is a device, not a file"},
      {"link to a file",
       [&](auto& dir, auto& at) { return bool(std::ofstream(dir.File("target")) << "old") && link("target", at); }, ""},
      {"link to a link to a file",
       [&](auto& dir, auto& at) {
         return bool(std::ofstream(dir.File("target")) << "old") && link("target", dir.File("middle")) &&
                link(dir.File("middle"), at);
       },
       ""},
      {"link to a fifo",
       [&](auto& dir, auto& at) { return MakeSpecialFile(dir.File("fifo"), TSpecialFile::Fifo) && link("fifo", at); },
       "it is a symbolic link to @fifo, a pipe, not a file"},
      {"link to a device",
       [&](auto& dir, auto& at) {
         return MakeSpecialFile(dir.File("dev"), TSpecialFile::Device) && link(dir.File("dev"), at);
       },
       "it is a symbolic link to @dev, a device, not a file"},
      {"link to a folder",
       [&](auto& dir, auto& at) { return fs::create_directory(dir.File("sub")) && link("sub", at); },
       "it is a symbolic link to @sub, a folder"},
      {"link to nothing", [&](auto&, auto& at) { return link("nowhere", at); },
       "it is a symbolic link to nowhere, which does not exist"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TTempDir dir;
    const std::string path = dir.File("out.bin");
    if (!c.make(dir, path)) {
      std::cerr << "skipped, not on this system or not as this user: " << c.name << "\n";
      continue;
    }
    std::string why = c.why;
    if (const auto at = why.find('@'); at != std::string::npos)
      why.replace(at, 1, Utf8Path(fs::canonical(NativePath(dir.Path()))) + "/");
    const auto kind = fs::symlink_status(NativePath(path)).type();
    const auto count = entries(dir);

    // The overwrite rule: asked or not, what is no file is refused.
    for (const bool overwrite : {false, true}) {
      std::string refusal;
      try {
        RefuseToReplace(path, "test file", overwrite);
      } catch (const TError& e) {
        refusal = e.what();
      }
      const bool existing = std::string(c.name) != "nothing";
      EXPECT_EQ(refusal, !why.empty()             ? "Cannot write " + path + ": " + why
                         : existing && !overwrite ? "The test file already exists: " + path
                                                  : "")
          << overwrite;
    }

    TAtomicFile file(path);
    const bool written = file.Create() && file.Write("new", 3) && file.Commit();
    EXPECT_EQ(written, why.empty());
    EXPECT_EQ(file.Error(), why);
    if (why.empty()) {
      EXPECT_EQ(bytes(path), "new");
      EXPECT_EQ(fs::symlink_status(NativePath(path)).type(),
                kind == fs::file_type::not_found ? fs::file_type::regular : kind);
      EXPECT_EQ(entries(dir), kind == fs::file_type::not_found ? count + 1 : count);
    } else {
      EXPECT_EQ(fs::symlink_status(NativePath(path)).type(), kind);
      EXPECT_EQ(entries(dir), count);  // no temporary file left behind
    }
  }

  // What takes the name while the file is written is refused when it is put in place.
  test::TTempDir dir;
  const std::string path = dir.File("late.bin");
  TAtomicFile file(path);
  ASSERT_TRUE(file.Create());
  ASSERT_TRUE(file.Write("new", 3));
  if (MakeSpecialFile(path, TSpecialFile::Fifo)) {
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(file.Error(), "it is a pipe, not a file");
    EXPECT_EQ(fs::symlink_status(path).type(), fs::file_type::fifo);
    EXPECT_EQ(entries(dir), 1);
  }
}

}  // namespace
}  // namespace tessmar
