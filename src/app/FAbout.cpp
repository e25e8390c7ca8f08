#include "app/FAbout.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CommandLine.h"
#include "ui/ImageList.h"
#include "export/text/HtmlExport.h"

namespace karto {

const char* const kAuthorName = "Karto view contributors";
const char* const kAuthorCountry = "Česká republika";
const char* const kSupportEmail = "karto-view@example.org";

QUrl makerWebPage()
{
    return QUrl(QString::fromUtf8(kMakerWebAddress));
}

QUrl makerCzechWebPage()
{
    return QUrl(QString::fromUtf8(kMakerWebAddress) + QStringLiteral("/cs/"));
}

QString aboutMailLink(const QString& versionText)
{
    QString link = QStringLiteral("mailto:") + QString::fromUtf8(kSupportEmail) +
                   QStringLiteral("?subject=Karto verze ") + versionText;
    return link.replace(QLatin1Char(' '), QStringLiteral("%20"));
}

namespace {

QLabel* linkLabel(const QString& text, const QString& hint, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    label->setToolTip(hint);
    return label;
}

// A label that runs a function when clicked.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> click) : QObject(parent), click_(std::move(click)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            click_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> click_;
};

} // namespace

FAbout::FAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("fAbout"));
    setWindowTitle(QString::fromUtf8(" O prohlížeči DBF tabulek"));
    setModal(true);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* icon = new QLabel(this);
    QIcon programIcon = QApplication::windowIcon();
    if (programIcon.isNull())
        programIcon = imageListIcon(8);
    icon->setPixmap(programIcon.pixmap(32, 32));
    icon->setFixedSize(32, 32);

    auto* name = new QLabel(QStringLiteral("Karto view"), this);
    QFont nameFont = name->font();
    nameFont.setPointSize(12);
    name->setFont(nameFont);
    auto* freeware = new QLabel(QStringLiteral("freeware"), this);
    QFont bold = freeware->font();
    bold.setBold(true);
    freeware->setFont(bold);

    auto* description = new QLabel(
        QString::fromUtf8("Umožňuje zobrazení a editaci DBF tabulek, filtrování a vyhledávání, export do "
                          "Excelu, HTML,  CSV, TXT. Podporuje export přes příkazovou řádku. Pro podrobnosti "
                          "spusťte KARTO ?"),
        this);
    QFont small = description->font();
    small.setPointSize(8);
    description->setFont(small);
    description->setWordWrap(true);
    description->setFixedWidth(204);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Tall enough for every wrapped line at this platform's fonts.
    description->setMinimumHeight(description->heightForWidth(204));

    lEmail_ = linkLabel(QString::fromUtf8(kSupportEmail), QString::fromUtf8("Kliknutím vytvoříte e-mail"), this);
    lWww_ = linkLabel(QString::fromUtf8(kMakerWebAddress),
                      QString::fromUtf8("Kliknutím otevřete domovskou stránku autora"), this);
    lEmail_->installEventFilter(new ClickFilter(lEmail_, [this] { lEmailClick(); }));
    lWww_->installEventFilter(new ClickFilter(lWww_, [this] { lWwwClick(); }));

    auto* contacts = new QGridLayout;
    contacts->addWidget(new QLabel(QStringLiteral("Autor :"), this), 0, 0, Qt::AlignTop);
    auto* author = new QLabel(QString::fromUtf8(kAuthorName) + QLatin1Char('\n') + QString::fromUtf8(kAuthorCountry),
                              this);
    contacts->addWidget(author, 0, 1);
    contacts->addWidget(new QLabel(QStringLiteral("e-Mail :"), this), 1, 0);
    contacts->addWidget(lEmail_, 1, 1);
    contacts->addWidget(new QLabel(QStringLiteral("www :"), this), 2, 0);
    contacts->addWidget(lWww_, 2, 1);

    auto* left = new QGridLayout;
    left->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    left->addWidget(name, 0, 1);
    left->addWidget(freeware, 1, 1);
    left->addWidget(description, 2, 0, 1, 2);

    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(contacts);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    lVersion_ = new QLabel(programVersionText(), this);
    lVersion_->setObjectName(QStringLiteral("lVersion"));
    bOk_ = new QPushButton(QStringLiteral("&OK"), this);
    bOk_->setDefault(true);
    connect(bOk_, &QPushButton::clicked, this, &QDialog::accept);   // Escape closes as well

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(QStringLiteral("Verze programu:"), this));
    bottom->addWidget(lVersion_);
    bottom->addStretch();
    bottom->addWidget(bOk_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addLayout(bottom);
    // The design size, grown to whatever the texts need at this platform's
    // fonts, so that none is cut off; then fixed, as a dialog border is.
    layout->activate();
    setFixedSize(sizeHint().expandedTo(QSize(385, 173)));
}

void FAbout::lEmailClick()
{
    QDesktopServices::openUrl(QUrl(aboutMailLink(lVersion_->text()), QUrl::TolerantMode));
}

void FAbout::lWwwClick()
{
    QDesktopServices::openUrl(makerCzechWebPage());
}

void aAboutExecute(QWidget* parent)
{
    FAbout box(parent);
    box.exec();
}

void aWWWExecute()
{
    QDesktopServices::openUrl(makerWebPage());
}

} // namespace karto
