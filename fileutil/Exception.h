#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Base of every error Flitto raises on purpose: it carries the text the
// event loop shows in its error report.
class Exception : public std::exception
{
public:
    explicit Exception(const QString &message);

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

    // More for the user beside the message, such as where to read about the
    // failure; the error report shows it below the message.
    const QString &Details() const noexcept { return m_details; }
    void SetDetails(const QString &details) { m_details = details; }

private:
    QString m_message;
    QString m_details;
    QByteArray m_utf8; // what() must hand out storage that lives as long as the exception
};

// The silent abort: leaves a handler without any report.
class EAbort : public Exception
{
public:
    EAbort() : Exception(QString()) {}
};

// Raised when a copy stops because it was asked to; the half-written copy
// is removed first. Silent, like every abort.
class ECopyStopped : public EAbort
{};

// A message as a sentence: a full stop is added when the message is not
// empty and its last character sorts after "." (most texts end without
// one; "...", "!" or ")" stay as they are).
QString Sentence(const QString &message);

// How an error is told, whatever raised it: the window's error report and
// the command line's complaint both show this.
struct ErrorReport
{
    QString Message;     // as a sentence
    QString Details;     // where to read more; may be empty
    bool Silent = false; // an abort: nothing is shown
};
// The report of any error, ours or not: an error Flitto did not expect
// still gets a message instead of ending the program.
ErrorReport ReportOf(const std::exception_ptr &error);

// A path in an error message: paths are bytes, the message is text, and
// control characters are shown as \xNN.
QString PathText(const QByteArray &path);
// The system's text for an errno value, as the user reads it.
QString SystemErrorText(int error);
// Text of several lines as a terminal shows it: the same escapes, but line
// breaks and tabs kept. For text that may carry what a user or another
// program chose (an argument, an option's name, a program's name).
QString ShownText(const QString &text);
