// An error escaping an event handler is reported, not fatal.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QTimer>

#include "app/Application.h"
#include "dbf/Error.h"

namespace {

class Throwing : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw karto::TableError("Invalid DBF file.");
        return QObject::event(e);
    }
};

TEST(Application, ErrorInAHandlerShowsTheMessageAndGoesOn)
{
    // Runs in its own process under ctest; the program's application object.
    if (QCoreApplication::instance())
        GTEST_SKIP() << "another application object exists in this process";
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    karto::Application app(argc, argv);
    Throwing target;
    QString shown;
    // Close the error box as soon as it is up, remembering its text.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                shown = box->text();
                box->accept();
                QCoreApplication::quit();
            }
        }
    });
    poll.start(10);
    QTimer::singleShot(5000, &app, &QCoreApplication::quit);
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&target, &event));
    app.exec();
    EXPECT_EQ(shown, "Invalid DBF file.");
}

} // namespace
