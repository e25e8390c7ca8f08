#include "app/Startup.h"

#include <QApplication>

#include "app/MainWindow.h"

namespace karto {

int runWindow(QApplication& app, const QStringList& args)
{
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Karto view"));
    MainWindow window;
    window.readSettings();
    window.updateRecentFiles();
    window.cbCPChange();
    if (!args.isEmpty() && args.constFirst() != QLatin1String("?"))
        window.openTableReporting(args.constFirst());
    window.show();
    return app.exec();
}

} // namespace karto
