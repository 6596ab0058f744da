#include "option/Profile.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <utility>

#include "base/AtomicFile.hpp"
#include "base/Path.hpp"
#include "base/Text.hpp"

namespace tessmar {

// The loops over characters walk pointers: in the sanitized build the fuzz
// targets use, a string view's operator[] is a call of its own.
namespace {
constexpr char16_t Replacement = 0xFFFD;

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  const char16_t *begin = s.data(), *end = begin + s.size();
  while (begin != end && IsSpace(*begin)) ++begin;
  while (end != begin && IsSpace(end[-1])) --end;
  return {begin, static_cast<std::size_t>(end - begin)};
}

// Where c first stands in s, or s.size().
std::size_t Position(std::u16string_view s, char16_t c) {
  const char16_t *begin = s.data(), *end = begin + s.size(), *at = begin;
  while (at != end && *at != c) ++at;
  return static_cast<std::size_t>(at - begin);
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (const char16_t *p = a.data(), *q = b.data(), *end = p + a.size(); p != end; ++p, ++q)
    if (AsciiUpper(*p) != AsciiUpper(*q)) return false;
  return true;
}

std::size_t NameHash(std::u16string_view name) {
  std::size_t hash = 14695981039346656037u;  // FNV-1a, of the name in upper case
  for (const char16_t *p = name.data(), *end = p + name.size(); p != end; ++p)
    hash = (hash ^ AsciiUpper(*p)) * 1099511628211u;
  return hash;
}

// The name of a section header line, or nothing for any other line.
std::optional<std::u16string_view> SectionName(std::u16string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != u'[') return std::nullopt;
  const std::size_t close = Position(line, u']');
  if (close == line.size()) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// The name of an entry line (the key before its first "="), or nothing for a
// line without one.
std::optional<std::u16string_view> KeyName(std::u16string_view line) {
  const std::size_t equals = Position(line, u'=');
  if (equals == line.size()) return std::nullopt;
  return Trim(line.substr(0, equals));
}

// Decodes UTF-8 into out, which holds in.size() units (never fewer than
// needed); the number of units written, or nothing at the first ill-formed
// sequence when strict (otherwise U+FFFD stands for it).
std::optional<std::size_t> DecodeUtf8(std::string_view text, char16_t* out, bool strict) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t n = 0;
  for (std::size_t i = 0; i < size;) {
    const unsigned char b = in[i];
    if (b < 0x80) {  // most of any text: on its own, so that it costs one test
      out[n++] = b;
      ++i;
      continue;
    }
    int extra = (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    char32_t c = extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
    bool ok = extra > 0 && i + extra < size;
    for (int k = 1; ok && k <= extra; ++k) {
      const unsigned char next = in[i + k];
      ok = (next >> 6) == 2;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    ok = ok && c >= least[extra < 0 ? 0 : extra] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    if (!ok) {
      if (strict) return std::nullopt;
      out[n++] = Replacement;
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out[n++] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out[n++] = static_cast<char16_t>(c);
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  return n;
}

// A caller's text in UTF-16, decoded into a buffer of its own when short (the
// program's names and most of its values are), so that no allocation is made.
class TUtf16 {
 public:
  explicit TUtf16(std::string_view utf8) {
    if (utf8.size() <= std::size(FShort)) {
      FText = {FShort, *DecodeUtf8(utf8, FShort, false)};
    } else {
      FLong = Utf8ToUtf16(utf8);
      FText = FLong;
    }
  }
  TUtf16(const TUtf16&) = delete;
  TUtf16& operator=(const TUtf16&) = delete;
  operator std::u16string_view() const { return FText; }

 private:
  char16_t FShort[64];
  std::u16string FLong;
  std::u16string_view FText;
};

// An entry line: the key (as it stands before its "=") and the value, inside
// quotes where a read would not give it back otherwise (blanks at its ends are
// trimmed, a pair of quotes round it taken off).
std::u16string EntryLine(std::u16string_view key, std::u16string_view value) {
  const bool blankEnds = !value.empty() && (IsSpace(value.front()) || IsSpace(value.back()));
  const bool quoted =
      value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
  std::u16string line;
  line.reserve(key.size() + value.size() + 3);
  line += key;
  line += u'=';
  if (blankEnds || quoted) line += u'"';
  line += value;
  if (blankEnds || quoted) line += u'"';
  return line;
}

// UTF-16 units in the given byte order to the machine's or back, copied whole.
void CopyUtf16(const void* from, std::size_t units, bool little, void* to) {
  std::memcpy(to, from, 2 * units);
  if (little != (std::endian::native == std::endian::little)) {
    auto* bytes = static_cast<unsigned char*>(to);
    for (std::size_t i = 0; i < 2 * units; i += 2) std::swap(bytes[i], bytes[i + 1]);
  }
}

std::u16string Decode(const std::string& bytes) {
  std::u16string text;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const bool le = bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
  const bool be = bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
  if (le || be) {
    // An odd last byte is half a character: dropped.
    text.resize(bytes.size() / 2 - 1);
    CopyUtf16(bytes.data() + 2, text.size(), le, text.data());
    return text;
  }
  std::string_view utf8(bytes);
  if (utf8.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) utf8.remove_prefix(3);
  text.resize(utf8.size());
  if (const auto units = DecodeUtf8(utf8, text.data(), true)) {
    text.resize(*units);
    return text;
  }
  text.resize(bytes.size());  // Latin-1
  std::copy_n(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), text.data());
  return text;
}
}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  out.resize(*DecodeUtf8(text, out.data(), false));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  const char16_t* text = units.data();
  const std::size_t size = units.size();
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    char32_t c = text[i];
    if (c < 0x80) {  // on its own, so that it costs one test
      out += static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < size && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    else if (c >= 0xD800 && c <= 0xDFFF)
      c = Replacement;
    if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool TProfile::Load() {
  Build({});
  FWritten.clear();
  FText.clear();
  FIsText = true;
  const std::optional<std::string> bytes = ReadWholeFile(FPath);
  if (!bytes) return false;
  FText = Decode(*bytes);
  const char16_t* text = FText.data();
  const std::size_t size = FText.size();
  FIsText = std::none_of(text, text + size,
                         [](char16_t c) { return c < 32 && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f'; });
  std::vector<std::u16string_view> lines;
  lines.reserve(size / 16 + 16);
  // CR LF, LF or CR end a line.
  std::size_t start = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    lines.emplace_back(text + start, i - start);
    if (text[i] == u'\r' && i + 1 < size && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < size) lines.emplace_back(text + start, size - start);
  Build(std::move(lines));
  return true;
}

bool TProfile::LacksSections() const {
  if (FSections.size() > 1) return false;
  return std::any_of(FLines.begin(), FLines.end(), [](std::u16string_view line) {
    line = Trim(line);
    return !line.empty() && line.front() != u';' && line.front() != u'#' && line != u"\uFEFF";
  });
}

bool TProfile::Save() const {
  constexpr char16_t LineEnd[] = {u'\r', u'\n'};
  std::size_t units = 1;
  for (const auto line : FLines) units += line.size() + 2;
  std::string bytes(2 * units, '\0');
  char* to = bytes.data();
  const auto put = [&](std::u16string_view text) {
    CopyUtf16(text.data(), text.size(), true, to);
    to += 2 * text.size();
  };
  put(u"\uFEFF");
  for (const auto line : FLines) {
    put(line);
    put({LineEnd, 2});
  }
  TAtomicFile file(FPath);
  return file.Create() && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

// Cuts lines into sections and indexes their names: a header opens a section,
// any other line belongs to the last one, and an entry line is found by its
// key. Lines before the first header belong to no section.
void TProfile::Build(std::vector<std::u16string_view> lines) {
  FLines = std::move(lines);
  FSections.assign(1, TSection{0, 0});
  FSectionNames.clear();
  FKeyNames.clear();
  FKeyNames.reserve(FLines.size());
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    if (const auto name = SectionName(FLines[i])) {
      FSections.back().End = i;
      FSectionNames.push_back({0, NameHash(*name), FSections.size(), *name});
      FSections.push_back({i, i});
    } else if (const auto key = KeyName(FLines[i]); key && FSections.size() > 1) {
      FKeyNames.push_back({FSections.size() - 1, NameHash(*key), i - FSections.back().Begin, *key});
    }
  }
  FSections.back().End = FLines.size();
  std::sort(FSectionNames.begin(), FSectionNames.end());
  std::sort(FKeyNames.begin(), FKeyNames.end());
}

bool TProfile::TIndexed::operator<(const TIndexed& other) const {
  if (Section != other.Section) return Section < other.Section;
  return Hash != other.Hash ? Hash < other.Hash : Place < other.Place;
}

// The place of the first entry named name in section, or nothing.
std::optional<std::size_t> TProfile::Find(const TIndex& index, std::size_t section, std::u16string_view name) {
  const std::size_t hash = NameHash(name);
  auto at = std::lower_bound(index.begin(), index.end(), TIndexed{section, hash, 0, {}});
  for (; at != index.end() && at->Section == section && at->Hash == hash; ++at)
    if (SameName(at->Name, name)) return at->Place;
  return std::nullopt;
}

void TProfile::Insert(TIndex& index, const TIndexed& entry) {
  index.insert(std::upper_bound(index.begin(), index.end(), entry), entry);
}

std::u16string_view TProfile::Keep(std::u16string line) { return FWritten.emplace_back(std::move(line)); }

std::optional<std::string> TProfile::Read(std::string_view section, std::string_view key) const {
  const auto found = Find(FSectionNames, 0, TUtf16(section));
  if (!found) return std::nullopt;
  const auto entry = Find(FKeyNames, *found, TUtf16(key));
  if (!entry) return std::nullopt;
  const std::u16string_view line = FLines[FSections[*found].Begin + *entry];
  std::u16string_view value = Trim(line.substr(Position(line, u'=') + 1));
  // A value in matching quotes reads without them.
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  if (value.size() > ProfileValueMax) value = value.substr(0, ProfileValueMax);
  return Utf16ToUtf8(value);
}

void TProfile::Write(std::string_view section, std::string_view key, std::string_view value) {
  const TUtf16 name(section), keyName(key), text(value);
  std::u16string_view changed;
  if (const auto found = Find(FSectionNames, 0, name)) {
    TSection& at = FSections[*found];
    if (const auto entry = Find(FKeyNames, *found, keyName)) {
      std::u16string_view& line = FLines[at.Begin + *entry];
      line = changed = Keep(EntryLine(line.substr(0, Position(line, u'=')), text));
    } else {
      // After the section's last entry, before any blank lines that end it:
      // only blank lines move, so no entry's place changes.
      std::size_t end = at.End;
      while (end > at.Begin + 1 && Trim(FLines[end - 1]).empty()) --end;
      changed = Keep(EntryLine(keyName, text));
      FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(end), changed);
      ++at.End;
      for (std::size_t later = *found + 1; later < FSections.size(); ++later) {
        ++FSections[later].Begin;
        ++FSections[later].End;
      }
      const std::u16string_view added = *KeyName(changed);
      Insert(FKeyNames, {*found, NameHash(added), end - at.Begin, added});
    }
  } else {
    std::u16string header = u"[";
    header.append(name).append(u"]");
    const std::u16string_view opened = *SectionName(FLines.emplace_back(Keep(std::move(header))));
    Insert(FSectionNames, {0, NameHash(opened), FSections.size(), opened});
    changed = FLines.emplace_back(Keep(EntryLine(keyName, text)));
    FSections.push_back({FLines.size() - 2, FLines.size()});
    if (const auto added = KeyName(changed)) Insert(FKeyNames, {FSections.size() - 1, NameHash(*added), 1, *added});
  }
  // A key that starts with "[" makes its line a header once the line holds a "]".
  if (SectionName(changed)) Build(std::move(FLines));
}

bool TProfile::CreateIfMissing(const std::string& path) {
  if (PathExists(path)) return true;
  TAtomicFile file(path);
  return file.Create() && file.Write("\xFF\xFE", 2) && file.Commit();
}

}  // namespace tessmar
