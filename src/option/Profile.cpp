#include "option/Profile.hpp"

#include <fstream>
#include <iterator>

#include "base/AtomicFile.hpp"
#include "base/Path.hpp"
#include "base/Text.hpp"

namespace tessmar {

namespace {
constexpr char16_t Replacement = 0xFFFD;

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

// The name of a section header line, or nothing for any other line.
std::optional<std::u16string_view> SectionName(std::u16string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != u'[') return std::nullopt;
  const auto close = line.find(u']');
  if (close == std::u16string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// A value as written: inside quotes where Read would not give it back
// otherwise (blanks at its ends are trimmed, a pair of quotes round it taken off).
std::u16string Written(std::u16string value) {
  const bool blankEnds = !value.empty() && (IsSpace(value.front()) || IsSpace(value.back()));
  const bool quoted =
      value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
  return blankEnds || quoted ? u"\"" + value + u"\"" : value;
}

// Decodes a well-formed UTF-8 text; false at the first ill-formed sequence.
bool DecodeUtf8(std::string_view in, std::u16string& out, bool strict) {
  out.clear();
  for (std::size_t i = 0; i < in.size();) {
    const auto b = static_cast<unsigned char>(in[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    char32_t c = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
    bool ok = extra >= 0 && i + extra < in.size() + (extra == 0);
    for (int k = 1; ok && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(in[i + k]);
      ok = (next >> 6) == 2;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    ok = ok && c >= least[extra < 0 ? 0 : extra] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    if (!ok) {
      if (strict) return false;
      out += Replacement;
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

std::u16string Decode(const std::string& bytes) {
  std::u16string text;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const bool le = bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
  const bool be = bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
  if (le || be) {
    // An odd last byte is half a character: dropped.
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
      text += static_cast<char16_t>(le ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1));
    return text;
  }
  std::string_view utf8(bytes);
  if (utf8.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) utf8.remove_prefix(3);
  if (DecodeUtf8(utf8, text, true)) return text;
  text.clear();
  for (unsigned char c : bytes) text += static_cast<char16_t>(c);  // Latin-1
  return text;
}
}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  DecodeUtf8(text, out, false);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    else if (c >= 0xD800 && c <= 0xDFFF)
      c = Replacement;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
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
  FLines.clear();
  const std::optional<std::string> bytes = ReadWholeFile(FPath);
  if (!bytes) return false;
  const std::u16string text = Decode(*bytes);
  // CR LF, LF or CR end a line.
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    FLines.emplace_back(text, start, i - start);
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) FLines.emplace_back(text, start);
  return true;
}

bool TProfile::Save() const {
  std::string bytes = "\xFF\xFE";
  const auto put = [&](char16_t c) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  };
  for (const auto& line : FLines) {
    for (char16_t c : line) put(c);
    put(u'\r');
    put(u'\n');
  }
  TAtomicFile file(FPath);
  return file.Create() && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

std::optional<std::size_t> TProfile::FindSection(const std::u16string& section) const {
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    const auto name = SectionName(FLines[i]);
    if (name && SameName(*name, section)) return i;
  }
  return std::nullopt;
}

std::optional<TProfile::TKeyLine> TProfile::FindKey(std::size_t header, const std::u16string& key) const {
  for (std::size_t i = header + 1; i < FLines.size() && !SectionName(FLines[i]); ++i) {
    const std::u16string_view line = FLines[i];
    const auto equals = line.find(u'=');
    if (equals != std::u16string_view::npos && SameName(Trim(line.substr(0, equals)), key))
      return TKeyLine{i, equals + 1};
  }
  return std::nullopt;
}

std::optional<std::string> TProfile::Read(std::string_view section, std::string_view key) const {
  const auto header = FindSection(Utf8ToUtf16(section));
  if (!header) return std::nullopt;
  const auto found = FindKey(*header, Utf8ToUtf16(key));
  if (!found) return std::nullopt;
  std::u16string_view value = Trim(std::u16string_view(FLines[found->Line]).substr(found->ValueStart));
  // A value in matching quotes reads without them.
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  if (value.size() > ProfileValueMax) value = value.substr(0, ProfileValueMax);
  return Utf16ToUtf8(value);
}

void TProfile::Write(std::string_view section, std::string_view key, std::string_view value) {
  const std::u16string name = Utf8ToUtf16(section), keyName = Utf8ToUtf16(key);
  const std::u16string written = Written(Utf8ToUtf16(value));
  const std::u16string line = keyName + u"=" + written;
  const auto header = FindSection(name);
  if (!header) {
    FLines.push_back(u"[" + name + u"]");
    FLines.push_back(line);
    return;
  }
  if (const auto found = FindKey(*header, keyName)) {
    FLines[found->Line].replace(found->ValueStart, std::u16string::npos, written);
    return;
  }
  // After the section's last entry, before any blank lines that end it.
  std::size_t end = *header + 1;
  while (end < FLines.size() && !SectionName(FLines[end])) ++end;
  while (end > *header + 1 && Trim(FLines[end - 1]).empty()) --end;
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(end), line);
}

bool TProfile::CreateIfMissing(const std::string& path) {
  if (PathExists(path)) return true;
  TAtomicFile file(path);
  return file.Create() && file.Write("\xFF\xFE", 2) && file.Commit();
}

}  // namespace tessmar
