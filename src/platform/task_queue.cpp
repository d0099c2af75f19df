#include "platform/task_queue.h"

#include <utility>

namespace platform {

bool TaskQueue::Push(Task task) {
  {
    std::lock_guard lock(mutex_);
    if (!closed_) {
      tasks_.push_back(std::move(task));
      return true;
    }
  }
  return false;  // the task goes outside the lock: freeing it may take time
}

TaskQueue::Task TaskQueue::Pop() {
  std::lock_guard lock(mutex_);
  if (tasks_.empty()) return {};
  Task task = std::move(tasks_.front());
  tasks_.pop_front();
  return task;
}

void TaskQueue::Close() {
  std::deque<Task> dropped;
  std::lock_guard lock(mutex_);
  closed_ = true;
  dropped.swap(tasks_);
}

}  // namespace platform
