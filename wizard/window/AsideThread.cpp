#include "wizard/window/AsideThread.h"

#include <QEventLoop>
#include <QThread>

#include <cstdio>
#include <exception>
#include <memory>
#include <unistd.h>

namespace AsideThread {

void Run(const std::function<void()> &work)
{
    std::exception_ptr error;
    const std::unique_ptr<QThread> thread(QThread::create([&work, &error] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    thread->start();
    loop.exec();
    // The work still uses this frame: it must not be left while the work runs.
    if (thread->isRunning())
        EndProgram();
    thread->wait();
    if (error)
        std::rethrow_exception(error);
}

void EndProgram()
{
    // Only the standard streams: the page log the real-window checks read
    // goes there. Files of the move are written whole or not at all.
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(0);
}

} // namespace AsideThread
