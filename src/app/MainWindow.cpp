#include "app/MainWindow.h"

#include <algorithm>

#include <QAbstractButton>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>

#include "app/CellCommands.h"
#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "ui/DialogFilter.h"
#include "app/ExportCommands.h"
#include "app/FAbout.h"
#include "app/FColumns.h"
#include "app/FMemo.h"
#include "app/FileAssociation.h"
#include "app/FreedMemory.h"
#include "ui/ImageList.h"
#include "ui/SaveFileDialog.h"
#include "app/OpenWarningText.h"
#include "app/StatusPanel.h"
#include "app/LocaleFormat.h"
#include "app/RecentFiles.h"
#include "app/SearchCommands.h"
#include "dbf/Error.h"
#include "structure/FrmStrukt.h"

namespace karto {

namespace {

const char* const windowCaption = "Karto view - prohlížeč souborů DBF";
const char* const applicationTitle = "Karto view";
const char* const openFilter = "Soubory dBase (*.DBF)|*.DBF|Všechny soubory (*.*)|*.*";
constexpr int designClientWidth = 799;
constexpr int designClientHeight = 427;
constexpr int defaultFontPoints = 8;
constexpr int positionPanelWidth = 80;

QString u(const char* text) { return QString::fromUtf8(text); }

// The platform's UI font at the window's design size.
QFont designFont()
{
    QFont font = QApplication::font();
    font.setPointSize(defaultFontPoints);
    return font;
}

// Restores the cursor and the status bar of an export however it ends.
class ExportScope {
public:
    explicit ExportScope(std::function<void()> restore) : restore_(std::move(restore))
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~ExportScope()
    {
        QApplication::restoreOverrideCursor();
        restore_();
    }
    ExportScope(const ExportScope&) = delete;
    ExportScope& operator=(const ExportScope&) = delete;

private:
    std::function<void()> restore_;
};

} // namespace

MainWindow::Dialogs MainWindow::defaultDialogs()
{
    Dialogs d;
    d.saveFileName = &SaveFileDialog::ask;
    d.openFileName = [](QWidget* parent, const QString& filter, const QString& folder) {
        return QFileDialog::getOpenFileName(parent, QString(), folder,
                                            qtNameFilters(filter).join(QStringLiteral(";;")));
    };
    d.error = [](QWidget* parent, const QString& message) {
        QMessageBox::critical(parent, QGuiApplication::applicationDisplayName(), message);
    };
    d.warning = [](QWidget* parent, const QString& message) {
        QMessageBox::warning(parent, QString::fromUtf8("Upozornění"), message);
    };
    d.saveChanges = [](QWidget* parent, const QString& question) {
        QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), question,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
        box.button(QMessageBox::Yes)->setText(QString::fromUtf8("&Ano"));
        box.button(QMessageBox::No)->setText(QString::fromUtf8("&Ne"));
        box.button(QMessageBox::Cancel)->setText(QString::fromUtf8("&Storno"));
        box.setDefaultButton(QMessageBox::Yes);
        switch (box.exec()) {
        case QMessageBox::Yes:
            return SaveChangesAnswer::Save;
        case QMessageBox::No:
            return SaveChangesAnswer::Discard;
        default:
            return SaveChangesAnswer::Stay;
        }
    };
    return d;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), dialogs_(defaultDialogs())
{
    setObjectName(QStringLiteral("frmMain"));
    setApplicationTitle(u(applicationTitle));
    setAcceptDrops(true);
    setFont(designFont());
    setMinimumSize(510, 200);
    fontDialogFont_ = designFont();

    // Floating-point values are shown with "." whatever the locale says.
    dbf_.setFormatSettings(systemFormatSettings());
    dbf_.setOnTranslate(&converter_);
    dbf_.setOnDataChange([this] { datasetChanged(); });

    updateTimer_.setSingleShot(true);
    updateTimer_.setInterval(0);
    connect(&updateTimer_, &QTimer::timeout, this, &MainWindow::actionListUpdate);

    grid_ = new DbfGrid(this);
    model_ = new DbfGridModel(dbf_, this);
    grid_->setModel(model_);
    grid_->horizontalHeader()->setFont(designFont());
    setCentralWidget(grid_);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { gridCurrentChanged(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        // A reset model loses its column widths; a chosen column set is drawn
        // the standard way.
        grid_->setOwnCellDrawing(model_->defaultColumns());
        fitColumns();
        scheduleActionUpdate();
    });
    connect(model_, &DbfGridModel::scanProgressed, this, [this] { scheduleActionUpdate(); });

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    createExportCommands();

    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup_->exec(grid_->viewport()->mapToGlobal(pos)); });

    // F10 opens the first menu, as Alt and the underlined letters do theirs.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] { menuBar()->setActiveAction(mFile_->menuAction()); });

    setGridFont(designFont());
    resize(designClientWidth, designClientHeight + menuBar()->sizeHint().height());
    installCommands();
    installEditingCommands();
    actionListUpdate();
}

