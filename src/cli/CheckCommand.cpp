// tessmar-cli check: one point, or a file of points.
#include "cli/Commands.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "accuracy/PointCheck.hpp"
#include "base/CoordText.hpp"
#include "base/PointLine.hpp"
#include "base/WorkPool.hpp"
#include "cli/Context.hpp"
#include "view/Grids.hpp"
#include "view/RunHandler.hpp"

namespace tessmar::cli {

namespace {

// Ends of the streaming reader: big reads, and a block of lines evaluated on
// every core between two looks at the input.
constexpr std::size_t ReadSize = 1 << 20;
constexpr std::size_t BlockLines = 1 << 16;
// A block goes to the threads in jobs of this many lines.
constexpr std::size_t JobLines = 2048;

// One input line's answer, made in parallel, printed in order.
struct TAnswer {
  TPointLine Line;
  TPointValues Values;
};

// The points of a job's lines, checked together.
class TPointBatch {
 public:
  void Add(std::size_t answer, const TPointLine& line) {
    FAnswers.push_back(answer);
    FLats.push_back(line.LatValue);
    FLons.push_back(line.LonValue);
  }
  void Check(const TSession& session, std::vector<TAnswer>& answers) {
    std::vector<TPointValues> values(FAnswers.size());
    CheckPoints(session, FLats.data(), FLons.data(), FAnswers.size(), values.data());
    for (std::size_t k = 0; k < FAnswers.size(); ++k) answers[FAnswers[k]].Values = std::move(values[k]);
  }

