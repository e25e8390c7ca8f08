// Start-up of Karto view: the command line decides between the window and a
// headless export.
//
//   karto                      the window with no table
//   karto ?                    the syntax message, then the window
//   karto TABLE                the window with the table open
//   karto TABLE EXPORT         the export, written without any window
//
// Only the first two arguments count.

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Startup.h"

namespace {

bool hasDisplay()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;  // the caller chose a platform (offscreen, xcb ...)
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (display && *display) || (wayland && *wayland);
}

QStringList arguments(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc && args.size() < 2; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

void printUsage()
{
    std::fputs(karto::syntaxMessage().toUtf8().constData(), stdout);
    std::fputs("\n", stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0)) {
        printUsage();
        return karto::exitWritten;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("karto %s\n", karto::programVersionText().toUtf8().constData());
        return karto::exitWritten;
    }

    const QStringList args = arguments(argc, argv);
    if (args.size() >= 2) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Brennic"));
        QCoreApplication::setApplicationName(QStringLiteral("KartoView"));
        return karto::runCommandLineExport(args);
    }

    if (!hasDisplay()) {
        if (!args.isEmpty() && args.first() == QStringLiteral("?")) {
            printUsage();
            return karto::exitWritten;
        }
        std::fputs("karto: no display for the window (set DISPLAY, or give an export file to run "
                   "without a window)\n", stderr);
        return karto::exitError;
    }

    karto::Application app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brennic"));
    QCoreApplication::setApplicationName(QStringLiteral("KartoView"));
    return karto::runWindow(app, args);
}