void MainWindow::installCommands()
{
    // Search and filter. The filter is the dataset's record filter, installed
    // by the commands themselves; its column has the tool-tip background
    // while it is on.
    search_ = new SearchCommands(commandContext(), action(aFilter), this);
    search_->install();
    setActionHandler(aFind, [this] { search_->aFindClick(); });
    setActionHandler(aFindAll, [this] { search_->aFindAllExecute(); });
    setActionHandler(aFilter, [this] { search_->aFilterExecute(); });
    connect(search_, &SearchCommands::filterColumnChanged, this, [this](int column) {
        model_->setTintedColumn(column, grid_->palette().color(QPalette::ToolTipBase));
    });

    // Copy the cell and sum the column. Ctrl+C belongs to the search box
    // while it has the focus: a line edit claims its own editing keys before
    // the window's shortcuts are looked at.
    cells_ = new CellCommands(commandContext(), this);
    setActionHandler(aCopyField, [this] { cells_->aCopyFieldExecute(); });
    setActionHandler(aSum, [this] { cells_->aSumExecute(); });

    // The memo viewer lets go of the table's fields before another opens.
    memo_ = new MemoCommands(commandContext(), this);
    memo_->install();
    setActionHandler(aShowMemo, [this] { memo_->aShowMemoExecute(); });
    connect(this, &MainWindow::tableOpening, memo_, &MemoCommands::closeViewer);

    setActionHandler(aAbout, [this] { aAboutExecute(this); });
    setActionHandler(aWWW, [] { aWWWExecute(); });
    setActionHandler(aAssoc, [this] { aAssocExecute(true, this); });
    setActionHandler(aUnAssoc, [this] { aAssocExecute(false, this); });
}

CommandContext MainWindow::commandContext()
{
    CommandContext::Services services;
    services.currentField = [this] { return currentField(); };
    services.gridColumns = [this] { return gridColumns(); };
    services.syncGridToDataset = [this] { syncGridToDataset(); };
    services.scheduleActionUpdate = [this] { scheduleActionUpdate(); };
    return CommandContext(*this, dbf_, *grid_, *model_, *edFind_, dialogs_, std::move(services));
}

MainWindow::~MainWindow()
{
    updateTimer_.stop();
    dbf_.setOnDataChange(nullptr);
    grid_->setModel(nullptr);
    dbf_.close();
}

// --- actions, menus, tool bar, status bar ----------------------------------

QAction* MainWindow::makeAction(ActionId id, const char* caption, const char* hint,
                             const char* shortcut, int iconSlot)
{
    auto* action = new QAction(u(caption), this);
    action->setObjectName(QString::fromLatin1(actionName(id)));
    actions_[id] = action;
    if (hint) {
        action->setToolTip(u(hint));
        action->setStatusTip(u(hint));
    }
    if (shortcut)
        action->setShortcut(QKeySequence(QString::fromLatin1(shortcut), QKeySequence::PortableText));
    if (iconSlot >= 0)
        action->setIcon(imageListIcon(iconSlot));
    // Every action belongs to the window, so its shortcut works also when no
    // menu item shows it.
    QWidget::addAction(action);
    return action;
}

void MainWindow::setHandler(QAction* action, std::function<void()> handler)
{
    connect(action, &QAction::triggered, this, [this, handler = std::move(handler)] { guarded(handler); });
    if (!hasHandler(action))
        handled_.push_back(action);
}

bool MainWindow::hasHandler(QAction* action) const
{
    return std::find(handled_.begin(), handled_.end(), action) != handled_.end();
}

void MainWindow::setActionHandler(ActionId id, std::function<void()> handler)
{
    setHandler(action(id), std::move(handler));
    scheduleActionUpdate();
}

