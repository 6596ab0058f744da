// TLineReader: a file, or standard input, read as it comes and handed out a
// block of whole lines at a time, with the news a filter needs: whether the
// input is idle (nothing more to read at once, so answers should go out now),
// ended or failed. A UTF-8 byte-order mark at the start of the input is no part
// of its first line. Input that holds a NUL byte is no text: the reader ends
// at the first it reads, and hands out none of the lines not handed out by
// then (a file's first megabyte is read at once: such a file gets none out).
// Owns the file it opened and closes it on every way out. One thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessmar {

// How many lines text holds: one a line end, and a last one without.
std::size_t CountLines(std::string_view text);

class TLineReader {
 public:
  // path "-" is standard input. Opened() is false when the file cannot be
  // opened, and Error() then says why.
  explicit TLineReader(const std::string& path);
  ~TLineReader();
  TLineReader(const TLineReader&) = delete;
  TLineReader& operator=(const TLineReader&) = delete;

  bool Opened() const noexcept { return FFd >= 0; }

  // Reads what the input has next, waiting for it (a signal cuts the wait
  // short); false once the input has ended or failed.
  bool Read();
  // Whole lines of what has been read, with their line ends, into out: about
  // `most` bytes of them (one line at least, however long) and once the input
  // has ended its last line without one. False when no whole line is at hand.
  bool Lines(std::size_t most, std::string& out);
  bool Ended() const noexcept { return FEnded; }
  bool Failed() const noexcept { return FFailed; }
  // Why the open or the read failed (errno); 0 when neither did.
  int Error() const noexcept { return FError; }
  // A NUL byte was read: the input is no text and has ended. Withheld() lines
  // came before the line that holds it, after those handed out; Utf16() says
  // the input began with a UTF-16 byte-order mark (UTF-16 text, whose ASCII
  // characters each hold a NUL byte).
  bool NotText() const noexcept { return FNotText; }
  std::size_t Withheld() const noexcept { return FWithheld; }
  bool Utf16() const noexcept { return FUtf16; }
  // Nothing more can be read at once: a program at the other end of a pipe
  // waits for its answers.
  bool Idle() const;
  // How much of a regular file has been read, 0 .. 1; negative for a pipe or
  // a terminal, whose length is unknown.
  double Fraction() const;

 private:
  int FFd = -1;
  int FError = 0;
  bool FOwned = false, FEnded = false, FFailed = false, FAtStart = true;
  bool FNotText = false, FUtf16 = false;
  std::size_t FWithheld = 0;
  long long FSize = -1, FRead = 0;  // the regular file's length, the bytes read
  std::string FInput;
  std::size_t FStart = 0;  // the first byte not handed out
};

}  // namespace tessmar
