#include "StagedInstall.h"

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

void StagedInstall::writeFile(const QByteArray &path, const QByteArray &contents)
{
    QFile file(QFile::decodeName(path));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

QByteArray StagedInstall::readFile(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
