#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace brelvo::test {

// A tmpfs of a few hundred KiB mounted in a fresh folder, for running code
// against a file system that is really full. Mounting needs privileges that a
// test run may not have: check mounted() and skip with why() otherwise. The
// mount goes with the object, lazily, so that a file the code under test still
// holds open does not keep it.
class SmallDisk {
public:
    explicit SmallDisk(int kib = 384) : folder_(QDir::tempPath() + QStringLiteral("/brelvo-disk-XXXXXX")) {
        if (!folder_.isValid()) {
            why_ = QStringLiteral("no temporary folder");
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(kib) + 'k';
        if (::mount("tmpfs", QFile::encodeName(folder_.path()).constData(), "tmpfs", 0, options.constData()) != 0) {
            why_ = QStringLiteral("cannot mount a tmpfs here: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(QFile::encodeName(folder_.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    std::string why() const { return why_.toStdString(); }
    QString path() const { return folder_.path(); }
    QString filePath(const QString& name) const { return QDir(path()).filePath(name); }

    // Takes every free block with a filler file; true once a write was refused
    // for want of space.
    bool fill() {
        const int fd = ::open(QFile::encodeName(filePath(QStringLiteral(".filler"))).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        static const char block[4096] = {};
        int error = 0;
        while (error == 0) {
            if (::write(fd, block, sizeof block) < 0 && errno != EINTR) error = errno;
        }
        ::close(fd);
        return error == ENOSPC;
    }
    // Deletes the filler: the disk has room again.
    bool release() { return QFile::remove(filePath(QStringLiteral(".filler"))); }

private:
    QTemporaryDir folder_;
    QString why_;
    bool mounted_ = false;
};

}  // namespace brelvo::test
