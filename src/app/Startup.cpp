#include "app/Startup.h"

#include <QApplication>
#include <QMessageBox>

#include "app/CommandLine.h"

#include "app/MainWindow.h"
#include "app/QtTranslations.h"

namespace karto {

int runWindow(QApplication& app, const QStringList& args)
{
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Karto view"));
    installQtCzechTranslations(app);
    MainWindow window;
    window.readSettings();
    window.updateRecentFiles();
    window.cbCPChange();
    if (!args.isEmpty()) {
        if (args.constFirst() == QLatin1String("?")) {
            // The syntax message in a plain box; the window then opens with no table.
            QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Karto view"), syntaxMessage(),
                            QMessageBox::Ok);
            box.exec();
        } else {
            window.openTableReporting(args.constFirst());
        }
    }
    window.show();
    return app.exec();
}

} // namespace karto
