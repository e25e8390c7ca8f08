#pragma once
// The per-user settings of the main window: placement, grid font, last
// folder, code page choice and the recent tables.
//
// Stored with QSettings under the organisation "Brennic" and the application
// "KartoView" (on Linux ~/.config/Brennic/KartoView.conf). Value names and
// meanings:
//   Maximized    1 or 0, the window is maximised
//   Top, Left, Height, Width   the window's client area on the screen
//   FontName, FontSize, FontCharset   the grid font (size in points)
//   LastDir      initial folder of the open dialog
//   CP           code page box position: 0 Latin 2, 1 Kamenických, 2 Windows 1250,
//                3 Automaticky (each table in the code page it holds)
//   Recent/0 .. Recent/9   full paths of recent tables, 0 the newest
//
// Reading never fails: a value that is missing or cannot be read as its type
// is left at its default (the window's design value), so a damaged settings
// file cannot keep the program from starting or from opening the table named
// on its command line.

#include <optional>

#include <QString>
#include <QStringList>

class QSettings;

namespace karto {

struct MainSettings {
    // Whether the settings key existed at all; without it the window is
    // centred on the screen and nothing else is read.
    bool keyExists = false;
    std::optional<bool> maximized;
    std::optional<int> top;
    std::optional<int> left;
    std::optional<int> height;
    std::optional<int> width;
    QString fontName;                 // empty: the platform's default font
    std::optional<int> fontSize;      // points
    int fontCharset = 238;            // kept for the settings file, Central European
    QString lastDir;
    int cp = 0;                       // 0 when missing or unreadable; without the
                                      // key automaticCodePageChoice
    QStringList recentFiles;          // non-empty values of "0".."9", in order
};

// The organisation and application names of the settings store.
inline constexpr const char* settingsOrganization = "Brennic";
inline constexpr const char* settingsApplication = "KartoView";

MainSettings readMainSettings(QSettings& store);

// The code page box position of "Automaticky": the code page is told for
// each table opened (CodePageDetection.h). New installations start with it.
inline constexpr int automaticCodePageChoice = 3;

// The code page box position stored as "CP", as the window reads it; 0 when
// the value is missing or cannot be read as a number, and
// automaticCodePageChoice when nothing at all is stored yet (a new
// installation). A value outside 0..3 is returned as stored. Reads nothing
// else and writes nothing.
int readCodePageChoice(QSettings& store);

// Writes every value of the main key, then the first ten recent tables as
// "Recent/0".. ; recent values beyond the list's length stay as they were.
void writeMainSettings(QSettings& store, const MainSettings& settings);

} // namespace karto
