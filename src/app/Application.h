#pragma once
// The program's application object. An error that escapes a command or an
// event handler is shown in the error box and the program goes on, as for
// every other failure of a command; it never ends the program.

#include <QApplication>

namespace karto {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace karto
