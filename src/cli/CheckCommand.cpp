// tessmar-cli check: one point, or a file of points.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <vector>

#include "accuracy/PointCheck.hpp"
#include "base/CoordText.hpp"
#include "base/Error.hpp"
#include "base/LineReader.hpp"
#include "base/Numeric.hpp"
#include "base/Platform.hpp"
#include "base/PointLine.hpp"
#include "base/WorkPool.hpp"
#include "cli/Commands.hpp"
#include "cli/Context.hpp"
#include "cli/Progress.hpp"
#include "session/Grids.hpp"
#include "session/RunHandler.hpp"

namespace tessmar::cli {

namespace {

// The lines go to the threads in jobs of about this many bytes, this many jobs
// at work at once; the answers of each go out when it is done, in order.
constexpr std::size_t JobSize = 1 << 16;
constexpr std::size_t JobsAtWork = 8;

// A job: lines read, checked and answered on one thread, their points set up
// side by side. Its answers are the text printed for its lines, in order.
struct TJob {
  std::string Input;            // its lines, each with its line end but the input's last
  std::size_t FirstNumber = 0;  // the number of its first line
  std::vector<TPointLine> Lines;
  std::vector<double> Lats, Lons;     // the points among them, in order
  std::vector<TPointNumbers> Values;  // and their values
  std::string Text;
  std::vector<std::size_t> Ends;  // where each line's answer ends in Text
  std::size_t Answered = 0, Refused = 0;
};

void AppendText(std::string& out, const TPointLine& p, const TPointNumbers& v, bool custom) {
  if (p.Kind == TPointLine::TKind::Refused) {
    if (p.Lat.data())
      out.append(p.Lat).append("\t").append(p.Lon);
    else
      out.append(p.Text);
    out.append("\tERROR: ").append(p.Reason);
    out += '\n';
    return;
  }
  // The values' texts first, so that the line goes in at one go.
  char values[3 * FixedRoom + 3];
  char* end = values;
  *end++ = '\t';
  end = WriteCheckValue(end, v.Source);
  *end++ = '\t';
  if (custom) end = WriteCheckValue(end, v.Custom);  // no custom file: the source value alone
  *end++ = '\t';
  end = WriteCheckError(end, v.Error);
  const std::string_view rest = p.Rest;
  const std::size_t at = out.size();
  out.resize(at + p.Lat.size() + 1 + p.Lon.size() + static_cast<std::size_t>(end - values) +
             (rest.empty() ? 0 : 1 + rest.size()) + 1);
  char* o = std::copy(p.Lat.begin(), p.Lat.end(), out.data() + at);
  *o++ = '\t';
  o = std::copy(p.Lon.begin(), p.Lon.end(), o);
  o = std::copy(values, end, o);
  if (!rest.empty()) {
    *o++ = '\t';
    o = std::copy(rest.begin(), rest.end(), o);
  }
  *o = '\n';
}

// One record a point line, every one with the same keys: the point read, its
// values and Error (null where there is none), the kept fields as written ("" when
// none), and "refused": null, or the reason a line was refused (lat to error null).
void AppendJson(std::string& out, const TPointLine& p, const TPointNumbers& v, std::size_t lineNumber) {
  const bool point = p.Kind == TPointLine::TKind::Point;
  out += "{\"line\":";
  char number[24];
  out.append(number, std::to_chars(number, number + sizeof number, lineNumber).ptr);
  out += ",\"lat\":";
  AppendNumber(out, point ? p.LatValue : NoValue());
  out += ",\"lon\":";
  AppendNumber(out, point ? p.LonValue : NoValue());
  out += ",\"source\":";
  AppendNumber(out, point ? v.Source : NoValue());
  out += ",\"custom\":";
  AppendNumber(out, point ? v.Custom : NoValue());
  out += ",\"error\":";
  AppendNumber(out, point ? v.Error : NoValue());
  out += ",\"kept\":";
  AppendString(out, p.Rest);
  out += ",\"refused\":";
  if (point)
    out += "null";
  else
    AppendString(out, p.Reason);
  out += "}\n";
}

// Reads, checks and answers the lines of job.Input into job. A blank line or a
// comment is answered by itself (text only); every other line as a point or a
// refusal, a header included: the caller knows which line is the header.
void RunJob(TJob& job, const TSession& session, bool json, bool custom) {
  using TKind = TPointLine::TKind;
  job.Lines.clear();
  job.Lats.clear();
  job.Lons.clear();
  const std::string_view input = job.Input;
  for (std::size_t start = 0; start < input.size();) {
    std::size_t stop = input.find('\n', start);
    if (stop == std::string_view::npos) stop = input.size();
    const TPointLine& p = job.Lines.emplace_back(ReadPointLine(input.substr(start, stop - start)));
    start = stop + 1;
    if (p.Kind != TKind::Point) continue;
    job.Lats.push_back(p.LatValue);
    job.Lons.push_back(p.LonValue);
  }
  const std::size_t count = job.Lines.size();
  job.Values.resize(job.Lats.size());
  CheckPoints(session, job.Lats.data(), job.Lons.data(), job.Values.size(), job.Values.data());

  job.Text.clear();
  job.Ends.resize(count);
  job.Answered = job.Refused = 0;
  const TPointNumbers none{};
  for (std::size_t k = 0, point = 0; k < count; ++k) {
    const TPointLine& p = job.Lines[k];
    const TPointNumbers& v = p.Kind == TKind::Point ? job.Values[point++] : none;
    if (p.Kind == TKind::Blank || p.Kind == TKind::Comment) {
      if (!json) job.Text.append(p.Text).append("\n");
    } else {
      ++job.Answered;
      if (p.Kind == TKind::Refused) ++job.Refused;
      json ? AppendJson(job.Text, p, v, job.FirstNumber + k) : AppendText(job.Text, p, v, custom);
    }
    job.Ends[k] = job.Text.size();
  }
}

// The answers of a points file in the order of its lines, job after job: every
// line's answer as the job made it, but for a header. The first line that is
// neither blank nor a comment is a header when it is refused and neither of its
// first two fields begins as a number or a coordinate would ("lat;lon", not
// "99;1" nor a mistyped point): copied as it is, text only, nothing in JSON.
class TAnswerOrder {
 public:
  explicit TAnswerOrder(bool json) : FJson(json) {}

