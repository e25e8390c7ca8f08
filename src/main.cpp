// Start-up of Karto view: the command line decides between the window, a
// headless export and a headless append.
//
//   karto                          the window with no table
//   karto ?                        the syntax message, then the window
//   karto TABLE                    the window with the table open
//   karto TABLE EXPORT             the export, written without any window
//   karto --append=CSV TABLE       the CSV file's lines appended, no window
//   karto --cp=852|895|1250|auto ...   the code page of this run
//   karto --help, karto --version
//
// Options come before the table; of the other arguments only the first two
// count. Bad usage: a Czech message and status 2.

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
    for (int i = 1; i < argc; ++i)
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
    karto::CommandLineOptions options;
    const QString usageError = karto::parseCommandLine(arguments(argc, argv), options);
    if (!usageError.isEmpty()) {
        std::fprintf(stderr, "karto: %s\nNápovědu vypíše: karto --help\n", usageError.toUtf8().constData());
        return karto::exitUnsupported;
    }
    if (options.help) {
        std::fputs(karto::helpText().toUtf8().constData(), stdout);
        std::fputs("\n", stdout);
        return karto::exitWritten;
    }
    if (options.version) {
        std::printf("karto %s\n", karto::programVersionText().toUtf8().constData());
        return karto::exitWritten;
    }

    const QStringList args = options.positional.mid(0, 2);
    if (options.append || options.reindex || args.size() >= 2) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Brennic"));
        QCoreApplication::setApplicationName(QStringLiteral("KartoView"));
        if (options.reindex)
            return karto::runCommandLineReindex(args.at(0));
        if (options.append)
            return karto::runCommandLineAppend(args.at(0), options.appendFile, options.codePage);
        return karto::runCommandLineExport(args, options.codePage);
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
