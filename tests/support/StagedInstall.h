#pragma once

#include <QByteArray>
#include <QTemporaryDir>

// A Quillbox installation staged in a temporary folder: a program folder
// that may hold the settings file, and a data folder with Messages.dat.
class StagedInstall
{
public:
    StagedInstall();

    bool isValid() const { return m_root.isValid(); }
    // Paths as bytes, each folder ending in "/".
    QByteArray root() const;
    QByteArray programFolder() const;
    QByteArray dataFolder() const;
    QByteArray settingsFile() const { return programFolder() + "Quillbox.ini"; }

    // Writes the settings file (under the given name) with these bytes.
    void writeSettings(const QByteArray &contents, const QByteArray &name = "Quillbox.ini");
    // Writes a file of the data folder (or any path below the root).
    void writeFile(const QByteArray &path, const QByteArray &contents);
    static QByteArray readFile(const QByteArray &path);

private:
    QTemporaryDir m_root;
};
