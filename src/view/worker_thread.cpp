// One background thread that runs one job at a time.
#include "view/worker_thread.h"

#include <utility>

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
