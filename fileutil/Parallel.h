#pragma once

#include <QtGlobal>

#include <functional>

// Work on many files whose cost is waiting for the disk: a few threads keep
// several reads in flight, where one thread would wait for each in turn.
namespace FileUtil {

// Runs work(index) for every index from 0 to count - 1 on up to threads
// threads, the calling thread among them; indexes start in rising order.
// Once a call has thrown, no further index starts, and after every thread
// has ended the exception of the lowest index that threw is rethrown: the
// same failure a loop in order would have met first, among those met.
void ForEachInParallel(qsizetype count, int threads, const std::function<void(qsizetype)> &work);

} // namespace FileUtil
