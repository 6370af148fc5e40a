// One background thread that runs one job at a time.
#include "view/worker_thread.h"

#include <utility>
#include <vector>

WorkerThread::WorkerThread() : thread_([this] { run(); }) {}

WorkerThread::~WorkerThread() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        jobDone_.wait(lock, [this] { return !busy_; });
        stopping_ = true;
    }
    jobReady_.notify_one();
    thread_.join();
}

void WorkerThread::start(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = std::move(job);
        busy_ = true;
    }
    jobReady_.notify_one();
}

void WorkerThread::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    jobDone_.wait(lock, [this] { return !busy_; });
}

bool WorkerThread::finished() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !busy_;
}

void WorkerThread::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        jobReady_.wait(lock, [this] { return stopping_ || job_ != nullptr; });
        if (stopping_) return;
        std::function<void()> job = std::move(job_);
        job_ = nullptr;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        jobDone_.notify_all();
    }
}

namespace {

// Which jobs are taken and which are finished, shared by the two threads.
struct JobBoard {
    std::mutex mutex;
    std::condition_variable finishedOne;
    std::vector<bool> finished;
    int nextFree = 1;  // job 0 is the calling thread's
    bool stopped = false;

    // The next job nobody has taken, or -1.
    int take() {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopped || nextFree >= static_cast<int>(finished.size())) return -1;
        return nextFree++;
    }
    void finish(int index) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished[static_cast<size_t>(index)] = true;
        }
        finishedOne.notify_all();
    }
    bool isFinished(int index) {
        std::lock_guard<std::mutex> lock(mutex);
        return finished[static_cast<size_t>(index)];
    }
};

}  // namespace

void shareJobs(WorkerThread& worker, int count, const std::function<void(int, bool)>& job,
               const std::function<bool(int)>& use) {
    if (count <= 0) return;
    JobBoard board;
    board.finished.assign(static_cast<size_t>(count), false);
    worker.start([&board, &job] {
        for (int index = board.take(); index >= 0; index = board.take()) {
            job(index, true);
            board.finish(index);
        }
    });
    job(0, false);
    board.finish(0);
    for (int next = 0; next < count; ++next) {
        while (!board.isFinished(next)) {
            const int index = board.take();
            if (index >= 0) {
                job(index, false);
                board.finish(index);
            } else {
                std::unique_lock<std::mutex> lock(board.mutex);
                board.finishedOne.wait(
                    lock, [&board, next] { return board.finished[static_cast<size_t>(next)]; });
            }
        }
        if (!use(next)) {
            std::lock_guard<std::mutex> lock(board.mutex);
            board.stopped = true;
            break;
        }
    }
    worker.wait();
}
