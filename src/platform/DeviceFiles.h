#pragma once

#include <QByteArray>
#include <QString>

// Where the device facts are read from: the kernel's /sys and /proc trees,
// movable for tests so that a fake tree in a temporary folder can stand in.
namespace brelvo::devicefiles {

QString sysfsRoot();  // "/sys" unless moved
QString procRoot();   // "/proc" unless moved
void setSysfsRoot(const QString& root);  // empty restores the default
void setProcRoot(const QString& root);

// The whole of a small kernel file. Reads until the end instead of trusting
// the file's size, which /proc and /sys report as 0 or one page. Empty when
// the file cannot be read.
QByteArray read(const QString& path, bool* ok = nullptr);
// The first line, without surrounding blanks and trailing NUL bytes.
QString readLine(const QString& path);

}  // namespace brelvo::devicefiles
