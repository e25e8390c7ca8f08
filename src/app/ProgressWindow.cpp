#include "app/ProgressWindow.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>

namespace karto {

namespace {
constexpr int windowWidth = 238;
constexpr int windowHeight = 83;
} // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint),
      label_(new QLabel(this)),
      bar_(new QProgressBar(this))
{
    setObjectName(QStringLiteral("ProgressWindow"));
    setFixedSize(windowWidth, windowHeight);
    setWindowModality(Qt::ApplicationModal);
    label_->setGeometry(2, 1, windowWidth - 4, 40 - 1);
    label_->setAlignment(Qt::AlignCenter);
    bar_->setGeometry(10, 48, 217, 16);
    bar_->setTextVisible(false);
    bar_->setRange(0, 1);
    bar_->setValue(0);
}

void ProgressWindow::start()
{
    previousActive_ = QApplication::activeWindow();
    QScreen* screen = previousActive_ ? previousActive_->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    show();
    raise();
    QCoreApplication::processEvents();
}

void ProgressWindow::finish()
{
    hide();
    if (previousActive_)
        previousActive_->activateWindow();
    previousActive_ = nullptr;
}

void ProgressWindow::workbookProgress(ExportProgressNotificationType kind, int64_t position,
                                      int64_t count, const std::string& text)
{
    const WorkbookProgressView view = workbookProgressView(kind, position, count, text, firstLine_);
    if (view.changeText) {
        const auto newline = view.text.find('\n');
        firstLine_ = view.text.substr(0, newline);
        label_->setText(QString::fromStdString(view.text));
    }
    setBar(view.position, view.count);
    QCoreApplication::processEvents();
}

void ProgressWindow::setBar(int64_t position, int64_t count)
{
    // The bar holds int: scale large counts down alike.
    while (count > 1'000'000'000) {
        count /= 1024;
        position /= 1024;
    }
    bar_->setRange(0, static_cast<int>(std::max<int64_t>(count, 1)));
    bar_->setValue(static_cast<int>(std::clamp<int64_t>(position, 0, std::max<int64_t>(count, 1))));
}

QString ProgressWindow::labelText() const { return label_->text(); }
int ProgressWindow::barValue() const { return bar_->value(); }
int ProgressWindow::barMaximum() const { return bar_->maximum(); }

void ProgressWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(0xEE, 0xEE, 0xEE));
    gradient.setColorAt(1, QColor(0xBB, 0xBB, 0xBB));
    painter.fillRect(rect(), gradient);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(QColor(0xCC, 0xCC, 0xCC));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

ProgressWindowScope::ProgressWindowScope(QWidget* parent) : window_(new ProgressWindow(parent))
{
    window_->start();
}

ProgressWindowScope::~ProgressWindowScope() { window_->finish(); }

} // namespace karto
