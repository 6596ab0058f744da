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

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessmar {

inline constexpr std::size_t ProfileValueMax = 2047;

class TProfile {
 public:
  // An empty profile bound to path; Load reads what the file holds.
  explicit TProfile(std::string path) : FPath(std::move(path)) {}
  TProfile(const TProfile&) = delete;
  TProfile& operator=(const TProfile&) = delete;

  // Reads the file; false (and an empty profile) when it cannot be read.
  bool Load();
  // Writes the whole profile; false when the file cannot be written (the old
  // file then stays as it was).
  bool Save() const;

  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  void Write(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Path() const { return FPath; }

  // What Load read: text (no character below 32 but tab, line ends and form
  // feed: none that a text file holds), and a text with lines but no section
  // header (blank lines and ";" or "#" comments aside), which is no ini file.
  bool IsText() const { return FIsText; }
  bool LacksSections() const;

  // Creates path holding only the UTF-16LE byte-order mark when no file is there.
  static bool CreateIfMissing(const std::string& path);

 private:
  // The lines, cut into sections at their headers: the lines before the first
  // header, then each header with the lines up to the next. A line is a view of
  // the text read or of a line written since, both kept as long as the profile.
  struct TSection {
    std::size_t Begin, End;  // its lines in FLines: the header first, but for the lead-in
  };
  // Names are found by binary search in an index sorted by section, hash and
  // place (of equal names the first comes first), not by walking the lines.
  struct TIndexed {
    std::size_t Section;  // the section an entry is in; 0 for a section's own name
    std::size_t Hash;     // of the name without regard to ASCII case
    std::size_t Place;    // a section's number, or an entry's line from its section's header
    std::u16string_view Name;
    bool operator<(const TIndexed& other) const;
  };
  using TIndex = std::vector<TIndexed>;
  static std::optional<std::size_t> Find(const TIndex& index, std::size_t section, std::u16string_view name);
  static void Insert(TIndex& index, const TIndexed& entry);

  void Build(std::vector<std::u16string_view> lines);
  std::u16string_view Keep(std::u16string line);

  std::string FPath;
  bool FIsText = true;
  std::u16string FText;                 // the file as read
  std::deque<std::u16string> FWritten;  // the lines written since (a deque never moves them)
  std::vector<std::u16string_view> FLines;
  std::vector<TSection> FSections{{0, 0}};
  TIndex FSectionNames;  // place: the section's number
  TIndex FKeyNames;
};

// UTF-8 <-> UTF-16 as the profile uses them; ill-formed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace tessmar
