// The settings file: the window's inputs, the window position, the data folder,
// the custom file extension, the fonts and the source model catalogue, carried
// from one run to the next in SettingsPath. Loading and saving report nothing;
// values that do not read take their defaults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "view/Session.hpp"

namespace tessmar {

// Catalogue entry `index` (0 or 1) as the settings file holds it: its section
// and its keys with their texts, in field order.
struct TModelSettings {
  std::string Section;
  std::vector<std::pair<std::string, std::string>> Keys;
};
TModelSettings ModelSettings(int index, const TGeoidModel& model);

// Writes catalogue entry `index` into the settings file at path and selects it
// (GeoidModel := its title); DataPath too when given. The file's other settings
// stay as they are; a missing file is created. False when it cannot be written.
bool SaveModelEntry(const std::string& path, int index, const TGeoidModel& model,
                    const std::optional<std::string>& dataPath);

// Fixes the process's number formats to "." decimals, whatever the user's locale.
void UseEnglishFormats();

// Reads SettingsPath into the window, the catalogue, DataPath, DataDir,
// OutputExt and the fonts, and applies them. A missing file is first created
// holding only the byte-order mark (the load ends if that fails).
void LoadSettings(TSession& session);

// Writes every setting to SettingsPath, in one replacement of the file; nothing
// when no settings path is set.
void SaveSettings(TSession& session);

// Sets the font of both windows from FontCharset, FontName and FontSize, the
// size scaled from 96 dots per inch to the display's.
void ApplyFonts(TSession& session);

// The user's locale is Japanese (LC_ALL, LC_MESSAGES or LANG starts with "ja").
bool UserLocaleIsJapanese();

// Value forms of the settings file.
std::optional<std::int32_t> ProfileInteger(std::string_view text);  // decimal, "0x" or "$" hexadecimal
std::optional<double> ProfileFloat(std::string_view text);
std::string ProfileFloatText(double value);  // shortest general form, at most 15 digits

}  // namespace tessmar
