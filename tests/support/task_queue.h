#pragma once

// "The window's thread" of a test or a benchmark without a window: tasks are
// posted from any thread, with a delay or none, and run on the thread that
// calls RunSome.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace plattero::testing {

class TaskQueue {
 public:
  using Clock = std::chrono::steady_clock;

  void Post(std::function<void()> task, int delay_ms = 0) {
    std::lock_guard lock(mutex_);
    tasks_.push_back({Clock::now() + std::chrono::milliseconds(delay_ms), std::move(task)});
    cv_.notify_all();
  }

  // Runs the tasks that are due, in the order posted, waiting up to `wait`
  // for the first.
  void RunSome(std::chrono::milliseconds wait) {
    std::vector<std::function<void()>> now;
    {
      std::unique_lock lock(mutex_);
      const auto end = Clock::now() + wait;
      const auto first_due = [this] {
        auto first = Clock::time_point::max();
        for (const Task& t : tasks_)
          first = std::min(first, t.due);
        return first;
      };
      while (first_due() > Clock::now() && Clock::now() < end)
        cv_.wait_until(lock, std::min(end, first_due()));
      const auto time = Clock::now();
      std::deque<Task> later;
      for (Task& t : tasks_) {
        if (t.due <= time) {
          now.push_back(std::move(t.run));
        } else {
          later.push_back(std::move(t));
        }
      }
      tasks_.swap(later);
    }
    for (auto& task : now)
      task();
  }

 private:
  struct Task {
    Clock::time_point due;
    std::function<void()> run;
  };
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Task> tasks_;
};

}  // namespace plattero::testing
