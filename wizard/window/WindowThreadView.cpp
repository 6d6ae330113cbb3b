#include "wizard/window/WindowThreadView.h"

#include "widgets/look/TRzBusyPointer.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <type_traits>

template <typename Call> auto WindowThreadView::OnWindow(Call call) -> decltype(call())
{
    // On the window's thread already, a blocking hand-over would wait for
    // itself.
    if (QThread::currentThread() == m_window->thread())
        return call();
    // The window shows the busy pointer while the checks run; a box asks
    // with the normal one.
    const auto answer = [&call] {
        const TRzBusyPointer normal(Qt::ArrowCursor);
        return call();
    };
    if constexpr (std::is_void_v<decltype(call())>) {
        QMetaObject::invokeMethod(m_window, answer, Qt::BlockingQueuedConnection);
    } else {
        decltype(call()) result{};
        QMetaObject::invokeMethod(
            m_window, [&result, &answer] { result = answer(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

void WindowThreadView::Refuse(const QString &text)
{
    OnWindow([&] { m_view->Refuse(text); });
}

MoveView::WritersAnswer WindowThreadView::AskWriters(const QString &text)
{
    return OnWindow([&] { return m_view->AskWriters(text); });
}

bool WindowThreadView::AskForeignFiles(const QString &text)
{
    return OnWindow([&] { return m_view->AskForeignFiles(text); });
}

bool WindowThreadView::AskRamTarget(const QString &text)
{
    return OnWindow([&] { return m_view->AskRamTarget(text); });
}

void WindowThreadView::Starting(const QByteArray &sourcePrefix, const QByteArray &target)
{
    OnWindow([&] { m_view->Starting(sourcePrefix, target); });
}

void WindowThreadView::Listed(const QByteArrayList &names, qint64 totalBytes)
{
    OnWindow([&] { m_view->Listed(names, totalBytes); });
}

void WindowThreadView::Copying(int index, const QByteArray &name)
{
    OnWindow([&] { m_view->Copying(index, name); });
}

void WindowThreadView::Progress(qint64 bytesDone)
{
    OnWindow([&] { m_view->Progress(bytesDone); });
}

void WindowThreadView::Copied(int index)
{
    OnWindow([&] { m_view->Copied(index); });
}

void WindowThreadView::Checking(const QByteArray &name)
{
    OnWindow([&] { m_view->Checking(name); });
}

void WindowThreadView::Reusing(int index, const QByteArray &name)
{
    OnWindow([&] { m_view->Reusing(index, name); });
}

void WindowThreadView::Resumed(int proven, int files)
{
    OnWindow([&] { m_view->Resumed(proven, files); });
}
