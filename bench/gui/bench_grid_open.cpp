// Benchmark of the main window's grid on a large table, in the offscreen
// platform: opening the table and painting the first screen, jumping to the
// last record, memory, and with deleted records hidden the time the first
// screen takes and the background scan, with the longest pause of the event
// loop while it runs.
//
//   QT_QPA_PLATFORM=offscreen bench_grid_open TABLE.dbf
//
// The table is written by make_bench_table (1,000,000 records by default).
// Needs Qt Widgets: it is built with the window library, not with the
// engine-only benchmarks.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "app/MainWindow.h"

namespace {

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

double ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TABLE.dbf\n", argv[0]);
        return 2;
    }
    qputenv("XDG_CONFIG_HOME", "/nonexistent-karto-bench");
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const long baseKiB = residentKiB();

    {
        karto::MainWindow window;
        window.setWriteSettingsOnClose(false);
        window.resize(800, 600);
        window.show();
        QApplication::processEvents();
        window.action(karto::aDeleted)->setChecked(true);
        window.dbf().setShowDeleted(true);

        QElapsedTimer t;
        t.start();
        window.openTable(path);
        window.grab();
        std::printf("deleted shown:  open + first screen  %8.2f ms  (%d rows)\n", ms(t),
                    window.gridModel()->rowCount());

        t.restart();
        window.actionListUpdate();
        window.action(karto::DataSetLast)->trigger();
        window.grab();
        std::printf("deleted shown:  jump to last + paint %8.2f ms  (record %d)\n", ms(t), window.dbf().recNo());
        std::printf("deleted shown:  resident memory      %8.1f MiB (%.1f MiB over the empty window)\n",
                    residentKiB() / 1024.0, (residentKiB() - baseKiB) / 1024.0);
    }

    {
        karto::MainWindow window;
        window.setWriteSettingsOnClose(false);
        window.resize(800, 600);
        window.show();
        QApplication::processEvents();

        QElapsedTimer t;
        t.start();
        window.openTable(path);
        window.grab();
        std::printf("deleted hidden: open + first screen  %8.2f ms  (%d rows found so far)\n", ms(t),
                    window.gridModel()->rowCount());

        // The event loop keeps turning while the scan runs: the longest pause
        // between two turns is what the user would feel.
        QElapsedTimer turn;
        turn.start();
        qint64 longestPause = 0;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestPause = std::max(longestPause, turn.nsecsElapsed());
            turn.restart();
            if (window.gridModel()->scanComplete())
                app.quit();
        });
        ticker.start();
        app.exec();
        std::printf("deleted hidden: scan finished after  %8.2f ms  (%d rows), longest pause %.2f ms\n", ms(t),
                    window.gridModel()->rowCount(), longestPause / 1e6);
        t.restart();
        window.actionListUpdate();
        window.action(karto::DataSetLast)->trigger();
        window.grab();
        std::printf("deleted hidden: jump to last + paint %8.2f ms  (record %d)\n", ms(t), window.dbf().recNo());
        std::printf("deleted hidden: resident memory      %8.1f MiB\n", residentKiB() / 1024.0);
    }
    return 0;
}
