#include "util/task_runner.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace varnex {

void RunTasks(std::span<const std::function<void()>> tasks, bool twoThreads) {
  std::atomic<std::size_t> next{0};
  std::mutex failureMutex;
  std::exception_ptr failure;
  auto run = [&](const std::function<void()>& task) {
    try {
      task();
    } catch (...) {
      std::lock_guard<std::mutex> lock(failureMutex);
      if (!failure) {
        failure = std::current_exception();
      }
    }
  };
  auto work = [&] {
    for (std::size_t i = next++; i < tasks.size(); i = next++) {
      run(tasks[i]);
    }
  };
  std::thread helper;
  if (twoThreads && tasks.size() > 1) {
    try {
      helper = std::thread(work);
    } catch (const std::system_error&) {
      // No thread to be had: the calling thread does it all.
    }
  }
  work();
  if (helper.joinable()) {
    helper.join();
  }
  if (failure) {
    std::rethrow_exception(failure);
  }
}

}  // namespace varnex
