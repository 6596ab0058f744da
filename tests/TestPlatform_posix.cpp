// The test support's calls that differ between the systems: Linux.
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "TestGrids.hpp"

namespace tessmar::test {

const bool OnWindows = false;
const bool OpenFilesAreLocked = false;

bool TruncateFromAnotherProcess(const std::string& path) {
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("cannot start a process");
  if (child == 0) _exit(::truncate(path.c_str(), 0) == 0 ? 0 : 1);
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("cannot truncate " + path);
  return true;
}

bool MakeSpecialFile(const std::string& path, TSpecialFile kind) {
  switch (kind) {
    case TSpecialFile::Fifo: return ::mkfifo(path.c_str(), 0666) == 0;
    case TSpecialFile::Device: return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 7)) == 0;
    case TSpecialFile::Socket: {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      if (path.size() >= sizeof address.sun_path) return false;
      path.copy(address.sun_path, path.size());
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      if (fd >= 0) ::close(fd);  // the socket's name stays in the folder
      return bound;
    }
  }
  return false;
}

void SetEnvironment(const char* name, const char* value) { value ? ::setenv(name, value, 1) : ::unsetenv(name); }

const char* FolderPermissionsDoNotBind() { return ::geteuid() == 0 ? "permissions do not bind root" : nullptr; }

bool LimitFileSize(std::int64_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

}  // namespace tessmar::test