 private:
  std::vector<std::size_t> FAnswers;
  std::vector<double> FLats, FLons;
};

void AppendText(std::string& out, const TAnswer& a, bool custom) {
  const TPointLine& p = a.Line;
  if (p.Kind == TPointLine::TKind::Refused) {
    if (p.Lat.data()) out.append(p.Lat).append("\t").append(p.Lon);
    else out.append(p.Text);
    out.append("\tERROR: ").append(p.Reason);
  } else {
    out.append(p.Lat).append("\t").append(p.Lon).append("\t").append(a.Values.SourceText).append("\t");
    if (custom) out.append(a.Values.CustomText);  // no custom file: the source value alone
    out.append("\t").append(a.Values.ErrorText);
    if (!p.Rest.empty()) out.append("\t").append(p.Rest);
  }
  out += '\n';
}

void AppendJson(std::string& out, const TAnswer& a, std::size_t lineNumber) {
  const TPointLine& p = a.Line;
  out += "{\"line\":" + std::to_string(lineNumber);
  if (p.Kind == TPointLine::TKind::Refused) {
    out += ",\"error\":" + TJson(p.Reason).dump();
  } else {
    out += ",\"lat\":";
    AppendNumber(out, p.LatValue);
    out += ",\"lon\":";
    AppendNumber(out, p.LonValue);
    out += ",\"source\":";
    AppendNumber(out, a.Values.Source);
    out += ",\"custom\":";
    AppendNumber(out, a.Values.Custom);
    out += ",\"error\":";
    AppendNumber(out, a.Values.Error);
  }
  out += "}\n";
}

bool WriteAll(const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Nothing more to read at once: a coprocess waits for its answers.
bool InputIdle(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 0;
}

// Reads the points file (or standard input) as it comes and answers every
// line in order: a point's values, a refused line's reason, blank lines,
// comments and a first line that is no point (a header) as they are. Answers
// go out whenever the input pauses, so the CLI can serve as a filter.
int RunCheckPoints(TContext& context, const TGlobalOptions& global, const std::string& source) {
  TSession& session = context.Session;
  OpenSelectedModel(session);
  if (!session.SourceOpen()) return ExitFailed;
  // Without the custom file each point still gets its source value; the
  // missing file was reported once, by the open.
  const bool custom = OpenCustomFile(session, CustomGeoidFileName(session));

  const int fd = source == "-" ? STDIN_FILENO : ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::cerr << "Error: cannot read " << source << "\n";
    return ExitUsage;
  }
  std::string input, output;
  std::size_t lineNumber = 0, refused = 0, points = 0;
  bool content = false;  // a line other than blank or comment has been seen
  std::vector<TAnswer> answers;
  TWorkPool pool;  // its threads sleep while they wait: no spinning beside busy cores
  bool end = false, interrupted = false, readError = false;
  while (!end && !interrupted) {
    const std::size_t had = input.size();
    input.resize(had + ReadSize);
    const ssize_t n = ::read(fd, input.data() + had, ReadSize);
    input.resize(had + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    if (n < 0 && errno != EINTR) readError = end = true;
    if (n == 0) end = true;
    interrupted = InterruptRequested();

    // Whole lines (and at the end, a last line without its line end), a block at a time.
    std::size_t start = 0;
    while (!interrupted) {
      std::vector<std::string_view> lines;
      while (lines.size() < BlockLines) {
        std::size_t stop = input.find('\n', start);
        if (stop == std::string::npos) {
          if (!end || start >= input.size()) break;
          stop = input.size();
        }
        lines.emplace_back(input.data() + start, stop - start);
        start = stop + 1;
      }
      if (lines.empty()) break;
      answers.resize(lines.size());
      pool.Start((lines.size() + JobLines - 1) / JobLines, [&](std::size_t job) {
        const std::size_t first = job * JobLines, last = std::min(lines.size(), first + JobLines);
        TPointBatch batch;
        for (std::size_t k = first; k < last; ++k) {
          answers[k].Line = ReadPointLine(lines[k]);
          if (answers[k].Line.Kind == TPointLine::TKind::Point) batch.Add(k, answers[k].Line);
        }
        batch.Check(session, answers);
      });
      pool.Wait();
      for (std::size_t k = 0; k < lines.size(); ++k) {
        TAnswer& a = answers[k];
        ++lineNumber;
        using TKind = TPointLine::TKind;
        const bool header = !content && a.Line.Kind == TKind::Refused;
        content = content || a.Line.Kind == TKind::Point || a.Line.Kind == TKind::Refused;
        if (a.Line.Kind == TKind::Blank || a.Line.Kind == TKind::Comment || header) {
          if (!global.Json) output.append(a.Line.Text).append("\n");
          continue;
        }
        ++points;
        if (a.Line.Kind == TKind::Refused) ++refused;
        global.Json ? AppendJson(output, a, lineNumber) : AppendText(output, a, custom);
      }
      if (output.size() >= ReadSize) {
        if (!WriteAll(output)) return ExitFailed;
        output.clear();
      }
      interrupted = InterruptRequested();
    }
    input.erase(0, std::min(start, input.size()));
    if (!output.empty() && (end || interrupted || InputIdle(fd))) {
      if (!WriteAll(output)) return ExitFailed;
      output.clear();
    }
  }
  if (fd != STDIN_FILENO) ::close(fd);
  if (interrupted) {
    std::cerr << "Stopped by Ctrl-C after " << lineNumber << " lines.\n";
    return ExitAborted;
  }
  if (readError) {
    std::cerr << "Error: cannot read " << source << " past line " << lineNumber << "\n";
    return ExitFailed;
  }
  if (refused) std::cerr << "Error: " << refused << " of " << points << " point lines were refused.\n";
  return refused || !custom ? ExitFailed : ExitDone;
}

}  // namespace

int RunCheck(const TGlobalOptions& global, const TCheckOptions& options) {
  TContext context(global);
  if (!options.Points.empty()) return RunCheckPoints(context, global, options.Points);

  TCliView& view = context.View;
  TSession& session = context.Session;
  SetIfGiven(view, TControl::EditLat, options.Lat);
  SetIfGiven(view, TControl::EditLon, options.Lon);
  RequireCoordinate(view, TControl::EditLat, "--lat");
  RequireCoordinate(view, TControl::EditLon, "--lon");
  TPointCheck check;
  RunHandler(view, [&] { check = ButtonCalcClick(session); });
  if (!check.Checked) return ExitFailed;
  const TPointValues& v = check.Values;
  if (global.Json) {
    const TJson out = {{"lat", Number(check.Lat)},
                       {"lon", Number(check.Lon)},
                       {"source", Number(v.Source)},
                       {"custom", Number(v.Custom)},
                       {"error", Number(v.Error)}};
    std::cout << out.dump() << '\n';
  } else {
    std::cout << "Original(m): " << v.SourceText << '\n'
              << "Custom(m): " << v.CustomText << '\n'
              << "Error(m): " << v.ErrorText << '\n';
  }
  return check.CustomOpen ? ExitDone : ExitFailed;
}

}  // namespace tessmar::cli