void MainWindow::createActions()
{
    QAction* a;
    a = makeAction(aOpen, "&Otevřít", "Otevření tabulky DBF", "Ctrl+O", 4);
    setHandler(a, [this] { aOpenExecute(); });
    makeAction(aNew, "&Nová tabulka", "Vytvoří novou tabulku", "Ctrl+N", 16);
    makeAction(aToXLS, "Export do &Excelu", "Exportuje zobrazenou tabulku do Excelu", "Ctrl+E", 15);
    makeAction(aToHTML, "Export do &HTML", nullptr, "Ctrl+H", -1);
    makeAction(aToHTML2, "Ne&formátovaná tabulka", nullptr, nullptr, -1);
    makeAction(aToHTML3, "&Podle šablony", nullptr, nullptr, -1);
    makeAction(aToCSV, "Export do &CSV", nullptr, nullptr, -1);
    makeAction(aToTXT, "Export do &TXT", nullptr, nullptr, -1);
    a = makeAction(aExit, "&Konec", nullptr, "Esc", -1);
    setHandler(a, [this] { close(); });
    makeAction(aEdit, "&Režim editace", nullptr, "Ctrl+F10", 19)->setCheckable(true);
    makeAction(aInsert, "&Vložit záznam", "Vloží nový záznam", "Ctrl+Ins", 21);
    makeAction(aDelete, "Smazat/o&bnovit", "Smaže / obnoví smazaný záznam", "Ctrl+Del", 23);
    makeAction(aCopy, "Kopírovat &záznam", "Zkopíruje aktuální zázanm", "F5", 22);
    makeAction(aCopyField, "&Kopírovat", nullptr, "Ctrl+C", 20);

    codePageGroup_ = new QActionGroup(this);
    codePageGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const struct { ActionId id; const char* caption; const char* key; } codePages[] = {
        {aLat, "CP 852 (&Latin II)", "Ctrl+L"},
        {aKam, "CP 895 (K&amenickych)", "Ctrl+K"},
        {aWin, "CP 1250 (&Windows)", "Ctrl+W"},
        {aAuto, "A&utomaticky", "Ctrl+T"},
    };
    for (int i = 0; i < 4; ++i) {
        a = makeAction(codePages[i].id, codePages[i].caption, nullptr, codePages[i].key, -1);
        a->setCheckable(true);
        a->setData(i);
        codePageGroup_->addAction(a);
        setHandler(a, [this, a] { aWinExecute(a); });
    }

    makeAction(aFindAll, "&Hledat všude", "Hledá v celé tabulce", "F3", 5);
    makeAction(aFind, "Hledat ve s&loupci", "Hledej / hledej další v aktuálním sloupci", "F7", -1);
    a = makeAction(aFilter, "&Filtr", "Nastav / zruš filtr podle aktuálního sloupce", "Alt+F", 7);
    a->setCheckable(true);
    a = makeAction(aStruct, "&Struktura tabulky", "Zobrazí strukturu tabulky", "Ctrl+S", 6);
    setHandler(a, [this] { aStructExecute(); });
    a = makeAction(aDeleted, "Smaza&né záznamy", "Zobrazí / skryje smazané záznamy", "Ctrl+D", 12);
    a->setCheckable(true);
    setHandler(a, [this] { aDeletedExecute(); });
    makeAction(aSum, "So&učet sloupce", "Zobrazí součet aktuálního sloupce", "Ctrl+U", 17);
    a = makeAction(aColumns, "&Výběr sloupců", nullptr, "Ctrl+B", -1);
    setHandler(a, [this] { aColumnsExecute(); });
    makeAction(aShowMemo, "Zobraz/skryj &MEMO", "Zobrazí obsah MEMO položky", "Ctrl+M", -1);
    a = makeAction(aFont, "&Písmo", "Nastavení velikosti a druhu písma", nullptr, 11);
    setHandler(a, [this] { aFontExecute(); });
    makeAction(aAssoc, "&Registrovat pro .DBF", "Zaregistrovat program pro otvírání souborů DBF", nullptr, -1);
    makeAction(aUnAssoc, "&Odregistrovat pro .DBF", "Zruší registraci programu pro otvírání souborů DBF",
               nullptr, -1);
    makeAction(aAbout, "&O programu", "Zobrazí informace o programu", nullptr, 8);
    makeAction(aWWW, "Navštívit &WWW stránku", nullptr, nullptr, -1);

    a = makeAction(DataSetFirst, "&Začátek", "Skok na začátek souboru", nullptr, 0);
    setHandler(a, [this] { moveToRow(0); });
    a = makeAction(DataSetPrior, "&Předchozí", "Posun na předchozí záznam", nullptr, 3);
    setHandler(a, [this] { moveToRow(grid_->currentIndex().row() - 1); });
    a = makeAction(DataSetNext, "&Další", "Posun na další záznam", nullptr, 2);
    setHandler(a, [this] {
        const int row = grid_->currentIndex().row() + 1;
        if (model_->ensureRow(row))
            moveToRow(row);
    });
    a = makeAction(DataSetLast, "&Konec", "Skok na konec souboru", nullptr, 1);
    setHandler(a, [this] {
        model_->finishScan();
        moveToRow(model_->rowCount() - 1);
    });

    // Pop-up twins of the record commands: shown only while the table is
    // editable, whereas the main menu's items stay (disabled).
    auto twin = [this](const char* name, ActionId of) {
        QAction* original = action(of);
        auto* item = new QAction(original->icon(), original->text(), this);
        item->setObjectName(QString::fromLatin1(name));
        item->setStatusTip(original->statusTip());
        connect(item, &QAction::triggered, original, &QAction::trigger);
        return item;
    };
    mInsert_ = twin("mInsert", aInsert);
    mDelete_ = twin("mDelete", aDelete);
    mCopy_ = twin("mCopy", aCopy);
}

void MainWindow::createMenus()
{
    auto add = [this](QMenu* menu, ActionId id) { menu->addAction(action(id)); };

    mFile_ = menuBar()->addMenu(u("&Soubor"));
    mFile_->setObjectName(QStringLiteral("mFile"));
    add(mFile_, aOpen);
    // aNew has no visible item; its shortcut works through the window.
    mFile_->addSeparator();
    add(mFile_, aToXLS);
    add(mFile_, aToHTML);
    add(mFile_, aToHTML2);
    add(mFile_, aToHTML3);
    add(mFile_, aToCSV);
    add(mFile_, aToTXT);
    fileEndSeparator_ = mFile_->addSeparator();
    add(mFile_, aExit);

    QMenu* edit = menuBar()->addMenu(u("&Editovat"));
    add(edit, aEdit);
    edit->addSeparator();
    add(edit, aInsert);
    add(edit, aDelete);
    add(edit, aCopy);
    edit->addSeparator();
    add(edit, aCopyField);
    edit->addSeparator();
    add(edit, aLat);
    add(edit, aKam);
    add(edit, aWin);
    add(edit, aAuto);

    QMenu* find = menuBar()->addMenu(u("&Hledat"));
    add(find, aFindAll);
    add(find, aFind);
    add(find, aFilter);

    QMenu* view = menuBar()->addMenu(u("&Zobrazit"));
    add(view, aStruct);
    add(view, aDeleted);
    add(view, aSum);
    view->addSeparator();
    add(view, aColumns);
    view->addSeparator();
    add(view, aShowMemo);
    view->addSeparator();
    add(view, aFont);

    QMenu* tools = menuBar()->addMenu(u("&Nástroje"));
    add(tools, aAssoc);
    add(tools, aUnAssoc);

    QMenu* help = menuBar()->addMenu(u("Nápo&věda"));
    add(help, aAbout);
    add(help, aWWW);

    popup_ = new QMenu(this);
    popup_->setObjectName(QStringLiteral("Popup"));
    add(popup_, aOpen);
    add(popup_, aStruct);
    add(popup_, aSum);
    popup_->addSeparator();
    popup_->addAction(mInsert_);
    popup_->addAction(mDelete_);
    popup_->addAction(mCopy_);
    popup_->addSeparator();
    add(popup_, aCopyField);
    popup_->addSeparator();
    add(popup_, aFind);
    add(popup_, aFindAll);
    add(popup_, aFilter);
    popup_->addSeparator();
    add(popup_, aDeleted);
    add(popup_, aShowMemo);
}

