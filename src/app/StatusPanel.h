#pragma once
// A panel of the main window's status bar: a sunken label whose text() is
// always the whole text. A panel that elides shows a text too long for it
// shortened in the middle ("/home/…/CENIK.DBF") with the whole text, leading
// blanks cut, as its tool tip; another panel keeps the tool tip it is given.

#include <QLabel>

namespace karto {

class StatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget* parent = nullptr);

    // Shorten a text that does not fit in the middle (off by default).
    void setElideMiddle(bool elide);
    void setText(const QString& text);
    QString text() const { return text_; }
    void clear() { setText(QString()); }
    // What the panel shows: the text, or its shortened form.
    QString shownText() const { return QLabel::text(); }

    // Makes the panel at least wide enough to show `sample` whole, never
    // narrower than `minimum` pixels.
    void fitWidthTo(const QString& sample, int minimum);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showText();

    QString text_;
    bool elideMiddle_ = false;
};

} // namespace karto
