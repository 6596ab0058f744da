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

struct CliTest : ::testing::Test {
  TTempDir Dir;
  TTempDir Logs;
  std::string Program = TESSMAR_CLI;

  // The full 2.5' layout as a sparse file: every node reads 0 but one.
  CliTest() {
    const TGeoidModel m = DefaultGeoidModels()[0];
    test::WriteSparseFile(Dir.File(m.fname), std::int64_t{4321} * 8642 * 4);
    test::PokeWord(Dir.File(m.fname), std::int64_t{960} * 8642 + 2880 + 1, 36.5f);  // 50 N, 120 E
  }

  // Runs the CLI with --data-dir set and no settings file (unless `settings`);
  // `whilst` runs with its pid before the wait.
  TRun Run(std::vector<std::string> args, const std::function<void(pid_t)>& whilst = {}) {
    if (std::find(args.begin(), args.end(), "--settings") == args.end())
      args.insert(args.begin(), {"--no-settings", "--data-dir", Dir.Path()});
    args.insert(args.begin(), Program);
    const std::string out = Logs.File("out"), err = Logs.File("err");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    if (whilst) whilst(pid);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status), Slurp(out), Slurp(err)};
  }
};

// Whether the process has a handler of its own for SIGINT (its SigCgt mask).
inline bool CatchesSigint(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1;
  return false;
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
