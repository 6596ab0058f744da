// The settings file: the window's inputs, the window position, the data folder,
// the custom file extension, the fonts and the source model catalogue, carried
// from one run to the next in SettingsPath. Loading and saving report nothing;
// values that do not read take their defaults. The window loads the file into
// its controls; the CLI reads the same values as the defaults of its options.
// Not thread-safe: runs on the session's thread (it fills the session).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert/Resolution.hpp"
#include "session/Session.hpp"
#include "session/View.hpp"

namespace tessmar {

// The main window's inputs as typed, as the settings file carries them.
struct TInputs {
  std::string GeoidModel;  // ComboBoxGeoid
  std::string OutputName;  // EditFname
  // The checked resolution button's minutes (ResolutionChoices); nothing when
  // none is checked.
  std::optional<int> Resolution;
  std::string Lat1, Lon1, Lat2, Lon2;  // EditLat1, EditLon1 (southwest), EditLat2, EditLon2 (northeast)
  std::string TestLat, TestLon;        // EditLat, EditLon
};

// The inputs as a window's controls hold them: the text of each field
// (text(control)) and the first checked resolution button (checked(control)).
template <class Text, class Checked>
TInputs InputsFrom(const Text& text, const Checked& checked) {
  TInputs in{text(TControl::ComboBoxGeoid), text(TControl::EditFname), std::nullopt,
             text(TControl::EditLat1),      text(TControl::EditLon1),  text(TControl::EditLat2),
             text(TControl::EditLon2),      text(TControl::EditLat),   text(TControl::EditLon)};
  for (const TResolutionChoice& choice : ResolutionChoices)
    if (!in.Resolution && checked(choice.Button)) in.Resolution = choice.Minutes;
  return in;
}

// The inputs of the window layout, before any settings are read.
TInputs InitialInputs();

// The window's position as saved: its top and left edges, NoSavedPosition when unknown.
struct TWindowPosition {
  std::int32_t Top = NoSavedPosition, Left = NoSavedPosition;
};

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

// (UseEnglishFormats, which fixes the number formats first, is the platform's: Platform.hpp.)

// What a settings file holds for the window.
struct TLoadedSettings {
  TInputs Inputs;
  TWindowPosition Position;
  std::vector<std::string> KeysGiven;  // the window's input keys the file holds ("Lat1", "TestLat", ...)
  // What the user should know of the file: it is no settings file (not text,
  // or text without a section; not read), or a catalogue entry is refused
  // ("settings file PATH, [EGM2008_25] key dgla: ..."; the entry keeps its
  // values, and opening its grid fails with that reason).
  std::vector<std::string> Warnings;
};

// Reads SettingsPath into the session (the catalogue, DataPath, DataDir,
// OutputExt and the fonts) and gives the window's inputs and position. Keys the
// file lacks keep `current`'s value for the model, the output name and the
// test point, and take their defaults for the others. Nothing when a missing
// file cannot be created: one is first created holding only the byte-order mark.
std::optional<TLoadedSettings> ReadSettings(TSession& session, const TInputs& current);

// ReadSettings, and the window filled from it: its place on the work area, its
// inputs, the model list, the file dialog and the fonts. What was read.
std::optional<TLoadedSettings> LoadSettings(TSession& session, const TInputs& current);

// Writes every setting to SettingsPath, the window's from `inputs` and
// `position`, in one replacement of the file; nothing when no settings path is
// set, or when the file there is no text (not a settings file: it is kept). The [Option] keys named in `unwritten` stay
// as the file has them.
void SaveSettings(const TSession& session, const TInputs& inputs, const TWindowPosition& position,
                  const std::vector<std::string>& unwritten = {});

// Sets the font of both windows from FontCharset, FontName and FontSize, the
// size scaled from 96 dots per inch to the display's.
void ApplyFonts(TSession& session);

// Value forms of the settings file.
std::optional<std::int32_t> ProfileInteger(std::string_view text);  // decimal, "0x" or "$" hexadecimal
std::optional<double> ProfileFloat(std::string_view text);
std::string ProfileFloatText(double value);  // shortest general form, at most 15 digits

}  // namespace tessmar
