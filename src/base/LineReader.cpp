#include "base/LineReader.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tessmar {

namespace {
// Big reads: a line costs a small part of one.
constexpr std::size_t ReadSize = 1 << 20;
}  // namespace

TLineReader::TLineReader(const std::string& path) {
  if (path == "-") {
    FFd = STDIN_FILENO;
  } else {
    FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    FOwned = FFd >= 0;
  }
  struct stat status {};
  if (FFd >= 0 && ::fstat(FFd, &status) == 0 && S_ISREG(status.st_mode)) FSize = status.st_size;
}

TLineReader::~TLineReader() {
  if (FOwned) ::close(FFd);
}

bool TLineReader::Read() {
  if (FEnded || FFailed) return false;
  FInput.erase(0, std::min(FStart, FInput.size()));
  FStart = 0;
  FLines.clear();
  const std::size_t had = FInput.size();
  FInput.resize(had + ReadSize);
  // An interrupted read (Ctrl-C) reads nothing: the caller looks at the interrupt.
  const ssize_t n = ::read(FFd, FInput.data() + had, ReadSize);
  FInput.resize(had + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
  if (n < 0 && errno != EINTR) FFailed = FEnded = true;
  if (n == 0) FEnded = true;
  if (n > 0) FRead += n;
  return true;
}

const std::vector<std::string_view>& TLineReader::Lines(std::size_t most) {
  FLines.clear();
  while (FLines.size() < most) {
    std::size_t stop = FInput.find('\n', FStart);
    if (stop == std::string::npos) {
      if (!FEnded || FStart >= FInput.size()) break;
      stop = FInput.size();
    }
    FLines.emplace_back(FInput.data() + FStart, stop - FStart);
    FStart = stop + 1;
  }
  return FLines;
}

bool TLineReader::Idle() const {
  pollfd p{FFd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 0;
}

double TLineReader::Fraction() const {
  if (FSize < 0) return -1;
  return FSize == 0 ? 1 : static_cast<double>(FRead) / static_cast<double>(FSize);
}

}  // namespace tessmar
