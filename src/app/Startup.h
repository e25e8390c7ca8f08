#pragma once
// Start-up of the window road.

#include <QStringList>

class QApplication;

namespace karto {

// Runs the program with its main window and returns the exit code of the
// event loop.
//
// `args` are the command-line arguments without the program name. The
// caller has already dealt with the road that needs no window, the exports
// of `karto TABLE EXPORT`. Here, in order:
//  1. the application title becomes "Karto view" and Qt's own texts
//     (standard dialogs, message box buttons) are loaded in Czech;
//  2. the main window is created (decimal separator ".", the translate hook
//     installed on its dataset);
//  3. the settings are read (organisation "Brennic", application
//     "KartoView"; missing or damaged values take their defaults) and the
//     recent tables are put in the File menu;
//  4. the stored code page choice is applied;
//  5. a first argument "?" shows the syntax message in a plain box; any
//     other first argument is opened as a table, an error shown in the error
//     box and the window opened without a table;
//  6. the window is shown and the event loop runs until it closes; closing
//     writes the settings back.
int runWindow(QApplication& app, const QStringList& args);

} // namespace karto
