#include "app/Application.h"

#include <QMessageBox>
#include <QTimer>

#include <exception>

#include "dbf/Error.h"

namespace karto {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const AbortError&) {
        return false;   // abandoned silently
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    // Shown once the current event is done: the failing handler may be
    // painting, where a modal box must not open.
    QTimer::singleShot(0, this, [message] {
        QMessageBox::critical(QApplication::activeWindow(), QGuiApplication::applicationDisplayName(), message);
    });
    return false;
}

} // namespace karto
