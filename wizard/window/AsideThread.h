#pragma once

#include <functional>

// Work that may hang for good, such as a look at a folder whose file system
// stopped answering, runs off the window's thread, and the program can still
// end while it hangs.
namespace AsideThread {

// Runs work on a thread of its own while the calling thread waits in an
// event loop, so the window keeps painting and answering. Raises what the
// work raised. When the wait ends before the work (the application quits),
// the program ends at once: the thread cannot be joined.
void Run(const std::function<void()> &work);

// Ends the program now, with status 0, without waiting for any thread and
// without running destructors. Nothing that must stay consistent is written
// by then; the system drops the move's locks.
[[noreturn]] void EndProgram();

} // namespace AsideThread
