#include "model/two_threads.h"

#include <atomic>
#include <thread>

void runOnTwoThreads(int jobs, const std::function<void(int)>& job) {
    std::atomic<int> next{0};
    auto work = [&] {
        for (int index = next++; index < jobs; index = next++) job(index);
    };
    std::thread helper(work);
    work();
    helper.join();
}
