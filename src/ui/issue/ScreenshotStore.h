#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace brelvo {

// The screenshots of the issue being written: PNG files in the documents
// folder's "MorivaFiles", listed by path, joined with ",", under
// "BrelvoIssue_Screenshot" so that they survive restarts. A list held
// elsewhere (a form's, an editor's) is a snapshot; this store is the truth.
//
// Rules of the stored list: after a clean it is the empty string, so an
// append yields ",<path>" (the empty first piece is how it has always been
// stored). Reading back drops empty pieces and paths whose file is gone and
// keeps at most kMaxScreenshots paths. A path holding "," would split into
// two, so it is refused. Every change is durable when the call returns.
//
// One process-wide object on the GUI thread; list operations may be called
// from any thread. Image files are encoded and written on the global pool,
// and the results arrive as signals on the GUI thread.
class ScreenshotStore : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxScreenshots = 5;
    static const QString kListKey;          // "BrelvoIssue_Screenshot"
    static const QString kOrientationsKey;  // "BrelvoIssue_Screenshot_Orientations"

    static ScreenshotStore& shared();

    // ---- the list rules, on values ----------------------------------------
    // The paths a stored value lists, in order.
    static QStringList readBack(const QVariant& stored, const std::function<bool(const QString&)>& fileExists);
    // The stored value with the path appended (split at ",", append, join).
    static QString appended(const QVariant& stored, const QString& path);
    // The path a thumbnail index stands for; null for an index that is no
    // whole number or lies outside the list.
    static QString pathAt(const QStringList& paths, const QVariant& index);

    // ---- the stored list --------------------------------------------------
    // The current paths; the stored value is rewritten when reading back
    // dropped something.
    QStringList list();
    // Whether another screenshot may be added.
    bool canAdd() { return list().size() < kMaxScreenshots; }
    // Appends an existing file's path. False (logged) for a path with ","
    // and when the list is full.
    bool append(const QString& path);
    // Deletes a listed screenshot: its file and its place in the list. A path
    // the list does not hold changes nothing and deletes no file.
    bool remove(const QString& path);
    // After a send: deletes these files and drops them from the list; what
    // was added meanwhile stays.
    void removeSent(const QStringList& paths);

    // A fresh path "<documents>/MorivaFiles/<time>_screenshot.png".
    static QString newScreenshotPath();

    // ---- image files, written on the pool -----------------------------------
    // Writes the capture as a new PNG file and appends it: captureSaved(path),
    // or captureNotSaved(path) when the file could not be written or the list
    // is full (nothing is then listed or left on disk). Returns the path, so
    // that a caller can tell its own capture's signal from another's.
    QString saveCapture(const QImage& image);
    // Replaces a screenshot's picture in one step: editSaved(path), or
    // editNotSaved(path) with the former picture kept as it was.
    void saveEdited(const QString& path, const QImage& image);

signals:
    void captureSaved(const QString& path);
    void captureNotSaved(const QString& path);
    void editSaved(const QString& path);
    void editNotSaved(const QString& path);

private:
    ScreenshotStore() = default;
    // The encoded image written over the path in one step; false (logged) on failure.
    static bool writePng(const QString& path, const QImage& image);
};

}  // namespace brelvo
