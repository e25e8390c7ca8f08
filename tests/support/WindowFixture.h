#pragma once
// One main window for a window test: the settings emptied and not written
// on close, the error and warning boxes, the save dialog and the plain
// message box answered by the test (and the question before a changed
// record is discarded), and the steps a user takes — trigger an
// action, move to a cell, write a small table and open it.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include "app/CellCommands.h"
#include "app/DbfGrid.h"
#include "app/DbfGridModel.h"
#include "app/MainWindow.h"
#include "dbf/text/Windows1250.h"
#include "support/DbfBuilder.h"
#include "support/QtTestApp.h"

namespace karto::test {

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        qtApp();
        clearSettings();
        window = std::make_unique<MainWindow>();
        window->setWriteSettingsOnClose(false);
        MainWindow::Dialogs dialogs = window->dialogs();
        dialogs.error = [this](QWidget*, const QString& message) { errors << message; };
        dialogs.warning = [this](QWidget*, const QString& message) { warnings << message; };
        dialogs.saveChanges = [this](QWidget*, const QString& question) {
            questions << question;
            return saveAnswer;
        };
        dialogs.saveFileName = [this](QWidget*, const QString& filter, const QString& folder,
                                      const QString& proposed) {
            askedFilter = filter;
            askedFolder = folder;
            askedName = proposed;
            return saveAs;
        };
        window->setDialogs(dialogs);
        window->cellCommands()->setMessageBox([this](QWidget*, const QString& caption, const QString& text) {
            messages << caption + QStringLiteral(" | ") + text;
        });
    }

    QAction* act(ActionId id) { return window->action(id); }
    // Triggers an action as the user would: with its state up to date.
    void run(ActionId id)
    {
        window->actionListUpdate();
        act(id)->trigger();
    }
    // As run(), for an action the test expects to be enabled.
    void runEnabled(ActionId id)
    {
        window->actionListUpdate();
        QAction* a = act(id);
        ASSERT_TRUE(a->isEnabled()) << actionName(id);
        a->trigger();
    }
    bool enabled(ActionId id)
    {
        window->actionListUpdate();
        return act(id)->isEnabled();
    }
    void moveTo(int row, int column)
    {
        window->grid()->setCurrentIndex(window->gridModel()->index(row, column));
        window->actionListUpdate();
    }
    // A dBase III table in the test's folder, its values as bytes.
    QString table(const char* name, const std::vector<FieldSpec>& fields, const std::vector<ValueRecord>& records)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(writeTable(path.toStdString(), fields, records));
        return path;
    }
    // The same, its values given as UTF-8 and stored in Windows 1250.
    QString tableOfTexts(const char* name, const std::vector<FieldSpec>& fields,
                         std::initializer_list<std::vector<const char*>> rows)
    {
        std::vector<ValueRecord> records;
        for (const auto& row : rows) {
            ValueRecord r;
            for (const char* v : row)
                r.values.push_back(utf8ToWindows1250(v));
            records.push_back(r);
        }
        return table(name, fields, records);
    }
    void open(const QString& path)
    {
        ASSERT_TRUE(window->openTableReporting(path)) << errors.join(QLatin1Char('\n')).toStdString();
    }
    static QString samplePath(const char* name)
    {
        return QDir(QStringLiteral(KARTO_SOURCE_DIR "/samples")).absoluteFilePath(QString::fromLatin1(name));
    }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    QStringList errors, warnings, messages, questions;
    // The answer to "Záznam byl změněn. Uložit změny?".
    SaveChangesAnswer saveAnswer = SaveChangesAnswer::Stay;
    QString saveAs;   // the save dialog's answer
    QString askedFilter, askedFolder, askedName;
};

} // namespace karto::test
