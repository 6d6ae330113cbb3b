#pragma once

#include <QCursor>
#include <QGuiApplication>

// Shows the busy pointer for as long as it lives, on every way out.
class TRzBusyPointer
{
public:
    explicit TRzBusyPointer(Qt::CursorShape shape = Qt::WaitCursor)
    {
        QGuiApplication::setOverrideCursor(QCursor(shape));
    }
    ~TRzBusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    TRzBusyPointer(const TRzBusyPointer &) = delete;
    TRzBusyPointer &operator=(const TRzBusyPointer &) = delete;
};
