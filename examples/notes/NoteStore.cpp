#include "NoteStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>

NoteStore::NoteStore(const QString& folder) : path_(QDir(folder).filePath(QStringLiteral("notes.json"))) {
    QDir().mkpath(folder);
    if (!load()) {
        seed();
        write();
    }
}

QString NoteStore::defaultFolder() {
    const QString home = qEnvironmentVariable("BRELVO_HOME");
    if (!home.isEmpty()) return home;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

bool NoteStore::load() {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray()) {
        // A damaged file is kept aside rather than overwritten by the seed.
        std::fprintf(stderr, "notes: %s is not a notes file (%s); starting over\n", qPrintable(path_),
                     qPrintable(error.errorString()));
        file.close();
        QFile::remove(path_ + QStringLiteral(".damaged"));
        QFile::rename(path_, path_ + QStringLiteral(".damaged"));
        return false;
    }
    notes_.clear();
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        notes_.append({o.value(QLatin1String("title")).toString(), o.value(QLatin1String("body")).toString(),
                       QDateTime::fromString(o.value(QLatin1String("updated")).toString(), Qt::ISODate)});
    }
    return true;
}

bool NoteStore::write() {
    QJsonArray array;
    for (const Note& n : notes_) {
        array.append(QJsonObject{{QStringLiteral("title"), n.title},
                                 {QStringLiteral("body"), n.body},
                                 {QStringLiteral("updated"), n.updated.toString(Qt::ISODate)}});
    }
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(QJsonDocument(array).toJson());
    return file.commit();
}

void NoteStore::seed() {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    notes_ = {
        {QStringLiteral("Groceries"), QStringLiteral("Oat milk, lemons, rye bread, coffee beans."), now},
        {QStringLiteral("Release checklist"),
         QStringLiteral("Bump the version to 2.4\nRun the beta tour\nWrite the release notes"), now},
        {QStringLiteral("Ideas"), QStringLiteral("Dark theme for the editor. Pin notes to the top."), now},
        {QStringLiteral("Meeting, Tuesday"), QStringLiteral("10:30 with the design team: new list layout."), now},
    };
}

bool NoteStore::save(int index, const QString& title, const QString& body) {
    const Note note{title.trimmed().isEmpty() ? QStringLiteral("Untitled") : title.trimmed(), body,
                    QDateTime::currentDateTimeUtc()};
    if (index >= 0 && index < notes_.size()) {
        notes_[index] = note;
    } else {
        notes_.prepend(note);
    }
    return write();
}

bool NoteStore::remove(int index) {
    if (index < 0 || index >= notes_.size()) return false;
    notes_.removeAt(index);
    return write();
}
