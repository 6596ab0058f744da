// tessmar-cli as a user runs it: a child process, its output and exit status.
// What the tests of every command share: the program, a data folder with the
// full 2.5' layout, and the ways to run it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "TestGrids.hpp"
#include "grid/Check.hpp"
#include "grid/Source.hpp"
#include "session/Grids.hpp"

namespace tessmar {

namespace fs = std::filesystem;
using test::TTempDir;

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A command's standard output (its errors pass through); fails the test on a non-zero exit.
inline std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0) << command;
  } else {
    ADD_FAILURE() << "cannot run " << command;
  }
  return out;
}

// The program under test, run as a command: TESSMAR_CLI_RUN when it is set,
// its words split at blanks (scripts/test-windows runs the Windows build so,
// "/usr/lib/wine/wine64 .../tessmar-cli.exe"), else the Linux build's. Its last
// word is the program's file.
struct TProgram {
  std::vector<std::string> Command;

  static TProgram UnderTest() {
    TProgram program;
    std::istringstream words(std::getenv("TESSMAR_CLI_RUN") ? std::getenv("TESSMAR_CLI_RUN") : TESSMAR_CLI);
    for (std::string word; words >> word;) program.Command.push_back(word);
    return program;
  }
  const std::string& File() const { return Command.back(); }
  // The Windows build: no GDAL, no POSIX signals, paths seen through Wine.
  bool Windows() const { return File().ends_with(".exe"); }
  // The command as a shell takes it.
  std::string Line() const {
    std::string line;
    for (const std::string& word : Command) line += (line.empty() ? "" : " ") + word;
    return line;
  }
  // A copy of the program's file in folder, run the same way.
  TProgram CopyTo(const TTempDir& folder) const {
    TProgram copy = *this;
    copy.Command.back() = folder.File(fs::path(File()).filename().string());
    fs::copy_file(File(), copy.File());
    return copy;
  }
  // A path of this machine as the program shows it once it has made it whole
  // (the program's own folder, a folder made absolute): Wine shows "/" as the
  // drive Z:.
  std::string Seen(const std::string& path) const {
    if (!Windows()) return path;
    std::string seen = "Z:" + path;
    std::replace(seen.begin(), seen.end(), '/', '\\');
    return seen;
  }
};

// Waits for a child process; one that has not ended after ten minutes (a hang
// under Wine) is killed and reads as status 1009.
inline int WaitFor(pid_t pid) {
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "still running after ten minutes: killed";
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// Runs command (argv as given) in place of this process, a child just forked.
[[noreturn]] inline void Exec(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

struct CliTest : ::testing::Test {
  TTempDir Dir;
  TTempDir Logs;
  TProgram Program = TProgram::UnderTest();

  // The full 2.5' layout as a sparse file: every node reads 0 but one.
  CliTest() {
    const TGeoidModel m = DefaultGeoidModels()[0];
    test::WriteSparseFile(Dir.File(m.fname), std::int64_t{4321} * 8642 * 4);
    test::PokeWord(Dir.File(m.fname), std::int64_t{960} * 8642 + 2880 + 1, 36.5f);  // 50 N, 120 E
  }

  // The program with these arguments, --data-dir set and no settings file
  // (unless `settings`).
  std::vector<std::string> Command(std::vector<std::string> args) const {
    if (std::find(args.begin(), args.end(), "--settings") == args.end())
      args.insert(args.begin(), {"--no-settings", "--data-dir", Dir.Path()});
    args.insert(args.begin(), Program.Command.begin(), Program.Command.end());
    return args;
  }

  // Runs the CLI as Command gives it; `whilst` runs with its pid before the wait.
  TRun Run(const std::vector<std::string>& args, const std::function<void(pid_t)>& whilst = {}) const {
    return RunCommand(Command(args), whilst);
  }
  // Runs command (the program's words first). Under Wine a start that fails
  // (Wine says why, or nothing at all, and the program wrote nothing) is tried
  // once more; a run of the program that fails is never repeated.
  TRun RunCommand(const std::vector<std::string>& command, const std::function<void(pid_t)>& whilst = {}) const {
    for (int attempt = 1;; ++attempt) {
      const std::string out = Logs.File("out"), err = Logs.File("err");
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        Exec(command);
      }
      if (whilst) whilst(pid);
      const TRun run{WaitFor(pid), Slurp(out), Slurp(err)};
      // (The program never fails without saying why: a silent failure is Wine's.)
      const bool startFailed =
          Program.Windows() && run.Status != 0 && run.Out.empty() &&
          (run.Err.empty() || run.Err.starts_with("wine: ") || run.Err.starts_with("wine client error"));
      if (!startFailed || attempt == 2) return run;
      std::cerr << "Wine did not start the program, once more: " << run.Err;
    }
  }
};

// Waits until the program catches Ctrl-C (starting takes a while on a loaded
// machine): on Linux until the process has a SIGINT handler of its own (its
// SigCgt mask); under Wine, whose own handler is there from the start and
// hands SIGINT on as a console Ctrl-C event, until the program is loaded, and
// two seconds more for it to reach its handler.
inline void WaitUntilItCatchesCtrlC(const TProgram& program, pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  const auto ready = [&] {
    std::ifstream in(proc + (program.Windows() ? "/maps" : "/status"));
    for (std::string line; std::getline(in, line);) {
      if (program.Windows() && line.find(fs::path(program.File()).filename().string()) != std::string::npos)
        return true;
      if (line.rfind("SigCgt:", 0) == 0) return ((std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1) != 0;
    }
    return false;
  };
  for (int wait = 0; wait < 2000 && !ready(); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (program.Windows()) std::this_thread::sleep_for(std::chrono::seconds(2));
}

inline std::vector<double> Numbers(const std::string& text) {
  std::vector<double> values;
  std::istringstream in(text);
  for (double v; in >> v;) values.push_back(v);
  return values;
}

// A smooth 1-degree world from -180, as GTX: undulations of tens of metres.
inline void WriteWorldGtx(const std::string& path) {
  test::WriteGtx(path, {-90, -180, 1, 1, 181, 360}, [](int r, int c) {
    const double lat = (r - 90) * M_PI / 180, lon = (c - 180) * M_PI / 180;
    return static_cast<float>(40 * std::sin(2 * lat) * std::cos(lon) + 10 * std::cos(3 * lon) - 5);
  });
}

}  // namespace tessmar