void MainWindow::createToolBar()
{
    toolBar_ = addToolBar(QStringLiteral("ToolBar1"));
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setIconSize(QSize(16, 16));
    auto add = [this](ActionId id) { toolBar_->addAction(action(id)); };
    add(aOpen);
    toolBar_->addSeparator();
    add(DataSetFirst);
    add(DataSetPrior);
    add(DataSetNext);
    add(DataSetLast);
    toolBar_->addSeparator();
    add(aDeleted);
    add(aSum);
    add(aStruct);
    toolBar_->addSeparator();

    edFind_ = new QLineEdit(toolBar_);
    edFind_->setObjectName(QStringLiteral("edFind"));
    edFind_->setFixedWidth(142);
    edFind_->setToolTip(u("Řetězec, který bude vyhledán v aktuálním sloupci nebo použit pro filtr"));
    edFind_->setContextMenuPolicy(Qt::CustomContextMenu);
    popupFiltr_ = new QMenu(edFind_);
    popupFiltr_->setObjectName(QStringLiteral("PopupFiltr"));
    const struct { const char* caption; const char* key; std::function<void(QLineEdit*)> run; } items[] = {
        {"&Vložit", "Ctrl+V", [](QLineEdit* e) { e->paste(); }},
        {"&Kopírovat", "Ctrl+C", [](QLineEdit* e) { e->copy(); }},
        {"Vy&jmout", "Ctrl+X", [](QLineEdit* e) { e->cut(); }},
        {"Vy&brat vše", "Ctrl+A", [](QLineEdit* e) { e->selectAll(); }},
    };
    for (const auto& item : items) {
        QAction* a = popupFiltr_->addAction(u(item.caption));
        a->setShortcut(QKeySequence(QString::fromLatin1(item.key), QKeySequence::PortableText));
        a->setShortcutContext(Qt::WidgetShortcut);
        connect(a, &QAction::triggered, edFind_, [this, run = item.run] { run(edFind_); });
    }
    connect(edFind_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popupFiltr_->exec(edFind_->mapToGlobal(pos)); });
    connect(edFind_, &QLineEdit::textChanged, this, [this] { scheduleActionUpdate(); });
    toolBar_->addWidget(edFind_);
    add(aFindAll);
    add(aFilter);
    toolBar_->addSeparator();

    cbCP_ = new QComboBox(toolBar_);
    cbCP_->setObjectName(QStringLiteral("cbCP"));
    cbCP_->setFixedWidth(114);
    cbCP_->setEditable(false);
    cbCP_->addItems({u("Latin 2"), u("Kamenických"), u("Windows 1250"), u("Automaticky")});
    cbCP_->setToolTip(u("Výchozí kódová stránka tabulky"));
    cbCP_->setCurrentIndex(0);
    connect(cbCP_, &QComboBox::activated, this, [this] { guarded([this] { cbCPChange(); }); });
    toolBar_->addWidget(cbCP_);
    toolBar_->addSeparator();
    add(aAbout);

    toolBar_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(toolBar_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popup_->exec(toolBar_->mapToGlobal(pos)); });
}

QMenu* MainWindow::createPopupMenu()
{
    return nullptr;   // the tool bar has its own pop-up menu
}

void MainWindow::createStatusBar()
{
    const struct { int width; Qt::Alignment alignment; } layout[5] = {
        {positionPanelWidth, Qt::AlignCenter}, {70, Qt::AlignCenter}, {300, Qt::AlignLeft | Qt::AlignVCenter},
        {100, Qt::AlignCenter}, {70, Qt::AlignLeft | Qt::AlignVCenter},
    };
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < 5; ++i) {
        panels_[i] = new StatusPanel(bar);
        panels_[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        panels_[i]->setFixedWidth(layout[i].width);
        panels_[i]->setAlignment(layout[i].alignment);
        bar->addWidget(panels_[i]);
    }
    panels_[1]->setText(u("Prohlížení"));
    // A long path is shortened in the middle, the whole path in its tool tip.
    panels_[2]->setElideMiddle(true);
}

QString MainWindow::panelText(int panel) const
{
    return (panel >= 0 && panel < 5) ? panels_[panel]->text() : QString();
}

// --- error handling ----------------------------------------------------------

void MainWindow::guarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const AbortError&) {
        // A silent abort shows nothing.
    } catch (const std::exception& e) {
        if (dialogs_.error)
            dialogs_.error(this, QString::fromUtf8(e.what()));
    }
    scheduleActionUpdate();
}

// --- settings ------------------------------------------------------------------

void MainWindow::readSettings()
{
    QSettings store(QString::fromLatin1(settingsOrganization), QString::fromLatin1(settingsApplication));
    applySettings(readMainSettings(store));
}

