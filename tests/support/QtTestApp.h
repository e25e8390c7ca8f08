#pragma once
// The QApplication of the window tests, made on first use, with the settings
// kept in a temporary folder so that no test touches the user's own.

#include <ostream>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

namespace karto::test {

inline QTemporaryDir& settingsFolder()
{
    static QTemporaryDir* folder = new QTemporaryDir;
    return *folder;
}

inline QApplication& qtApp()
{
    static QApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_CONFIG_HOME", settingsFolder().path().toLocal8Bit());
        static int argc = 1;
        static char name[] = "test_app";
        static char* argv[] = {name, nullptr};
        auto* application = new QApplication(argc, argv);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder().path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder().path());
        return application;
    }();
    return *app;
}

// Empties the program's settings store.
inline void clearSettings()
{
    qtApp();
    QSettings store(QStringLiteral("Brennic"), QStringLiteral("KartoView"));
    store.clear();
    store.sync();
}

} // namespace karto::test

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << "{";
    for (const QString& text : list)
        *os << "\n  \"" << text.toStdString() << '"';
    *os << " }";
}
