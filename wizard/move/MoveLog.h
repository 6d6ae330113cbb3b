#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

// The record of one move, appended to the user's move log when the move
// ends, outside both folders: people who move the only copy of their mail
// want to know afterwards what happened to it. A log that cannot be written
// never fails a move.
class MoveLog
{
public:
    MoveLog();

    // $XDG_STATE_HOME/flitto/move.log, with ~/.local/state when the variable
    // is unset or not an absolute path.
    static QByteArray DefaultPath();
    QString Path() const;
    // A second log, of the caller's choice (the command line's --log), that
    // gets every entry too; empty: none.
    static void SetAlsoTo(const QByteArray &file);

    void Folders(const QByteArray &source, const QByteArray &target);
    // A check and what it found, or the user's answer to it.
    void Check(const QString &name, const QString &result);
    // The files copied, count of them, each given by at when the entry is
    // written or read: the run that copied them holds them already, and a
    // move of many files would otherwise hold every one twice. at must stay
    // callable for as long as this log. A second call replaces the first.
    struct CopiedFile;
    using FileAt = std::function<CopiedFile(qsizetype)>;
    void Files(qsizetype count, FileAt at);

    // Appends the entry with its outcome ("proven", "stopped", "refused",
    // "failed") and the error text, if any. False when it could not be
    // written, or when its path is not ours alone: a link, or a folder of
    // another user, anywhere along it. It is written once only.
    bool Write(const QString &outcome, const QString &error = QString());

    // The entry as data, for a report a program reads (the command line's
    // --json): each check with its result, each file copied.
    struct CopiedFile
    {
        QByteArray Name;
        qint64 Size = 0;
        quint64 Checksum = 0; // XXH3-64
    };
    const QList<std::pair<QString, QString>> &Checks() const { return m_checks; }
    QList<CopiedFile> Copied() const;
    QString Outcome() const { return m_outcome; }
    // The entry is in the log file.
    bool IsWritten() const { return m_stored; }

private:
    QByteArray m_path;
    QByteArray m_started;
    QByteArrayList m_lines;
    QList<std::pair<QString, QString>> m_checks;
    // Each null line of m_lines stands for a run of files.
    QList<std::pair<qsizetype, FileAt>> m_fileRuns;
    QString m_outcome;
    bool m_stored = false;
    bool m_written = false;
};
