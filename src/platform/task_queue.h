#pragma once
// Tasks handed over from any thread to the one thread that runs them, in the
// order they came. Once closed it takes no more, and what it still held is
// freed without running.
#include <deque>
#include <functional>
#include <mutex>

namespace platform {

class TaskQueue {
 public:
  using Task = std::function<void()>;

  TaskQueue() = default;
  TaskQueue(const TaskQueue&) = delete;
  TaskQueue& operator=(const TaskQueue&) = delete;

  // False when closed: the task is freed here, unrun.
  bool Push(Task task);
  // The oldest task; an empty one when there is none.
  Task Pop();
  void Close();

 private:
  std::mutex mutex_;
  std::deque<Task> tasks_;
  bool closed_ = false;
};

}  // namespace platform
