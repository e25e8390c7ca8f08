// Benchmark of editing in the main window on a large table, offscreen: edit
// mode switched on and off while the cursor is on the last record (the table
// reopened, the grid back on the same record and column), and a typed change
// to the last record written by leaving its row (the record locked, the
// value set, the record written and unlocked, the grid's row read afresh).
// The table is a copy of the given one, made first, so the benchmark table
// itself is never changed.
//
//   QT_QPA_PLATFORM=offscreen bench_edit_mode TABLE.dbf WORK-FOLDER [repeats]
//
// The table is written by make_bench_table (1,000,000 records by default,
// about 1 % deleted, so the grid's rows come from its scan).

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>

#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "app/MainWindow.h"
#include "dbf/table/TableDataset.h"

namespace {

double ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TABLE.dbf WORK-FOLDER [repeats]\n", argv[0]);
        return 2;
    }
    qputenv("XDG_CONFIG_HOME", "/nonexistent-karto-bench");
    QApplication app(argc, argv);
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    namespace fs = std::filesystem;
    fs::create_directories(argv[2]);
    const fs::path copy = fs::path(argv[2]) / "edit.dbf";
    fs::copy_file(argv[1], copy, fs::copy_options::overwrite_existing);

    karto::MainWindow window;
    window.setWriteSettingsOnClose(false);
    karto::MainWindow::Dialogs dialogs = window.dialogs();
    int failures = 0;
    dialogs.error = [&failures](QWidget*, const QString& message) {
        std::fprintf(stderr, "error: %s\n", message.toUtf8().constData());
        ++failures;
    };
    dialogs.warning = [](QWidget*, const QString&) {};
    dialogs.saveChanges = [](QWidget*, const QString&) { return karto::SaveChangesAnswer::Save; };
    window.setDialogs(dialogs);
    window.resize(800, 600);
    window.show();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    if (!window.openTableReporting(QString::fromStdString(copy.string())))
        return 1;
    karto::DbfGridModel* model = window.gridModel();
    karto::TableDataset& dbf = window.dbf();
    const int price = dbf.findField("CENA")->index();
    const int column = model->columnOfField(price);
    window.actionListUpdate();
    window.action(karto::DataSetLast)->trigger();
    QApplication::processEvents();
    const int last = dbf.recNo();
    std::printf("table: %s, %d records, last visible record %d (open and jump %.1f ms)\n", copy.string().c_str(),
                dbf.recordCount(), last, ms(t));
    window.grid()->setCurrentIndex(model->index(window.grid()->currentIndex().row(), column));

    double bestOn = 1e9, bestOff = 1e9, worstOn = 0, worstOff = 0;
    for (int i = 0; i < repeats; ++i) {
        for (const bool on : {true, false}) {
            window.actionListUpdate();
            t.restart();
            window.action(karto::aEdit)->trigger();
            const double took = ms(t);
            if (window.dbf().readOnly() == on || dbf.recNo() != last ||
                window.grid()->currentIndex().column() != column) {
                std::fprintf(stderr, "edit mode switch did not hold its place\n");
                return 1;
            }
            (on ? bestOn : bestOff) = std::min(on ? bestOn : bestOff, took);
            (on ? worstOn : worstOff) = std::max(on ? worstOn : worstOff, took);
            QApplication::processEvents();
        }
    }
    std::printf("edit mode on at the last record:  best %.1f ms, worst %.1f ms\n", bestOn, worstOn);
    std::printf("edit mode off at the last record: best %.1f ms, worst %.1f ms\n", bestOff, worstOff);

    window.actionListUpdate();
    window.action(karto::aEdit)->trigger();   // edit mode for the changes
    double bestPost = 1e9, worstPost = 0;
    for (int i = 0; i < repeats; ++i) {
        const int row = model->rowOfRecord(last);
        const QString value = QString::number(1000 + i) + QStringLiteral(".25");
        t.restart();
        // What the grid does: the record locked when typing starts, the value
        // set when the cell is left, the record written when the row is.
        window.grid()->setCurrentIndex(model->index(row, column));
        const bool set = model->setData(model->index(row, column), value, Qt::EditRole);
        window.grid()->setCurrentIndex(model->index(row - 1, column));
        const double took = ms(t);
        if (!set || dbf.state() != karto::dsBrowse) {
            std::fprintf(stderr, "the change was not written\n");
            return 1;
        }
        bestPost = std::min(bestPost, took);
        worstPost = std::max(worstPost, took);
        dbf.setRecNo(last);
        if (QString::fromStdString(dbf.field(price).asString()) != QString::number(1000 + i) + QStringLiteral(".25")) {
            std::fprintf(stderr, "the last record does not hold the value\n");
            return 1;
        }
        QApplication::processEvents();
    }
    std::printf("change to the last record written: best %.1f ms, worst %.1f ms\n", bestPost, worstPost);
    window.close();
    fs::remove(copy);
    return failures == 0 ? 0 : 1;
}
