#include "FileStore.h"

#include "Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace brelvo::service {

std::optional<QString> FolderFiles::write(const QString& name, const QByteArray& bytes) {
  const QString path = QDir(folder_).absoluteFilePath(name);
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    std::fprintf(stderr, "brelvo-service: cannot write %s\n", qPrintable(path));
    return std::nullopt;
  }
  return path;
}

std::optional<QByteArray> FolderFiles::read(const QString& path) {
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll();
}

void FolderFiles::discard(const QString& path) { QFile::remove(path); }

std::optional<QString> DatabaseFiles::write(const QString& name, const QByteArray& bytes) {
  if (!db_.run("INSERT INTO stored_files (name, content) VALUES (?1, ?2)"
               " ON CONFLICT (name) DO UPDATE SET content = excluded.content",
               {name.toStdString(), DbBlob{bytes.toStdString()}})) {
    std::fprintf(stderr, "brelvo-service: cannot store %s: %s\n", qPrintable(name), db_.lastError().c_str());
    return std::nullopt;
  }
  return name;
}

std::optional<QByteArray> DatabaseFiles::read(const QString& path) {
  const std::optional<DbRows> rows = db_.query("SELECT content FROM stored_files WHERE name = ?1", {path.toStdString()});
  if (!rows || rows->empty()) return std::nullopt;
  return QByteArray::fromStdString(rows->front().text(0));
}

void DatabaseFiles::discard(const QString& path) { db_.run("DELETE FROM stored_files WHERE name = ?1", {path.toStdString()}); }

}  // namespace brelvo::service
