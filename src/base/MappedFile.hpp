// TMappedFile: a regular file opened read-only and mapped into memory whole, so
// a node read is a bounds-checked load, not a system call. Move-only RAII handle;
// concurrent reads are safe. Opening fails (returns false, the handle stays
// closed) for a missing or unreadable path and for anything but a regular file.
// Another program that truncates the file while it is mapped is not guarded
// against: the platform offers no deny-write sharing.
#pragma once

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

  // Tells the kernel that bytes [offset, offset + length) are about to be read
  // once, front to back, so it reads ahead and maps them in large steps. A
  // hint only: outside the file it is cut short, and nothing else changes.
  void AdviseSequential(std::int64_t offset, std::int64_t length) const noexcept;

 private:
  const unsigned char* FData = nullptr;
  std::int64_t FSize = 0;
  bool FOpen = false;
};

}  // namespace tessmar