void MainWindow::applySettings(const MainSettings& s)
{
    if (!s.keyExists) {
        // First run: design size, centred on the screen, each table in its
        // own code page.
        cbCP_->setCurrentIndex(automaticCodePageChoice);
        if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
        }
        return;
    }
    QRect g = geometry();
    if (s.left)
        g.moveLeft(*s.left);
    if (s.top)
        g.moveTop(*s.top);
    if (s.width)
        g.setWidth(std::max(*s.width, minimumWidth()));
    if (s.height)
        g.setHeight(std::max(*s.height, minimumHeight()));
    setGeometry(g);
    if (s.maximized && *s.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);

    QFont font = designFont();
    if (!s.fontName.isEmpty())
        font.setFamily(s.fontName);
    if (s.fontSize && *s.fontSize > 0)
        font.setPointSize(*s.fontSize);
    setGridFont(font);
    fontCharset_ = s.fontCharset;
    lastDir_ = s.lastDir;
    cbCP_->setCurrentIndex((s.cp >= 0 && s.cp < cbCP_->count()) ? s.cp : -1);
    recentFiles_ = s.recentFiles;
}

MainSettings MainWindow::currentSettings() const
{
    MainSettings s;
    s.keyExists = true;
    s.maximized = isMaximized();
    const QRect g = geometry();
    s.top = g.top();
    s.left = g.left();
    s.height = g.height();
    s.width = g.width();
    const QFont font = gridFont();
    s.fontName = font.family();
    s.fontSize = font.pointSize();
    s.fontCharset = fontCharset_;
    s.lastDir = lastDir_;
    s.cp = cbCP_->currentIndex();
    s.recentFiles = recentFiles_;
    return s;
}

void MainWindow::formCloseQuery()
{
    QSettings store(QString::fromLatin1(settingsOrganization), QString::fromLatin1(settingsApplication));
    if (!store.isWritable())
        return;
    writeMainSettings(store, currentSettings());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!confirmRecordChanges()) {
        event->ignore();
        return;
    }
    if (writeSettingsOnClose_)
        formCloseQuery();
    event->accept();
}

QFont MainWindow::gridFont() const { return grid_->font(); }

void MainWindow::setGridFont(const QFont& font)
{
    grid_->setFont(font);
    const int rowHeight = QFontMetrics(font).height() + 4;
    grid_->verticalHeader()->setDefaultSectionSize(rowHeight);
    grid_->verticalHeader()->setMinimumSectionSize(rowHeight);
}

// --- recent tables -------------------------------------------------------------

QList<QAction*> MainWindow::recentMenuItems() const
{
    QList<QAction*> items;
    for (QAction* a : mFile_->actions()) {
        if (a->property("recentItem").toBool())
            items.append(a);
    }
    return items;
}

void MainWindow::updateRecentFiles(const QString& fileName)
{
    if (!fileName.isEmpty() && QFileInfo::exists(fileName))
        pushRecentFile(recentFiles_, fileName);

    for (QAction* item : recentMenuItems()) {
        mFile_->removeAction(item);
        item->deleteLater();
    }
    const int shown = std::min<int>(static_cast<int>(recentFiles_.size()), recentShownCount);
    if (shown == 0)
        return;
    QAction* separator = new QAction(mFile_);
    separator->setSeparator(true);
    separator->setProperty("recentItem", true);
    mFile_->insertAction(fileEndSeparator_, separator);
    const QFontMetrics metrics(mFile_->font());
    for (int i = 0; i < shown; ++i) {
        const QString& path = recentFiles_.at(i);
        auto* item = new QAction(recentCaption(i, path, metrics), mFile_);
        item->setProperty("recentItem", true);
        item->setData(path);
        item->setStatusTip(path);
        item->setToolTip(path);
        connect(item, &QAction::triggered, this, [this, item] { recentFileClick(item); });
        mFile_->insertAction(fileEndSeparator_, item);
    }
}

void MainWindow::recentFileClick(QAction* item)
{
    const QString path = item->data().toString();
    if (QFileInfo::exists(path))
        openTableReporting(path);
}

// --- opening a table -------------------------------------------------------------

void MainWindow::tableClosed()
{
    model_->reload();
    panels_[0]->clear();
    panels_[3]->clear();
    panels_[4]->clear();
}

void MainWindow::setApplicationTitle(const QString& title)
{
    // The task bar and the boxes' captions show the application title. The
    // window's caption is given it here as well, so that the title every
    // platform shows follows each open and close (the platform adds the
    // application title only when a caption is set).
    QGuiApplication::setApplicationDisplayName(title);
    setWindowTitle(u(windowCaption) + QStringLiteral(" \u2014 ") + title);
}

void MainWindow::checkTableOpens(const QString& fileName, bool readOnly) const
{
    TableDataset trial;
    trial.setTableName(QFile::encodeName(fileName).toStdString());
    trial.setReadOnly(readOnly);
    // A writable open needs the text translatable as the window's will be.
    trial.setOnTranslate(dbf_.onTranslate());
    trial.open();   // throws what opening the table in the window would throw
    trial.close();
}

void MainWindow::openTable(const QString& fileName)
{
    // A changed record of the open table is asked about first.
    if (!confirmRecordChanges())
        throw AbortError();
    openTableIn(fileName, dbf_.readOnly());
}

