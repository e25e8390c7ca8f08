#pragma once
// The about box " O prohlížeči DBF tabulek" (aAbout) and the maker's web page
// (aWWW).

#include <QDialog>
#include <QString>
#include <QUrl>

class QLabel;
class QPushButton;

namespace karto {


// The maker's contacts shown on the about box.
extern const char* const kAuthorName;
extern const char* const kAuthorCountry;
extern const char* const kSupportEmail;

// The maker's main web page (the one the HTML export names) and its
// Czech-language page.
QUrl makerWebPage();
QUrl makerCzechWebPage();

// "mailto:" the support address with the subject "Karto verze " and the
// version text; every space of the link written as "%20".
QString aboutMailLink(const QString& versionText);

class FAbout : public QDialog {
    Q_OBJECT
public:
    explicit FAbout(QWidget* parent = nullptr);

    QLabel* lVersion() const { return lVersion_; }
    QLabel* lEmail() const { return lEmail_; }
    QLabel* lWww() const { return lWww_; }
    QPushButton* bOk() const { return bOk_; }

    // The links' clicks: the system's handler for a mail link and for a web
    // address.
    void lEmailClick();
    void lWwwClick();

private:
    QLabel* lVersion_;
    QLabel* lEmail_;
    QLabel* lWww_;
    QPushButton* bOk_;
};

// aAbout: the box, centred over the main window, modal, freed after use.
void aAboutExecute(QWidget* parent);
// aWWW: the maker's main page in the system's web browser.
void aWWWExecute();

} // namespace karto
