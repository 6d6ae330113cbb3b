#pragma once

#include "wizard/move/MoveView.h"

class QObject;

// The view of a move whose checks run off the window's thread: each call is
// made on the window's thread, the calling thread waiting for its answer,
// since message boxes can only show there. A new question is one more
// forwarding line in the same form.
class WindowThreadView : public MoveView
{
public:
    // window: any object of the window's thread.
    WindowThreadView(MoveView *view, QObject *window) : m_view(view), m_window(window) {}

    void Refuse(const QString &text) override;
    WritersAnswer AskWriters(const QString &text) override;
    bool AskForeignFiles(const QString &text) override;
    bool AskRamTarget(const QString &text) override;

    void Starting(const QByteArray &sourcePrefix, const QByteArray &target) override;
    void Listed(const QByteArrayList &names, qint64 totalBytes) override;
    void Copying(int index, const QByteArray &name) override;
    void Progress(qint64 bytesDone) override;
    void Copied(int index) override;
    void Checking(const QByteArray &name) override;
    void Reusing(int index, const QByteArray &name) override;
    void Resumed(int proven, int files) override;

private:
    template <typename Call> auto OnWindow(Call call) -> decltype(call());

    MoveView *m_view;
    QObject *m_window;
};