void MainWindow::openTableIn(const QString& fileName, bool readOnly, bool sameTable)
{
    // A table that cannot be opened leaves the open one, the status bar and
    // the title as they are: it is tried on a dataset of its own first.
    checkTableOpens(fileName, readOnly);

    struct Opening {
        bool& flag;
        explicit Opening(bool& f) : flag(f) { flag = true; }
        ~Opening() { flag = false; }
    } opening(opening_);

    emit tableOpening();
    const bool keepRows = sameTable && dbf_.active();
    dbf_.close();
    if (!keepRows)
        tableClosed();
    dbf_.setReadOnly(readOnly);
    grid_->setEditable(!readOnly);
    dbf_.setTableName(QFile::encodeName(fileName).toStdString());
    panels_[2]->setText(QStringLiteral("   ") +
                        QFile::decodeName(QByteArray::fromStdString(dbf_.tablePath())));
    panels_[1]->setText(dbf_.readOnly() ? u("Prohlížení") : u("Editace"));
    try {
        dbf_.open();
    } catch (...) {
        if (keepRows)
            tableClosed();
        setApplicationTitle(u(applicationTitle));
        scheduleActionUpdate();
        throw;
    }
    if (dbf_.active()) {
        applyAutomaticCodePage();
        panels_[3]->setText(QStringLiteral("Table level: %1").arg(dbf_.tableLevel()));
        setApplicationTitle(QFile::decodeName(QByteArray::fromStdString(dbf_.tableName())));
        lastDir_ = QFile::decodeName(QByteArray::fromStdString(dbf_.absolutePath()));
        updateRecentFiles(fileName);
    } else {
        setApplicationTitle(u(applicationTitle));
    }
    model_->reload(keepRows);
    opening_ = false;
    syncGridToDataset();
    dataSourceDataChange();
    if (isVisible())
        grid_->setFocus();
    scheduleActionUpdate();

    // What is wrong with a table that opened all the same, said once.
    const QStringList warnings = openWarningTexts(dbf_);
    if (!warnings.isEmpty() && dialogs_.warning)
        dialogs_.warning(this, warnings.join(QStringLiteral("\n\n")));
}

bool MainWindow::openTableReporting(const QString& fileName)
{
    guarded([&] { openTable(fileName); });
    return dbf_.active();
}

