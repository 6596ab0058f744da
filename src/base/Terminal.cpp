#include "base/Terminal.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

namespace tessmar {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }
bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

int StderrColumns() {
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

}  // namespace tessmar
