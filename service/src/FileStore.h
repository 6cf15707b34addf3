#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace brelvo::service {

class Database;

// Where the bytes of screenshots and crash logs go. A record keeps the path
// write() gave; the service reads the bytes back through the same store.
class FileStore {
 public:
  virtual ~FileStore() = default;
  // Stores bytes under `name` (ours, never a device's, e.g. "issues/3/1.png");
  // the path to record, or nothing when they could not be stored.
  virtual std::optional<QString> write(const QString& name, const QByteArray& bytes) = 0;
  virtual std::optional<QByteArray> read(const QString& path) = 0;
  // Takes back a write whose record was not stored after all.
  virtual void discard(const QString& path) = 0;
};

// Files in a folder on this machine; the path is the file's absolute path.
class FolderFiles : public FileStore {
 public:
  explicit FolderFiles(QString folder) : folder_(std::move(folder)) {}
  std::optional<QString> write(const QString& name, const QByteArray& bytes) override;
  std::optional<QByteArray> read(const QString& path) override;
  void discard(const QString& path) override;

 private:
  QString folder_;
};

// Rows of the database, written in the caller's transaction: every instance
// on the database reads them, and a record and its bytes are stored
// together or not at all. The path is the name.
class DatabaseFiles : public FileStore {
 public:
  explicit DatabaseFiles(Database& db) : db_(db) {}
  std::optional<QString> write(const QString& name, const QByteArray& bytes) override;
  std::optional<QByteArray> read(const QString& path) override;
  void discard(const QString& path) override;

 private:
  Database& db_;
};

}  // namespace brelvo::service
