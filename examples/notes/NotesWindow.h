#pragma once

#include "NoteStore.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTextEdit;

// The notes application's one window, sized like a phone: the list of notes,
// the editor of one note and the settings/about screen, one at a time.
class NotesWindow : public QWidget {
    Q_OBJECT
public:
    // about: lines shown on the settings screen (service, options).
    NotesWindow(NoteStore& store, const QStringList& about, QWidget* parent = nullptr);

    // Opens the note at the row (-1: a new note) in the editor.
    void openNote(int row);
    void showList();
    void showSettings();

    NoteStore& store() const { return store_; }
    QListWidget* list() const { return list_; }
    QLineEdit* titleEdit() const { return title_; }
    QTextEdit* bodyEdit() const { return body_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* backButton() const { return back_; }
    bool listShown() const;
    bool editorShown() const;
    int editedRow() const { return editing_; }

private:
    QWidget* makeHeader(const QString& title, QPushButton* left, QPushButton* right, QLabel** label = nullptr);
    QWidget* makeListPage();
    QWidget* makeEditorPage();
    QWidget* makeSettingsPage(const QStringList& about);
    void reloadList();
    void saveNote();

    NoteStore& store_;
    QStackedWidget* stack_ = nullptr;
    QWidget* listPage_ = nullptr;
    QWidget* editorPage_ = nullptr;
    QWidget* settingsPage_ = nullptr;
    QListWidget* list_ = nullptr;
    QLabel* editorTitle_ = nullptr;
    QLineEdit* title_ = nullptr;
    QTextEdit* body_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* back_ = nullptr;
    QLabel* status_ = nullptr;
    int editing_ = -1;
};
