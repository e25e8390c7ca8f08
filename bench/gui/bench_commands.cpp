// The search box's and the column sum's walks over a large table, as the
// window runs them: find everywhere for a text that is nowhere (every field of
// every record compared), find in one column, the column sum of CENA, and
// switching the column filter on (every record's field compared once, as the
// grid's row scan asks for it). The table is read through the Latin 2
// conversion, as the window shows the generated table. Then the same
// commands run through the main window's actions (offscreen), with the busy
// cursor, the grid's rows and the boxes (stubbed) included.
//
//   QT_QPA_PLATFORM=offscreen bench_commands TABLE.dbf [repeats]
//                                          (make one with make_bench_table)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

#include "../BenchSupport.h"
#include "app/CellCommands.h"
#include "commands/ColumnSum.h"
#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "app/MainWindow.h"
#include "commands/TableSearch.h"
#include "commands/UpperCase.h"
#include "convert/CodePageConverter.h"
#include "dbf/Error.h"
#include "dbf/table/TableDataset.h"

namespace {

using namespace karto::bench;


template <typename F>
double best(int repeats, F&& run)
{
    double t = 1e9;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = Clock::now();
        run();
        t = std::min(t, seconds(t0));
    }
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TABLE.dbf [repeats]\n", argv[0]);
        return 2;
    }
    qputenv("XDG_CONFIG_HOME", "/nonexistent-karto-bench");
    QApplication app(argc, argv);
    const karto::TextMatcher::UpperCase upperCase = karto::qtUpperCase();
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    try {
        karto::CodePageConverter converter;
        converter.chooseCodePage(karto::cpLatin2);
        karto::TableDataset dbf;
        dbf.setTableName(argv[1]);
        dbf.setOnTranslate(&converter);
        dbf.open();
        const int count = dbf.recordCount();
        std::vector<int> allFields;
        for (int i = 0; i < dbf.fieldCount(); ++i)
            allFields.push_back(i);
        const int town = dbf.findField("MESTO")->index();
        const int price = dbf.findField("CENA")->index();
        std::printf("table: %s, %d records, %d fields\n", argv[1], count, dbf.fieldCount());

        karto::TableSearch search(dbf);
        int found = 0;
        const double everywhere = best(repeats, [&] {
            karto::TextMatcher matcher("žádný takový text", upperCase);
            search.setFirstFind(true);
            found = search.findEverywhere(0, allFields, matcher);
        });
        std::printf("find everywhere, no match:      %7.3f s   (%s)\n", everywhere, found < 0 ? "not found" : "found?");

        bool inColumn = false;
        const double column = best(repeats, [&] {
            karto::TextMatcher matcher("nowhere", upperCase);
            search.setFirstFind(true);
            inColumn = search.findInField(town, matcher);
        });
        std::printf("find in one column, no match:   %7.3f s   (%s)\n", column, inColumn ? "found?" : "not found");

        int64_t sum = 0;
        std::exception_ptr error;
        const double sumTime = best(repeats, [&] { sum = karto::sumColumn(dbf, price, error); });
        std::printf("column sum of CENA:             %7.3f s   (%s)\n", sumTime,
                    karto::formatCurrency(sum, " ").c_str());
        if (error)
            std::rethrow_exception(error);

        karto::ColumnFilter filter(dbf, upperCase);
        int firstScreen = 0;
        const double filterOn = best(repeats, [&] {
            filter.switchOn("praha", town);
            // The grid's first screen: the first 40 visible records.
            std::vector<uint8_t> buffer;
            firstScreen = 0;
            for (int n = 1; n <= count && firstScreen < 40; ++n)
                firstScreen += dbf.readRecord(n, buffer) && dbf.isVisible(buffer.data());
            filter.switchOff();
        });
        std::printf("filter on, first screen:        %7.3f s   (%d rows)\n", filterOn, firstScreen);

        int accepted = 0;
        filter.switchOn("praha", town);
        const double filterWalk = best(repeats, [&] {
            karto::ControlsDisabled detached(dbf);
            accepted = 0;
            for (dbf.first(); !dbf.eof(); dbf.next())
                ++accepted;
        });
        filter.switchOff();
        std::printf("filter on, every record walked: %7.3f s   (%d records of Praha)\n", filterWalk, accepted);
        dbf.close();

        // The same through the window's actions.
        karto::MainWindow window;
        window.setWriteSettingsOnClose(false);
        karto::MainWindow::Dialogs dialogs = window.dialogs();
        QStringList boxes;
        dialogs.warning = [&boxes](QWidget*, const QString& text) { boxes << text; };
        dialogs.error = [&boxes](QWidget*, const QString& text) { boxes << text; };
        window.setDialogs(dialogs);
        // The window's own commands, as the user runs them.
        window.cellCommands()->setMessageBox([&boxes](QWidget*, const QString&, const QString& text) { boxes << text; });
        window.resize(800, 600);
        window.show();
        window.codePageBox()->setCurrentIndex(0);   // Latin 2
        window.cbCPChange();
        window.openTable(QString::fromLocal8Bit(argv[1]));
        QApplication::processEvents();
        auto trigger = [&](karto::ActionId id, int column, const char* text) {
            window.grid()->setCurrentIndex(window.gridModel()->index(0, column));
            window.searchBox()->setText(QString::fromUtf8(text));
            window.actionListUpdate();
            const char* name = karto::actionName(id);
            QAction* action = window.action(id);
            if (!action->isEnabled())
                throw std::runtime_error(std::string(name) + " disabled");
            boxes.clear();
            const auto t0 = Clock::now();
            action->trigger();
            const double t = seconds(t0);
            std::printf("window %-9s %-22s %7.3f s   (%s)\n", name, text, t,
                        boxes.value(0).left(40).toUtf8().constData());
        };
        trigger(karto::aFindAll, 0, "žádný takový text");
        trigger(karto::aFind, town, "nowhere");
        trigger(karto::aSum, price, "");
        trigger(karto::aFilter, town, "praha");
        std::printf("window    filter rows at once: %d\n", window.gridModel()->rowCount());
        trigger(karto::aFilter, town, "praha");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
