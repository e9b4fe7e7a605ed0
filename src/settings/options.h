#pragma once
// The option controls of the main window as commands on the state: each sets
// its field of the settings, marks the settings as changed where it should,
// and leaves the rest to the display, which reads everything back from the
// state. No Qt here, so the window stays a thin shell over these.
#include <string>

#include "source/encoding.h"

namespace zevi {

struct AppState;
struct ConversionSettings;
class UserInterface;

inline constexpr const char* kModeLetters = "WRT";

enum class ListSeparatorEntry { Comma, Semicolon, Space, UserDefined, None };

// "Convert to": entry 0 "Waypoints", 1 "Wpts+Route", 2 "Trackpoints".
void ChooseMode(AppState& state, int entry);
int ModeEntry(const ConversionSettings& settings);

// "D", "M" or "Y"; the headings show the new order, the cells keep their data.
void ChooseDateFormat(AppState& state, char letter);
char DateFormatShown(const ConversionSettings& settings);

// The user-defined entry asks for the character; a loaded file is loaded again.
void ChooseListSeparator(AppState& state, UserInterface& ui, ListSeparatorEntry entry);
ListSeparatorEntry ListSeparatorShown(const ConversionSettings& settings);
std::string UserSeparatorCaption(const ConversionSettings& settings);

// '.' or ','; a comma makes the list separator ';'. A loaded file is loaded again.
void ChooseDecimalSeparator(AppState& state, UserInterface& ui, char mark);

void ChooseLatitudeSign(AppState& state, int sign);
void ChooseLongitudeSign(AppState& state, int sign);

// "D", "H", "B" or "T"; aux columns take the new letter.
void ChooseAuxData(AppState& state, char letter);
// The letter whose entry is checked: anything unknown shows as depth.
char AuxDataShown(const ConversionSettings& settings);
// "Depth", "Heartrate", "Heading", "Temperature".
std::string AuxCaption(const ConversionSettings& settings);

// Switch 0 world, 1 USA, 2 OSTN02 grids; rebuilds the grid list, which then
// stands on "Lat/Long". Not a change of the settings.
void SwitchGridFile(AppState& state, UserInterface& ui, int gridSwitch);

// Entry of "(None)", "ID", ... (the letters of "-ICA&+^").
void ChooseTextOption(AppState& state, int entry);

// -1 when the typed text is no entry; not a change of the settings.
void ChooseSymbolType(AppState& state, int index);
// The track-start combo: 0 none, k data column k.
void ChooseTrackStart(AppState& state, int entry);
int TrackStartEntry(const ConversionSettings& settings);
void EditDefaultZone(AppState& state, const std::string& text);

// The scale spin button: one step, wrapping; not a change of the settings.
void StepScaleButton(AppState& state, int delta);
// "Grid decimal place ...".
void AskScale(AppState& state, UserInterface& ui);

// Settings > "Source Encoding"; a loaded file is loaded again in it.
void ChooseSourceEncoding(AppState& state, UserInterface& ui, SourceEncoding encoding);

// "Right Aligned ", "x 10", "x 100", "x 1000", "Left Aligned".
void ChooseAlignment(AppState& state, int entry);

// Grid and datum boxes; entry 0 is "Lat/Long" or "WGS84".
void ChooseGrid(AppState& state, UserInterface& ui, int entry);
void ChooseDatum(AppState& state, UserInterface& ui, int entry);
void SetAutoDatum(AppState& state, bool on);

// The scale label and its spin button show only while a grid is chosen.
bool ScaleShown(const AppState& state);

}  // namespace zevi
