#include "util/task_runner.h"

#include <atomic>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace varnex {
namespace {

TEST(RunTasksTest, RunsEveryTaskOnceAndRethrowsTheFirstFailure) {
  for (bool twoThreads : {false, true}) {
    SCOPED_TRACE(twoThreads);
    std::vector<std::atomic<int>> runs(50);
    std::vector<std::function<void()>> tasks;
    for (std::size_t i = 0; i < runs.size(); ++i) {
      tasks.push_back([&runs, i] {
        ++runs[i];
        if (i == 7) {
          throw std::runtime_error("task 7");
        }
      });
    }
    try {
      RunTasks(tasks, twoThreads);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "task 7");
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(runs[i].load(), 1) << i;  // a failing task stops no other task
    }
  }
}

TEST(RunTasksTest, OneThreadRunsInOrder) {
  std::vector<int> order;
  std::vector<std::function<void()>> tasks;
  for (int i = 0; i < 3; ++i) {
    tasks.push_back([&order, i] { order.push_back(i); });
  }
  RunTasks(tasks, false);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace varnex
