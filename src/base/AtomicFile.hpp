// TAtomicFile: a file written beside its target under a temporary name and put
// in place by one rename only when complete, so a failure, a full disk or an
// abort never leaves a truncated file under the target's name, and never a
// temporary file behind. Move-free RAII handle; one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessmar {

class TAtomicFile {
 public:
  explicit TAtomicFile(std::string target) : FTarget(std::move(target)) {}
  ~TAtomicFile() { Discard(); }
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // Creates the temporary file in the target's folder (permissions as for a
  // new file). False when the folder cannot be written.
  bool Create();
  // Writes all of data, or returns false (disk full, file too large, ...).
  bool Write(const void* data, std::size_t size);
  std::int64_t Size() const { return FSize; }
  // Closes the temporary file and renames it over the target.
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
  std::string FTemp;
  std::string FError;
  int FFd = -1;
  std::int64_t FSize = 0;
};

}  // namespace tessmar
