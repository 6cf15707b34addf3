#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The notes, kept as one small JSON file in the application's data folder
// ($BRELVO_HOME when set). A first start seeds a few notes.
struct Note {
    QString title;
    QString body;
    QDateTime updated;
};

class NoteStore {
public:
    explicit NoteStore(const QString& folder);

    const QList<Note>& notes() const { return notes_; }
    QString path() const { return path_; }

    // Both write the whole file at once (through a temporary file), so a
    // crash leaves the previous version or the new one, never half of one.
    bool save(int index, const QString& title, const QString& body);  // index -1 adds a note
    bool remove(int index);

    // Where the notes live: $BRELVO_HOME, else the data location.
    static QString defaultFolder();

private:
    bool load();
    bool write();
    void seed();

    QString path_;
    QList<Note> notes_;
};
