#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>

// Reads the version information of an executable file into the ten
// standard strings. Flitto's own executable carries it in an ELF section
// (see VersionResource.h); a file without it gives "Value Not Available"
// for every string.
class TRzVersionInfo : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QByteArray FilePath READ FilePath WRITE SetFilePath)

public:
    static constexpr int ValueCount = 10;
    // Indexes into the list, in its fixed order.
    enum Index
    {
        CompanyName,
        FileDescription,
        FileVersion,
        InternalName,
        LegalCopyright,
        LegalTrademarks,
        OriginalFilename,
        ProductName,
        ProductVersion,
        Comments,
    };

    // Every string's value when the file has no version information.
    static QString NotAvailableText() { return QStringLiteral("Value Not Available"); }

    // Reads the running program's own file.
    explicit TRzVersionInfo(QObject *parent = nullptr);

    // The file read. Empty means the running program's own file; reading
    // then sets it to that file's full name.
    const QByteArray &FilePath() const { return m_filePath; }
    // Reads the information again when the path differs from the current one.
    void SetFilePath(const QByteArray &path);

    // The value at an index (0 to 9); empty for any other index.
    QString Value(int index) const { return m_values.value(index); }
    const QStringList &Values() const { return m_values; }

private:
    void ReadVersionInfo();

    QByteArray m_filePath;
    QStringList m_values;
};
