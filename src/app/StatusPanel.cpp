#include "app/StatusPanel.h"

#include <algorithm>

#include <QFontMetrics>

namespace karto {

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
}

void StatusPanel::setElideMiddle(bool elide)
{
    elideMiddle_ = elide;
    showText();
}

void StatusPanel::setText(const QString& text)
{
    text_ = text;
    showText();
}

void StatusPanel::fitWidthTo(const QString& sample, int minimum)
{
    // The frame on both sides and a few pixels of air.
    const int needed = fontMetrics().horizontalAdvance(sample) + 2 * frameWidth() + 2 * margin() + 8;
    const int width = std::max(needed, minimum);
    if (width != this->width() || minimumWidth() != width)
        setFixedWidth(width);
}

void StatusPanel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    showText();
}

void StatusPanel::showText()
{
    QString shown = text_;
    QString tip;
    if (elideMiddle_) {
        const int room = contentsRect().width() - 2 * margin();
        const QFontMetrics metrics = fontMetrics();
        if (metrics.horizontalAdvance(text_) > room) {
            shown = metrics.elidedText(text_, Qt::ElideMiddle, room);
            tip = text_.trimmed();
        }
    }
    if (QLabel::text() != shown)
        QLabel::setText(shown);
    // A panel that does not elide keeps the tool tip it was given.
    if (elideMiddle_ && toolTip() != tip)
        setToolTip(tip);
}

} // namespace karto
