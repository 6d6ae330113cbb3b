#include "StagedInstall.h"

#include "FileTestSupport.h"

#include <QDir>
#include <QFile>

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
    FileTest::WriteFile(path, contents);
}

QByteArray StagedInstall::readFile(const QByteArray &path)
{
    return FileTest::ReadFile(path);
}
