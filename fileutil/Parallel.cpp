#include "fileutil/Parallel.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace FileUtil {

void ForEachInParallel(qsizetype count, int threads, const std::function<void(qsizetype)> &work)
{
    std::atomic<qsizetype> next{0};
    std::atomic<bool> failed{false};
    std::mutex guard;
    qsizetype failedAt = count;
    std::exception_ptr failure;
    const auto run = [&] {
        for (;;) {
            const qsizetype index = next.fetch_add(1);
            if (index >= count || failed)
                return;
            try {
                work(index);
            } catch (...) {
                const std::lock_guard lock(guard);
                if (index < failedAt) {
                    failedAt = index;
                    failure = std::current_exception();
                }
                failed = true;
            }
        }
    };
    {
        // Joined when the scope ends, whatever the caller's thread met.
        std::vector<std::jthread> helpers;
        const qsizetype wanted =
            qBound(qsizetype(1), qMin(qsizetype(threads), count), qsizetype(64));
        for (qsizetype started = 1; started < wanted; ++started)
            helpers.emplace_back(run);
        run();
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace FileUtil
