// TAtomicFile: a file written beside its target under a temporary name and put
// in place by one rename only when complete, so a failure, a full disk or an
// abort never leaves a truncated file under the target's name, and never a
// temporary file behind. Only a regular file is ever replaced: a folder, a
// device, a pipe or a socket at the name is refused and left as it is. A
// symbolic link is followed, and the file it leads to is replaced in that
// file's folder, so the link stays (a settings file or a data folder linked
// into shared storage keeps working); a link that leads nowhere is refused, as
// a file would otherwise appear wherever it points. Move-free RAII handle; one
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Platform.hpp"

namespace tessmar {

// Why no file may be written at place: "it is a folder", "it is a device,
// not a file", "it is a symbolic link to /dev/full, a device, not a file", ...;
// empty when one may (nothing there, or a regular file). The one rule of every
// writer: TAtomicFile and RefuseToReplace.
std::string NotReplaceable(const TWritePlace& place);

class TAtomicFile {
 public:
  explicit TAtomicFile(std::string target) : FTarget(std::move(target)) {}
  ~TAtomicFile() { Discard(); }
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Creates the temporary file in the folder of the file to be replaced
  // (permissions as for a new file). False when the folder cannot be written
  // or what stands at the name is not a file to replace.
  bool Create();
  // Writes all of data, or returns false (disk full, file too large, ...).
  bool Write(const void* data, std::size_t size);
  std::int64_t Size() const { return FSize; }
  // Closes the temporary file and renames it over the target (over the file a
  // link there leads to), after looking once more at what stands there.
  bool Commit();
  // Closes and removes the temporary file; the target is untouched.
  void Discard() noexcept;

  const std::string& TempPath() const { return FTemp; }
  // Why the last step failed, in the operating system's words ("No space left
  // on device", "Permission denied"); empty while nothing has failed.
  const std::string& Error() const { return FError; }
  // "Cannot write TARGET: " and Error(): what a writer says when a step failed.
  std::string Failure() const { return "Cannot write " + FTarget + ": " + FError; }

 private:
  void Failed(int error);

  std::string FTarget;
  std::string FPlace;  // the file replaced: FTarget, or the file a link there leads to
  std::string FTemp;
  std::string FError;
  int FFd = -1;
  std::int64_t FSize = 0;
};

}  // namespace tessmar
