#include "base/LineReader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "base/Platform.hpp"

namespace tessmar {

namespace {
// Big reads: a line costs a small part of one.
constexpr std::size_t ReadSize = 1 << 20;
}  // namespace

TLineReader::TLineReader(const std::string& path) {
  if (path == "-") {
    FFd = StandardInput;
  } else {
    FFd = OpenForReading(path);
    FOwned = FFd >= 0;
    if (FFd < 0) FError = errno;
  }
  if (std::int64_t size = 0; FFd >= 0 && MappableSize(FFd, size)) FSize = size;
}

TLineReader::~TLineReader() {
  if (FOwned) CloseFile(FFd);
}

bool TLineReader::Read() {
  if (FEnded || FFailed) return false;
  FInput.erase(0, std::min(FStart, FInput.size()));
  FStart = 0;
  const std::size_t had = FInput.size();
  FInput.resize(had + ReadSize);
  // An interrupted read (Ctrl-C) reads nothing: the caller looks at the interrupt.
  const std::ptrdiff_t n = ReadSome(FFd, FInput.data() + had, ReadSize);
  FInput.resize(had + static_cast<std::size_t>(std::max<std::ptrdiff_t>(n, 0)));
  if (n < 0 && errno != EINTR) {
    FError = errno;
    FFailed = FEnded = true;
  }
  if (n == 0) FEnded = true;
  if (FRead == 0 && FInput.size() >= 2) FUtf16 = FInput.starts_with("\xFF\xFE") || FInput.starts_with("\xFE\xFF");
  // One look at the new bytes (memchr: a small part of reading them).
  if (n > 0)
    if (const void* nul = std::memchr(FInput.data() + had, 0, static_cast<std::size_t>(n))) {
      const auto at = static_cast<std::size_t>(static_cast<const char*>(nul) - FInput.data());
      const std::size_t from = std::min(FStart, FInput.size());
      const std::size_t lineEnd = std::string_view(FInput).rfind('\n', at);
      const std::size_t lineStart = lineEnd == std::string_view::npos || lineEnd < from ? from : lineEnd + 1;
      FWithheld = CountLines(std::string_view(FInput).substr(from, lineStart - from));
      FInput.resize(from);
      FNotText = FEnded = true;
      FAtStart = false;
    }
  // The mark may come in pieces: decided as soon as the bytes in are no
  // beginning of it, or all of it, or the input has ended.
  if (FAtStart) {
    constexpr std::string_view mark = "\xEF\xBB\xBF";
    const std::size_t seen = std::min(FInput.size(), mark.size());
    const bool prefix = std::string_view(FInput).substr(0, seen) == mark.substr(0, seen);
    if (!prefix || seen == mark.size() || FEnded) {
      FAtStart = false;
      if (prefix && seen == mark.size()) FStart = mark.size();
    }
  }
  if (n > 0) FRead += n;
  return true;
}

std::size_t CountLines(std::string_view text) {
  std::size_t lines = 0;
  for (const char *p = text.data(), *const end = p + text.size(); p < end; ++lines) {
    const void* stop = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    p = stop ? static_cast<const char*>(stop) + 1 : end;
  }
  return lines;
}

bool TLineReader::Lines(std::size_t most, std::string& out) {
  out.clear();
  if (FAtStart) return false;  // the first bytes may yet be a byte-order mark
  const std::string_view rest = std::string_view(FInput).substr(std::min(FStart, FInput.size()));
  if (rest.empty()) return false;
  std::size_t take = 0;
  if (FEnded && rest.size() <= most) {
    take = rest.size();  // all that is left, the last line with or without its end
  } else {
    // Up to the last line end within `most`, or the end of a longer line.
    std::size_t stop = rest.rfind('\n', std::min(std::max<std::size_t>(most, 1), rest.size()) - 1);
    if (stop == std::string_view::npos) stop = rest.find('\n', most);
    take = stop != std::string_view::npos ? stop + 1 : FEnded ? rest.size() : 0;
  }
  out.assign(rest.data(), take);
  FStart += take;
  return take > 0;
}

bool TLineReader::Idle() const { return !InputPending(FFd); }

double TLineReader::Fraction() const {
  if (FSize < 0) return -1;
  return FSize == 0 ? 1 : static_cast<double>(FRead) / static_cast<double>(FSize);
}

}  // namespace tessmar
