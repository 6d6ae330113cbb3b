#pragma once

#include "wizard/settings/TCustomIniFile.h"

#include <QByteArray>
#include <QObject>

#include <memory>

// The settings store component: reads and writes named values through a
// backing INI-file object that it creates on first use and re-creates
// whenever its location changes. Only the INI-file kind of store exists on
// Linux; the registry kind is left out.
class TRzRegIniFile : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QByteArray Path READ Path WRITE SetPath)
    Q_PROPERTY(TRzPathType PathType READ PathType WRITE SetPathType)

public:
    enum TRzPathType
    {
        ptIniFile
    };
    Q_ENUM(TRzPathType)

    explicit TRzRegIniFile(QObject *parent = nullptr);
    ~TRzRegIniFile() override;

    // The INI file's name; empty means the default name, which the first
    // read or write stores here.
    QByteArray Path() const { return m_path; }
    void SetPath(const QByteArray &path);
    TRzPathType PathType() const { return m_pathType; }
    void SetPathType(TRzPathType pathType);

    QByteArray ReadString(const QByteArray &section, const QByteArray &key, const QByteArray &def);
    qint32 ReadInteger(const QByteArray &section, const QByteArray &key, qint32 def);
    // Raises EIniFileException ("Unable to write to %s") when the file
    // cannot be written.
    void WriteString(const QByteArray &section, const QByteArray &key, const QByteArray &value);

    // True until the next read or write re-creates the backing object.
    bool RefreshNeeded() const { return m_refreshNeeded; }
    // The backing object; null until the first read or write.
    const TCustomIniFile *IniFile() const { return m_iniFile.get(); }

    // The default INI file name for a program file: its extension (from the
    // last "." of the name, unless that starts the name) replaced by ".ini".
    static QByteArray DefaultIniFileName(const QByteArray &programFile);

private:
    TCustomIniFile &Refreshed();

    QByteArray m_path;
    TRzPathType m_pathType = ptIniFile;
    bool m_refreshNeeded = true;
    std::unique_ptr<TCustomIniFile> m_iniFile;
};
