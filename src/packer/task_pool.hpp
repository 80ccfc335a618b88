// A fixed set of worker threads running tasks in the order they were handed in.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel::packer {

class TaskPool {
public:
    explicit TaskPool(unsigned threads);
    // Tasks not yet started are dropped; running ones are waited for.
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // The future holds the task's exception, if it throws.
    std::future<void> Run(std::function<void()> task);

private:
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<void()>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace quorvel::packer
