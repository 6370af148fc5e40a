// One background thread that runs one job at a time for the thread that owns it.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The thread is started once and kept, so each job starts on a thread that is already there
// (a thread made for each job often starts on the busy core of the one that made it).
class WorkerThread {
public:
    WorkerThread();
    // Waits for the running job, then ends the thread.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Hands `job` to the thread; the previous job must have been waited for.
    void start(std::function<void()> job);
    // Returns once the last job started has finished.
    void wait();
    // Whether the last job started has finished (true when none was started).
    bool finished();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable jobDone_;
    std::function<void()> job_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

// Runs jobs 0 .. count-1 on the calling thread and on `worker`, and passes each finished job to
// `use` on the calling thread, in index order. The calling thread runs job 0 first and, whenever
// the next job to use is not finished yet, runs the next job nobody has taken, so the two
// threads share the jobs and the calling thread uses early ones while the worker runs later ones.
// job(index, onWorker) may run on either thread; when `use` returns false, no further job is used
// or started. Returns once every started job has finished.
void shareJobs(WorkerThread& worker, int count, const std::function<void(int, bool)>& job,
               const std::function<bool(int)>& use);
