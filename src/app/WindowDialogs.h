#pragma once
// The dialogs the main window and its commands ask; tests put their own in
// place.

#include <functional>

#include <QString>

class QWidget;

namespace karto {

// The answers to the question before a changed record would be discarded.
enum class SaveChangesAnswer { Save, Discard, Stay };

struct WindowDialogs {
    // Save dialog: filter as "description|pattern|...", initial folder,
    // proposed file name. Returns the chosen path, empty on cancel.
    std::function<QString(QWidget* parent, const QString& filter, const QString& folder,
                          const QString& proposedName)> saveFileName;
    // Open dialog for tables; empty on cancel.
    std::function<QString(QWidget* parent, const QString& filter, const QString& folder)> openFileName;
    // The toolkit's error box with an error's message.
    std::function<void(QWidget* parent, const QString& message)> error;
    // A warning box, captioned "Upozornění".
    std::function<void(QWidget* parent, const QString& message)> warning;
    // The question with the buttons Ano (Save), Ne (Discard) and Storno (Stay).
    std::function<SaveChangesAnswer(QWidget* parent, const QString& question)> saveChanges;
};

} // namespace karto
