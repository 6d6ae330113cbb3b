#include "wizard/settings/TRzRegIniFile.h"

#include "fileutil/FileUtil.h"
#include "wizard/settings/TIniFile.h"

#include <limits.h>
#include <unistd.h>

namespace {

QByteArray ProgramFile()
{
    QByteArray buffer(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), size_t(buffer.size()));
    if (length <= 0 || length >= buffer.size())
        return QByteArray();
    buffer.truncate(length);
    return buffer;
}

} // namespace

TRzRegIniFile::TRzRegIniFile(QObject *parent) : QObject(parent) {}

TRzRegIniFile::~TRzRegIniFile() = default;

void TRzRegIniFile::SetPath(const QByteArray &path)
{
    if (path == m_path)
        return;
    m_path = path;
    m_refreshNeeded = true;
}

void TRzRegIniFile::SetPathType(TRzPathType pathType)
{
    if (pathType == m_pathType)
        return;
    m_pathType = pathType;
    m_refreshNeeded = true;
}

QByteArray TRzRegIniFile::DefaultIniFileName(const QByteArray &programFile)
{
    // Without a program file there is no default: reads give their defaults
    // and writes fail, rather than touching a ".ini" in the working folder.
    if (programFile.isEmpty())
        return QByteArray();
    const QByteArray name = FileUtil::NameOfPath(programFile);
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype stem = dot > 0 ? programFile.size() - name.size() + dot : programFile.size();
    return programFile.left(stem) + ".ini";
}

TCustomIniFile &TRzRegIniFile::Refreshed()
{
    if (m_refreshNeeded) {
        m_iniFile.reset();
        const QByteArray fileName = m_path.isEmpty() ? DefaultIniFileName(ProgramFile()) : m_path;
        m_iniFile = std::make_unique<TIniFile>(fileName);
        // Storing the name used is no change of location: no new refresh.
        m_path = fileName;
        m_refreshNeeded = false;
    }
    return *m_iniFile;
}

QByteArray TRzRegIniFile::ReadString(const QByteArray &section, const QByteArray &key,
                                     const QByteArray &def)
{
    return Refreshed().ReadString(section, key, def);
}

qint32 TRzRegIniFile::ReadInteger(const QByteArray &section, const QByteArray &key, qint32 def)
{
    return Refreshed().ReadInteger(section, key, def);
}

void TRzRegIniFile::WriteString(const QByteArray &section, const QByteArray &key,
                                const QByteArray &value)
{
    Refreshed().WriteString(section, key, value);
}
