// TProfile: an ini file read and written the way the settings have always been
// kept: "[Section]" lines and "key=value" lines, names matched without regard to
// ASCII case, the first of repeated sections or keys winning, values read up to
// 2047 UTF-16 characters. A written value replaces the key where it stands; a new
// key goes to the end of its section, a new section to the end of the file. A
// value with blanks at its ends or quotes round it is written inside quotes, so
// that it reads back as it was.
// Files are read as UTF-16 (LE or BE, with a byte-order mark), UTF-8 or, failing
// that, Latin-1, and always written as UTF-16LE with the mark FF FE and CR LF
// line ends, through a temporary file renamed into place. Texts at the interface
// are UTF-8. One thread; no exceptions.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessmar {

inline constexpr std::size_t ProfileValueMax = 2047;

class TProfile {
 public:
  // An empty profile bound to path; Load reads what the file holds.
  explicit TProfile(std::string path) : FPath(std::move(path)) {}

  // Reads the file; false (and an empty profile) when it cannot be read.
  bool Load();
  // Writes the whole profile; false when the file cannot be written (the old
  // file then stays as it was).
  bool Save() const;

  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  void Write(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Path() const { return FPath; }

  // Creates path holding only the UTF-16LE byte-order mark when no file is there.
  static bool CreateIfMissing(const std::string& path);

 private:
  struct TKeyLine {
    std::size_t Line;
    std::size_t ValueStart;
  };
  std::optional<std::size_t> FindSection(const std::u16string& section) const;  // its header line
  std::optional<TKeyLine> FindKey(std::size_t header, const std::u16string& key) const;

  std::string FPath;
  std::vector<std::u16string> FLines;
};

// UTF-8 <-> UTF-16 as the profile uses them; ill-formed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace tessmar
