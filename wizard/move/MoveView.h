#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

// What a move shows and asks while it runs: the wizard's Move page, or the
// command line. Every call comes on the thread that runs the move.
class MoveView
{
public:
    virtual ~MoveView() = default;

    enum class WritersAnswer
    {
        Retry,
        Ignore,
        Cancel,
    };

    // A check refused the move; the text says why and what to do.
    virtual void Refuse(const QString &text) = 0;
    // Other programs write to files of the data folder.
    virtual WritersAnswer AskWriters(const QString &text) = 0;
    // The new folder holds files that are not part of the database; true
    // goes on.
    virtual bool AskForeignFiles(const QString &text) = 0;
    // The new folder is on a file system kept in memory, gone after a
    // restart; true goes on.
    virtual bool AskRamTarget(const QString &text) = 0;

    // The run begins: the folders as the copy uses them.
    virtual void Starting(const QByteArray &sourcePrefix, const QByteArray &target) = 0;
    // The files to copy, in the order they will be copied.
    virtual void Listed(const QByteArrayList &names, qint64 totalBytes) = 0;
    // A copy an earlier run of this move made is read back and compared
    // with its source before it counts.
    virtual void Reusing(int index, const QByteArray &name)
    {
        Q_UNUSED(index);
        Q_UNUSED(name);
    }
    // So many of the files were found copied and proven already: they are
    // not copied again, and count as copied. Comes before the first Copying.
    virtual void Resumed(int proven, int files)
    {
        Q_UNUSED(proven);
        Q_UNUSED(files);
    }
    virtual void Copying(int index, const QByteArray &name) = 0;
    // Bytes done in all, now and then while a large file is copied.
    virtual void Progress(qint64 bytesDone) { Q_UNUSED(bytesDone); }
    virtual void Copied(int index) = 0;
    virtual void Checking(const QByteArray &name) = 0;
};
