// The test support's calls that differ between the systems: Windows.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "TestGrids.hpp"
#include "base/Platform.hpp"

namespace tessmar::test {

const bool OnWindows = true;
const bool OpenFilesAreLocked = true;

// The system checks sharing and mappings for every process alike, so this one
// stands in for the other program: it asks for the file as an editor would.
bool TruncateFromAnotherProcess(const std::string& path) {
  const HANDLE h =
      ::CreateFileW(NativePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (::GetLastError() == ERROR_SHARING_VIOLATION) return false;
    throw std::runtime_error("cannot open " + path + " to truncate it");
  }
  LARGE_INTEGER start{};
  const bool done = ::SetFilePointerEx(h, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(h);
  const DWORD error = ::GetLastError();
  ::CloseHandle(h);
  if (!done && error != ERROR_USER_MAPPED_FILE) throw std::runtime_error("cannot truncate " + path);
  return done;
}

bool MakeSpecialFile(const std::string&, TSpecialFile) { return false; }

void SetEnvironment(const char* name, const char* value) { ::_putenv_s(name, value ? value : ""); }

const char* FolderPermissionsDoNotBind() { return "a folder's read-only attribute does not keep files out of it"; }

bool LimitFileSize(std::int64_t) { return false; }

}  // namespace tessmar::test
