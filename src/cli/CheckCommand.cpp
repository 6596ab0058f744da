// tessmar-cli check: one point, or a file of points.
#include "cli/Commands.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "accuracy/PointCheck.hpp"
#include "base/CoordText.hpp"
#include "base/Platform.hpp"
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
constexpr std::size_t BlockLines = 1 << 14;
// A block goes to the threads in jobs of this many lines.
constexpr std::size_t JobLines = 2048;

// A job: lines read, checked and answered on one thread, their points set up
// side by side. Its answers are the text printed for its lines, in order.
struct TJob {
  std::vector<TPointLine> Lines;
  std::vector<double> Lats, Lons;    // the points among them, in order
  std::vector<TPointValues> Values;  // and their values
  std::string Text;
  std::vector<std::size_t> Ends;     // where each line's answer ends in Text
  std::size_t Answered = 0, Refused = 0;
};

void AppendText(std::string& out, const TPointLine& p, const TPointValues& v, bool custom) {
  if (p.Kind == TPointLine::TKind::Refused) {
    if (p.Lat.data()) out.append(p.Lat).append("\t").append(p.Lon);
    else out.append(p.Text);
    out.append("\tERROR: ").append(p.Reason);
  } else {
    out.append(p.Lat).append("\t").append(p.Lon).append("\t").append(v.SourceText).append("\t");
    if (custom) out.append(v.CustomText);  // no custom file: the source value alone
    out.append("\t").append(v.ErrorText);
    if (!p.Rest.empty()) out.append("\t").append(p.Rest);
  }
  out += '\n';
}

void AppendJson(std::string& out, const TPointLine& p, const TPointValues& v, std::size_t lineNumber) {
  out += "{\"line\":" + std::to_string(lineNumber);
  if (p.Kind == TPointLine::TKind::Refused) {
    out += ",\"error\":" + TJson(p.Reason).dump();
  } else {
    out += ",\"lat\":";
    AppendNumber(out, p.LatValue);
    out += ",\"lon\":";
    AppendNumber(out, p.LonValue);
    out += ",\"source\":";
    AppendNumber(out, v.Source);
    out += ",\"custom\":";
    AppendNumber(out, v.Custom);
    out += ",\"error\":";
    AppendNumber(out, v.Error);
  }
  out += "}\n";
}

// Reads, checks and answers lines[first, last) into job; firstNumber is the
// number of line first. A blank line or a comment is answered by itself (text
// only); every other line as a point or a refusal, a header included: the
// caller knows which line is the header.
void RunJob(TJob& job, const TSession& session, const std::vector<std::string_view>& lines, std::size_t first,
            std::size_t last, std::size_t firstNumber, bool json, bool custom) {
  using TKind = TPointLine::TKind;
  const std::size_t count = last - first;
  job.Lines.resize(count);
  job.Lats.clear();
  job.Lons.clear();
  for (std::size_t k = 0; k < count; ++k) {
    job.Lines[k] = ReadPointLine(lines[first + k]);
    if (job.Lines[k].Kind != TKind::Point) continue;
    job.Lats.push_back(job.Lines[k].LatValue);
    job.Lons.push_back(job.Lines[k].LonValue);
  }
  job.Values.resize(job.Lats.size());
  CheckPoints(session, job.Lats.data(), job.Lons.data(), job.Values.size(), job.Values.data());

  job.Text.clear();
  job.Ends.resize(count);
  job.Answered = job.Refused = 0;
  const TPointValues none{};
  for (std::size_t k = 0, point = 0; k < count; ++k) {
    const TPointLine& p = job.Lines[k];
    const TPointValues& v = p.Kind == TKind::Point ? job.Values[point++] : none;
    if (p.Kind == TKind::Blank || p.Kind == TKind::Comment) {
      if (!json) job.Text.append(p.Text).append("\n");
    } else {
      ++job.Answered;
      if (p.Kind == TKind::Refused) ++job.Refused;
      json ? AppendJson(job.Text, p, v, firstNumber + k) : AppendText(job.Text, p, v, custom);
    }
    job.Ends[k] = job.Text.size();
  }
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
  return !InputPending(fd);
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

  const int fd = source == "-" ? STDIN_FILENO : OpenForReading(source);
  if (fd < 0) {
    std::cerr << "Error: cannot read " << source << "\n";
    return ExitUsage;
  }
  std::string input, output;
  std::size_t lineNumber = 0, refused = 0, points = 0;
  bool content = false;  // a line other than blank or comment has been seen
  std::vector<TJob> jobs(BlockLines / JobLines);
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
      const std::size_t jobCount = (lines.size() + JobLines - 1) / JobLines;
      pool.Start(jobCount, [&, blockNumber = lineNumber + 1](std::size_t j) {
        const std::size_t first = j * JobLines, last = std::min(lines.size(), first + JobLines);
        RunJob(jobs[j], session, lines, first, last, blockNumber + first, global.Json, custom);
      });
      pool.Wait();
      // The answers in order. Until the first point or refusal, line by line:
      // a refusal first of all is a header, printed as it is (text only).
      for (std::size_t j = 0; j < jobCount; ++j) {
        TJob& job = jobs[j];
        if (content) {
          output += job.Text;
          lineNumber += job.Lines.size();
          points += job.Answered;
          refused += job.Refused;
          continue;
        }
        for (std::size_t k = 0, from = 0; k < job.Lines.size(); from = job.Ends[k++]) {
          using TKind = TPointLine::TKind;
          const TKind kind = job.Lines[k].Kind;
          ++lineNumber;
          const bool header = !content && kind == TKind::Refused;
          content = content || kind == TKind::Point || kind == TKind::Refused;
          if (header) {
            if (!global.Json) output.append(job.Lines[k].Text).append("\n");
            continue;
          }
          output.append(job.Text, from, job.Ends[k] - from);
          if (kind == TKind::Point || kind == TKind::Refused) ++points;
          if (kind == TKind::Refused) ++refused;
        }
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
