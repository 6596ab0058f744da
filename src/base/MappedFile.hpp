// TMappedFile: a regular file opened read-only and mapped into memory whole, so
// a node read is a bounds-checked load, not a system call. Move-only RAII
// handle; reads from several threads at once are safe. Opening fails (returns
// false, the handle stays closed) for a missing or unreadable path and for
// anything but a regular file.
// On Linux another program may truncate the file while it is mapped (there is
// no deny-write sharing): a read past the file's new end would end the process
// with SIGBUS. A handler for it puts a page of zeros where the file's page was
// and marks the mapping Changed, so the read goes on; the operations check
// Changed once per row and report the file as changed. The guard costs nothing
// until a page is missing. On Windows the file is open deny-write and a mapped
// file cannot be truncated, so it never changes under the mapping; it may be
// deleted or replaced, and the mapping keeps the bytes it had.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessmar {

class TMappedFile {
 public:
  TMappedFile() = default;
  ~TMappedFile() { Close(); }
  TMappedFile(TMappedFile&& other) noexcept;
  TMappedFile& operator=(TMappedFile&& other) noexcept;
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  bool Open(const std::string& path);
  void Close() noexcept;

  bool IsOpen() const noexcept { return FOpen; }
  std::int64_t Size() const noexcept { return FSize; }
  // The whole file; null when it is empty or closed.
  const unsigned char* Data() const noexcept { return FData; }
  // The file shrank under the mapping: some read found its page gone and read
  // zeros instead. Stays set until the file is closed.
  bool Changed() const noexcept;

  // Copies bytes [offset, offset + size) of the file to out with positioned
  // reads, a kernel copy that beats touching the mapping for data read once; false
  // (out undefined) when the file no longer holds them.
  bool ReadAt(std::int64_t offset, void* out, std::size_t size) const noexcept;

  // Tells the kernel that bytes [offset, offset + length) are about to be read
  // once, front to back, so it reads ahead and maps them in large steps. A
  // hint only: outside the file it is cut short, and nothing else changes.
  void AdviseSequential(std::int64_t offset, std::int64_t length) const noexcept;

 private:
  const unsigned char* FData = nullptr;
  std::int64_t FSize = 0;
  bool FOpen = false;
  int FFd = -1;     // kept open for ReadAt (the platform's descriptor)
  int FGuard = -1;  // the mapping's slot in the bus error guard; -1 unguarded
};

}  // namespace tessmar