QString MainWindow::droppedTable(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return QString();
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return QString();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedTable(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString path = droppedTable(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // Opened once the drop is over, so that a box it shows does not hold up
    // the program the file came from.
    QTimer::singleShot(0, this, [this, path] { openTableReporting(path); });
}

void MainWindow::aOpenExecute()
{
    if (!dialogs_.openFileName)
        return;
    const QString fileName = dialogs_.openFileName(this, u(openFilter), lastDir_);
    if (!fileName.isEmpty())
        openTable(fileName);
}

// --- grid and dataset in step ----------------------------------------------------

void MainWindow::moveToRow(int row)
{
    if (row < 0 || row >= model_->rowCount())
        return;
    int column = grid_->currentIndex().column();
    if (column < 0)
        column = 0;
    const QModelIndex index = model_->index(row, std::min(column, model_->columnCount() - 1));
    grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    grid_->scrollTo(index);
}

void MainWindow::setCurrentColumn(int column)
{
    const QModelIndex current = grid_->currentIndex();
    if (!current.isValid() || column < 0 || column >= model_->columnCount())
        return;
    const QModelIndex index = model_->index(current.row(), column);
    grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    grid_->scrollTo(index);
}

void MainWindow::gridCurrentChanged()
{
    if (!syncing_ && dbf_.active() && isEditingState(dbf_.state())) {
        // Leaving the record in editing writes it (or drops it unchanged); a
        // refused value or a failed write keeps the cursor on it.
        const int editingRow = model_->editingRow();
        const QModelIndex current = grid_->currentIndex();
        if (editingRow >= 0 && current.row() != editingRow) {
            const bool inserting = dbf_.state() == dsInsert;
            if (!refusal_.isEmpty() || !endRecordEdit()) {
                syncing_ = true;
                const QModelIndex back = refusedCell_.isValid() ? QModelIndex(refusedCell_)
                                                                : model_->index(model_->editingRow(), current.column());
                grid_->selectionModel()->setCurrentIndex(back, QItemSelectionModel::ClearAndSelect);
                syncing_ = false;
                dataSourceDataChange();
                scheduleActionUpdate();
                return;
            }
            if (inserting) {
                // The new record is current where the file put it (at the end).
                syncGridToDataset();
                dataSourceDataChange();
                scheduleActionUpdate();
                return;
            }
        }
    }
    if (!syncing_ && dbf_.active()) {
        const int recNo = model_->recordOfRow(grid_->currentIndex().row());
        if (recNo > 0 && recNo != dbf_.recNo()) {
            syncing_ = true;
            guarded([&] { dbf_.setRecNo(recNo); });
            syncing_ = false;
        }
    }
    dataSourceDataChange();
    scheduleActionUpdate();
}

void MainWindow::syncGridToDataset()
{
    if (!dbf_.active() || opening_)
        return;
    // A new record being inserted has the row it was started at.
    const int row = dbf_.state() == dsInsert ? model_->newRecordRow()
                    : dbf_.isEmpty()         ? -1
                                             : model_->rowOfRecord(dbf_.recNo());
    if (row < 0 || model_->columnCount() == 0)
        return;
    int column = grid_->currentIndex().column();
    if (column < 0)
        column = 0;
    const QModelIndex index = model_->index(row, std::min(column, model_->columnCount() - 1));
    if (index != grid_->currentIndex()) {
        syncing_ = true;
        grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        grid_->scrollTo(index);
        syncing_ = false;
    }
}

void MainWindow::refreshDataset(const std::function<void()>& updateGrid)
{
    // The grid does not follow the dataset while it re-reads its rows; it is
    // brought up to date afterwards, also when the refresh fails.
    syncing_ = true;
    try {
        dbf_.refresh();
    } catch (...) {
        syncing_ = false;
        updateGrid();
        throw;
    }
    syncing_ = false;
    updateGrid();
}

void MainWindow::datasetChanged()
{
    if (syncing_ || opening_)
        return;
    syncGridToDataset();
    dataSourceDataChange();
    scheduleActionUpdate();
}

void MainWindow::dataSourceDataChange()
{
    if (!dbf_.active())
        return;
    const int count = dbf_.recordCount();
    // Wide enough for the record count's digits on both sides of the slash.
    const QString widest(QString::number(count).size(), QLatin1Char('8'));
    panels_[0]->fitWidthTo(widest + QLatin1Char('/') + widest, positionPanelWidth);
    panels_[0]->setText(QStringLiteral("%1/%2").arg(dbf_.recNo()).arg(count));
}

void MainWindow::fitColumns()
{
    const QFontMetrics data(grid_->font());
    const QFontMetrics title(grid_->horizontalHeader()->font());
    const int digit = std::max(data.horizontalAdvance(QLatin1Char('0')), 1);
    for (int c = 0; c < model_->columnCount(); ++c) {
        const Field& field = dbf_.field(model_->fieldOfColumn(c));
        int chars = field.def().size();
        if (field.dataType() == ftDate)
            chars = 10;
        else if (field.dataType() == ftBoolean)
            chars = 5;
        else if (field.isBlob())
            chars = 10;
        chars = std::clamp(chars, 1, 64);
        const int titleWidth = title.horizontalAdvance(QString::fromStdString(field.fieldName())) + 12;
        grid_->setColumnWidth(c, std::max(chars * digit + 8, titleWidth));
    }
}

int MainWindow::currentField() const
{
    return model_->fieldOfColumn(grid_->currentIndex().column());
}

std::vector<int> MainWindow::gridColumns() const
{
    std::vector<int> columns;
    for (int c = 0; c < model_->columnCount(); ++c)
        columns.push_back(model_->fieldOfColumn(c));
    return columns;
}

void MainWindow::setGridColumns(const std::vector<int>& fields)
{
    const int field = currentField();
    model_->setColumns(fields);
    if (dbf_.active() && dbf_.filtered()) {
        // The filter reads the field of its column position, which may now
        // show another field: the visible records are looked for again.
        refreshDataset([this] { model_->reload(); });
    }
    syncGridToDataset();
    setCurrentColumn(model_->columnOfField(field));
    dataSourceDataChange();
}

void MainWindow::aColumnsExecute()
{
    std::vector<int> fields;
    if (FColumns::choose(this, dbf_, gridColumns(), fields))
        setGridColumns(fields);
}

// --- commands ------------------------------------------------------------------

void MainWindow::aDeletedExecute()
{
    // The action's check mark has already toggled.
    const bool show = action(aDeleted)->isChecked();
    if (!endRecordEdit()) {
        action(aDeleted)->setChecked(!show);
        return;
    }
    dbf_.setShowDeleted(show);
    if (dbf_.active()) {
        refreshDataset([this] { model_->reload(); });
        syncGridToDataset();
        dataSourceDataChange();
    }
}

void MainWindow::aFontExecute()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, fontDialogFont_, this);
    if (!ok)
        return;
    fontDialogFont_ = font;
    setGridFont(font);
    fitColumns();
}

void MainWindow::aStructExecute()
{
    dbf_.checkActive();
    FrmStrukt window(dbf_, this);
    window.setSaveFileAsker([this](const QString& filter, const QString& folder, const QString& proposed) {
        return dialogs_.saveFileName ? dialogs_.saveFileName(this, filter, folder, proposed) : QString();
    });
    window.exec();
}

// --- code page -------------------------------------------------------------------

void MainWindow::aWinExecute(QAction* sender)
{
    cbCP_->setCurrentIndex(sender->data().toInt());
    cbCPChange();
}

bool MainWindow::automaticCodePage() const
{
    return cbCP_->currentIndex() == automaticCodePageChoice;
}

void MainWindow::applyAutomaticCodePage()
{
    if (!automaticCodePage() || !dbf_.active()) {
        panels_[4]->clear();
        panels_[4]->setToolTip(QString());
        return;
    }
    detected_ = detectCodePage(dbf_);
    converter_.chooseCodePage(detected_.codePage);
    const QString text = cbCP_->itemText(CodePageConverter::choiceForCodePage(detected_.codePage)) +
                         u(" (automaticky)");
    panels_[4]->fitWidthTo(text, 70);
    panels_[4]->setText(text);
    switch (detected_.source) {
    case CodePageSource::LanguageDriver:
        panels_[4]->setToolTip(u("Kódovou stránku určuje jazykový ovladač tabulky"));
        break;
    case CodePageSource::Text:
        panels_[4]->setToolTip(u("Kódová stránka rozpoznaná podle textu tabulky"));
        break;
    case CodePageSource::Default:
        panels_[4]->setToolTip(u("Text tabulky kódovou stránku neurčuje, platí výchozí"));
        break;
    }
}

