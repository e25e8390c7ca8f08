#pragma once
// What the window's command groups (search and filter, copy and sum, the
// memo viewer, the exports) need of the main window: the dataset, the grid
// and its model, the search box, the dialogs and a few of the window's
// services. The window fills it in; the command groups know nothing else of
// the window, and the window attaches their handlers to its actions.

#include <functional>
#include <vector>

class QLineEdit;
class QWidget;

namespace karto {

class DbfGrid;
class DbfGridModel;
class TableDataset;
struct WindowDialogs;

class CommandContext {
public:
    struct Services {
        // The dataset field of the grid's current column, -1 when none.
        std::function<int()> currentField;
        // The fields of the grid's columns, in column order.
        std::function<std::vector<int>()> gridColumns;
        // The grid's current row moved to the dataset's current record.
        std::function<void()> syncGridToDataset;
        // The actions' states recomputed on the next turn of the event loop.
        std::function<void()> scheduleActionUpdate;
    };

    CommandContext(QWidget& window, TableDataset& dbf, DbfGrid& grid, DbfGridModel& model,
                   QLineEdit& searchBox, const WindowDialogs& dialogs, Services services)
        : window_(window), dbf_(dbf), grid_(grid), model_(model), searchBox_(searchBox),
          dialogs_(dialogs), services_(std::move(services))
    {
    }

    // The parent of the boxes and viewers the commands show.
    QWidget* widget() const { return &window_; }
    TableDataset& dbf() const { return dbf_; }
    DbfGrid* grid() const { return &grid_; }
    DbfGridModel* gridModel() const { return &model_; }
    QLineEdit* searchBox() const { return &searchBox_; }
    const WindowDialogs& dialogs() const { return dialogs_; }
    int currentField() const { return services_.currentField(); }
    std::vector<int> gridColumns() const { return services_.gridColumns(); }
    void syncGridToDataset() const { services_.syncGridToDataset(); }
    void scheduleActionUpdate() const { services_.scheduleActionUpdate(); }

private:
    QWidget& window_;
    TableDataset& dbf_;
    DbfGrid& grid_;
    DbfGridModel& model_;
    QLineEdit& searchBox_;
    const WindowDialogs& dialogs_;
    Services services_;
};

} // namespace karto
