// Work split over the calling thread and one more.
#pragma once

#include <functional>

// Runs job(0) .. job(jobs - 1), in any order and on any threads, and returns when all are done.
using JobRunner = std::function<void(int jobs, const std::function<void(int)>& job)>;

// The jobs on the calling thread and one more thread started for the call.
void runOnTwoThreads(int jobs, const std::function<void(int)>& job);