void MainWindow::cbCPChange()
{
    static const ActionId ids[4] = {aLat, aKam, aWin, aAuto};
    for (const ActionId id : ids)
        action(id)->setChecked(false);
    const int position = cbCP_->currentIndex();
    if (position == automaticCodePageChoice) {
        action(aAuto)->setChecked(true);
        applyAutomaticCodePage();
    } else {
        const int codePage = CodePageConverter::codePageForChoice(position);
        if (codePage < 0)
            return;
        converter_.chooseCodePage(codePage);
        action(ids[position])->setChecked(true);
        applyAutomaticCodePage();   // empties the panel
    }
    if (dbf_.active() && endRecordEdit()) {
        refreshDataset([this] { model_->refreshCells(); });
        syncGridToDataset();
    }
}

// --- enabling rules ----------------------------------------------------------------

void MainWindow::scheduleActionUpdate()
{
    if (!updateTimer_.isActive())
        updateTimer_.start();
}

void MainWindow::actionListUpdate()
{
    const bool open = dbf_.active();
    const bool editable = open && !dbf_.readOnly();
    const int field = open ? currentField() : -1;
    const bool hasField = field >= 0 && field < dbf_.fieldCount();
    const FieldType type = hasField ? dbf_.field(field).dataType() : ftUnknown;
    const bool blob = hasField && dbf_.field(field).isBlob();
    const bool searchText = !edFind_->text().isEmpty();
    const int row = grid_->currentIndex().row();
    const bool atBeginning = row <= 0;
    const bool atEnd = row < 0 || (model_->scanComplete() && row >= model_->rowCount() - 1);

    auto set = [this](ActionId id, bool rule) {
        QAction* a = action(id);
        a->setEnabled(rule && hasHandler(a));
    };

    set(aEdit, open);
    action(aEdit)->setIcon(imageListIcon(editable ? 18 : 19));
    for (const ExportCommand& command : exportCommands_)
        command.action->setEnabled(open && command.run != nullptr);
    set(aFind, open && searchText);
    set(aFindAll, open && searchText);
    set(aFilter, open && searchText);
    set(aStruct, open);
    set(aDeleted, open);
    set(aColumns, open);
    set(aShowMemo, open && blob);
    set(aSum, open && hasField &&
                    (type == ftSmallint || type == ftInteger || type == ftWord || type == ftFloat ||
                     type == ftCurrency || type == ftLargeint));
    set(DataSetFirst, open && !atBeginning);
    set(DataSetPrior, open && !atBeginning);
    set(DataSetLast, open && !atEnd);
    set(DataSetNext, open && !atEnd);
    set(aCopyField, open && hasField && !blob);
    set(aCopy, editable);
    set(aInsert, editable);
    set(aDelete, editable);
    for (QAction* twin : {mInsert_, mDelete_, mCopy_}) {
        twin->setVisible(editable);
        twin->setEnabled(editable);
    }
    // The others follow no rule: enabled when they have a command.
    for (const ActionId id : {aOpen, aNew, aExit, aLat, aKam, aWin, aAuto, aFont, aAssoc, aUnAssoc, aAbout, aWWW})
        set(id, true);
}

// --- exports -------------------------------------------------------------------------

void MainWindow::createExportCommands()
{
    exportCommands_ = makeExportCommands(commandContext());
    for (ExportCommand& command : exportCommands_) {
        QAction* a = command.action = action(command.id);
        if (command.run)
            setHandler(a, [this, a] { aToXLSExecute(a); });
    }
}

bool MainWindow::exportAvailable(QAction* a) const
{
    for (const ExportCommand& command : exportCommands_) {
        if (command.action == a)
            return command.run != nullptr;
    }
    return false;
}

void MainWindow::aToXLSExecute(QAction* sender)
{
    const auto it = std::find_if(exportCommands_.begin(), exportCommands_.end(),
                                 [&](const ExportCommand& c) { return c.action == sender; });
    if (it == exportCommands_.end() || !it->run)
        return;
    dbf_.checkActive();
    const QString tableName = QFile::decodeName(QByteArray::fromStdString(dbf_.tableName()));
    const QString folder = QFile::decodeName(QByteArray::fromStdString(dbf_.absolutePath()));
    const QString fileName = dialogs_.saveFileName
        ? dialogs_.saveFileName(this, it->filter, folder, replaceExtension(tableName, it->extension))
        : QString();
    if (fileName.isEmpty())
        return;
    runExport(*it, fileName);
}

void MainWindow::runExport(const ExportCommand& command, const QString& fileName)
{
    grid_->repaint();
    ExportScope scope([this] {
        delete exportBar_;
        exportBar_ = nullptr;
        for (StatusPanel* panel : panels_)
            panel->show();
        syncGridToDataset();
        dataSourceDataChange();
        // What the export built and freed goes back to the system.
        releaseFreedMemory();
    });
    QStatusBar* bar = statusBar();
    for (StatusPanel* panel : panels_)
        panel->hide();
    std::unique_ptr<StatusBarProgress> progress;
    if (command.progressBar) {
        exportBar_ = new QProgressBar(bar);
        exportBar_->setObjectName(QStringLiteral("ExportProgress"));
        exportBar_->setTextVisible(false);
        exportBar_->setGeometry(2, 4, bar->width() - 4, bar->height() - 6);
        exportBar_->show();
        progress = std::make_unique<StatusBarProgress>(exportBar_);
    }
    command.run(fileName, progress.get());
}

} // namespace karto
