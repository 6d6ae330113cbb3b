#pragma once

#include "fileutil/Exception.h"

#include <QByteArray>

// The failures of the file copy. The two branches let a caller tell "the
// file could not be reached" (EFileStreamError) from "the transfer broke
// off" (EFilerError) without looking at the text.
class EStreamError : public Exception
{
public:
    // systemError is the errno behind the failure (0 when there is none);
    // the message stays the fixed text the user sees.
    explicit EStreamError(const QString &message, int systemError = 0);

    int SystemError() const noexcept { return m_systemError; }

private:
    int m_systemError;
};

// The file named in the message could not be opened or created.
class EFileStreamError : public EStreamError
{
public:
    using EStreamError::EStreamError;
};

// "Cannot open file %s": the source file, exactly as the caller spelled it.
class EFOpenError : public EFileStreamError
{
public:
    explicit EFOpenError(const QByteArray &path, int systemError = 0);
};

// "Cannot create file %s": the destination file name.
class EFCreateError : public EFileStreamError
{
public:
    explicit EFCreateError(const QByteArray &path, int systemError = 0);
};

// A read or a write between open files failed.
class EFilerError : public EStreamError
{
public:
    using EStreamError::EStreamError;
};

// "Stream read error".
class EReadError : public EFilerError
{
public:
    explicit EReadError(int systemError = 0);
};

// "Stream write error", also for a full disk.
class EWriteError : public EFilerError
{
public:
    explicit EWriteError(int systemError = 0);
};
