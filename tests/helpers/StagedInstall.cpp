#include "StagedInstall.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

StagedInstall::StagedInstall()
{
    QDir(m_root.path()).mkpath(QStringLiteral("Quillbox"));
    QDir(m_root.path()).mkpath(QStringLiteral("Data"));
}

QByteArray StagedInstall::root() const
{
    return QFile::encodeName(m_root.path()) + '/';
}

QByteArray StagedInstall::programFolder() const
{
    return root() + "Quillbox/";
}

QByteArray StagedInstall::dataFolder() const
{
    return root() + "Data/";
}

void StagedInstall::writeSettings(const QByteArray &contents, const QByteArray &name)
{
    writeFile(programFolder() + name, contents);
}

// Paths go to the system as bytes: a name that is not valid UTF-8 must
// reach the disk as it is, not as a replacement character.
void StagedInstall::writeFile(const QByteArray &path, const QByteArray &contents)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    QFile file;
    if (file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        file.write(contents);
    else
        ::close(fd);
}

QByteArray StagedInstall::readFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return QByteArray();
    }
    return file.readAll();
}