  // Takes the next job's answers: those of the lines up to the first that is
  // neither blank nor a comment go to Output; once past it, every answer is
  // the job's as it made it, and the job's text is handed back to be written
  // after Output, uncopied.
  std::string_view Add(const TJob& job) {
    using TKind = TPointLine::TKind;
    if (FContent) {
      Lines += job.Lines.size();
      Points += job.Answered;
      Refused += job.Refused;
      return job.Text;
    }
    for (std::size_t k = 0, from = 0; k < job.Lines.size(); from = job.Ends[k++]) {
      const TKind kind = job.Lines[k].Kind;
      ++Lines;
      const bool header = !FContent && kind == TKind::Refused && !job.Lines[k].LooksLikePoint;
      FContent = FContent || kind == TKind::Point || kind == TKind::Refused;
      if (header) {
        if (!FJson) Output.append(job.Lines[k].Text).append("\n");
        continue;
      }
      Output.append(job.Text, from, job.Ends[k] - from);
      if (kind == TKind::Point || kind == TKind::Refused) ++Points;
      if (kind == TKind::Refused) ++Refused;
    }
    return {};
  }

  std::string Output;  // answers not written yet
  std::size_t Lines = 0, Points = 0, Refused = 0;

 private:
  bool FJson;
  bool FContent = false;  // a line other than blank or comment has been seen
};

// Reads the points file (or standard input) as it comes and answers every
// line in order. Answers go out whenever the input pauses, so the CLI can
// serve as a filter.
int RunCheckPoints(TContext& context, const TGlobalOptions& global, const std::string& path) {
  TSession& session = context.Session;
  OpenSelectedModel(session, context.Model);
  if (!session.SourceOpen()) return ExitFailed;
  // Without the custom file each point still gets its source value; the
  // missing file was reported once, by the open.
  const bool custom = OpenCustomFile(session, CustomGeoidFileName(session, context.Inputs.OutputName));

  if (path != "-") RequireNoFolder(path, "--points");
  TLineReader reader(path);
  if (!reader.Opened()) throw TUsageError("cannot read " + path + ": " + SystemReason(reader.Error()));
  TAnswerOrder answers(global.Json);
  std::vector<TJob> jobs(JobsAtWork);
  // After the jobs: on every way out the threads are done before the jobs go.
  // Its threads sleep while they wait: no spinning beside busy cores. One
  // thread more than cores: beside other busy programs, which the system
  // shares the cores with thread by thread, the points keep a fair part of them.
  TWorkLine work(
      JobsAtWork, [&](std::size_t slot) { RunJob(jobs[slot], session, global.Json, custom); }, HardwareThreads() + 1);
  // The oldest job's answers out, after those not written yet.
  const auto take = [&] {
    const std::string_view text = answers.Add(jobs[work.Wait()]);
    if (!answers.Output.empty()) {
      if (!WriteAll(StandardOutput, answers.Output.data(), answers.Output.size())) return false;
      answers.Output.clear();
    }
    return text.empty() || WriteAll(StandardOutput, text.data(), text.size());
  };
  std::size_t numbered = 0;  // lines handed over (numbered only for JSON, whose answers say them)
  bool interrupted = false, more = true;
  // Progress by the bytes of a file read; not when the answers go to the same terminal.
  TProgressLine progress(global.Quiet || StdoutIsTerminal());
  for (;;) {
    bool starved = false;  // no whole line at hand
    while (!interrupted && work.Pending() < JobsAtWork) {
      TJob& job = jobs[work.NextSlot()];
      if (!reader.Lines(JobSize, job.Input)) {
        starved = true;
        break;
      }
      job.FirstNumber = numbered + 1;
      if (global.Json) numbered += CountLines(job.Input);
      work.Hand();
    }
    if (starved && more) {
      // A pause in the input: every answer goes out before the wait.
      if (reader.Ended() || reader.Idle())
        while (work.Pending())
          if (!take()) return OutputFailed();
      more = reader.Read();
      progress.Update(reader.Fraction());
      interrupted = interrupted || InterruptRequested();
      continue;
    }
    if (!work.Pending()) break;
    // The answers of the oldest job, in order, while the threads work on.
    if (!take()) return OutputFailed();
    interrupted = interrupted || InterruptRequested();
  }
  progress.End();
  if (interrupted) {
    std::cerr << "Stopped by Ctrl-C after " << answers.Lines << " lines.\n";
    return ExitAborted;
  }
  if (reader.Failed()) {
    std::cerr << "Error: cannot read " << path << " past line " << answers.Lines << ": " << SystemReason(reader.Error())
              << "\n";
    return ExitFailed;
  }
  // Bytes that are no text are refused once, not line by line.
  if (reader.NotText()) {
    const std::string name = path == "-" ? "standard input" : path;
    if (reader.Utf16())
      std::cerr << "Error: " << name << " is UTF-16 text: points are read as UTF-8 or ASCII; save it as UTF-8\n";
    else
      std::cerr << "Error: " << name << " is not text: line " << answers.Lines + reader.Withheld() + 1
                << " holds a NUL byte\n";
    return ExitFailed;
  }
  if (answers.Refused)
    std::cerr << "Error: " << answers.Refused << " of " << answers.Points << " point lines were refused.\n";
  return answers.Refused || !custom ? ExitFailed : ExitDone;
}

}  // namespace

int RunCheck(const TGlobalOptions& global, const TCheckOptions& options) {
  if (!options.Points.empty() && (options.Lat || options.Lon))
    throw TUsageError("--points reads its points from the file: --lat and --lon are for one point");
  TContext context(global);
  if (!options.Points.empty()) return RunCheckPoints(context, global, options.Points);

  TCliView& view = context.View;
  TSession& session = context.Session;
  const double lat = ReadCoordinate(context, options.Lat, context.Inputs.TestLat, TAxis::Latitude, "--lat", "TestLat");
  const double lon = ReadCoordinate(context, options.Lon, context.Inputs.TestLon, TAxis::Longitude, "--lon", "TestLon");
  TPointCheck check;
  RunHandler(view, [&] { check = PointCheck(session, context.Selection(), lat, lon); });
  if (!check.Checked) return ExitFailed;
  const TPointValues& v = check.Values;
  if (global.Json) {
    const TJson out = {{"lat", Number(lat)},
                       {"lon", Number(lon)},
                       {"source", Number(v.Source)},
                       {"custom", Number(v.Custom)},
                       {"error", Number(v.Error)}};
    std::cout << JsonDump(out) << '\n';
  } else {
    std::cout << "Original(m): " << v.SourceText << '\n'
              << "Custom(m): " << v.CustomText << '\n'
              << "Error(m): " << v.ErrorText << '\n';
  }
  return check.CustomOpen ? ExitDone : ExitFailed;
}

}  // namespace tessmar::cli
