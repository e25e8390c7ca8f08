#pragma once
// Registration of the program as the opener of .dbf files for the current
// user (aAssoc "Registrovat pro .DBF", aUnAssoc "Odregistrovat pro .DBF"),
// the freedesktop way:
//
//  - a desktop entry  $XDG_DATA_HOME/applications/karto-view.desktop  whose
//    Exec is the program file's full path with %f, declaring the MIME type;
//  - the MIME type of .dbf files: the one the shared MIME database already
//    has for "*.dbf" (application/x-dbf on most systems); only when there is
//    none, a package file  $XDG_DATA_HOME/mime/packages/karto-view-dbf.xml
//    defining application/x-dbf, and update-mime-database run on that folder;
//  - the default application for that type in $XDG_CONFIG_HOME/mimeapps.list,
//    [Default Applications]: karto-view.desktop put first in the type's list.
//
// Unregistering removes exactly these: the desktop entry, the package file
// (the database rebuilt without it), and karto-view.desktop from the lists of
// [Default Applications] (a list left empty goes, and so does a section left
// empty); other applications' entries stay as they are, and another
// application that was the default before is the default again.

#include <functional>

#include <QString>
#include <QStringList>

#include "dbf/Error.h"

class QWidget;

namespace karto {

// A file of the registration that cannot be written or removed, or a MIME
// database that cannot be rebuilt.
class AssociationError : public KartoError {
public:
    using KartoError::KartoError;
};

class FileAssociation {
public:
    static const char* const desktopFileName;   // "karto-view.desktop"
    static const char* const ownMimeType;       // "application/x-dbf"
    static const char* const registeredMessage;
    static const char* const unregisteredMessage;

    // The user's folders by the XDG base directory rules.
    struct Folders {
        QString dataHome;        // $XDG_DATA_HOME or ~/.local/share
        QString configHome;      // $XDG_CONFIG_HOME or ~/.config
        QStringList dataDirs;    // $XDG_DATA_DIRS or /usr/local/share:/usr/share
    };
    static Folders userFolders();

    // `programPath`: the program file's full path.
    explicit FileAssociation(QString programPath, Folders folders = userFolders());

    void registerProgram();
    void unregisterProgram();

    // The MIME type the shared database gives "*.dbf" (system folders first,
    // then the user's own), empty when none does.
    QString knownDbfMimeType() const;

    QString desktopFilePath() const;
    QString mimePackagePath() const;
    QString mimeAppsPath() const;

    // The Exec value of the desktop entry: the path quoted and escaped as the
    // desktop entry rules ask, then " %f".
    static QString execValue(const QString& programPath);

    // update-mime-database; tests may put their own in place. Returns
    // whether it succeeded.
    using MimeDatabaseUpdate = std::function<bool(const QString& mimeFolder)>;
    void setMimeDatabaseUpdate(MimeDatabaseUpdate update) { updateMimeDatabase_ = std::move(update); }

private:
    void writeDesktopEntry(const QString& mimeType);
    void setDefaultApplication(const QString& mimeType);
    void removeFromMimeApps();

    QString programPath_;
    Folders folders_;
    MimeDatabaseUpdate updateMimeDatabase_;
};

// aAssoc / aUnAssoc: registers or unregisters the running program and shows
// the result in an information box captioned "Informace". Errors go on to
// the caller (no box then).
void aAssocExecute(bool registering, QWidget* parent,
                   const std::function<void(QWidget*, const QString&)>& information = {});

} // namespace karto
