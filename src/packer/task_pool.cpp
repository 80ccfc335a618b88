#include "packer/task_pool.hpp"

namespace quorvel::packer {

TaskPool::TaskPool(unsigned threads) {
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) workers_.emplace_back([this] { Work(); });
}

TaskPool::~TaskPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

std::future<void> TaskPool::Run(std::function<void()> task) {
    std::packaged_task<void()> packaged(std::move(task));
    std::future<void> done = packaged.get_future();
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(packaged));
    }
    wake_.notify_one();
    return done;
}

void TaskPool::Work() {
    for (;;) {
        std::packaged_task<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
    }
}

}  // namespace quorvel::packer
