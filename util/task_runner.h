// Runs a handful of independent tasks on the calling thread and, when asked, one more.
#pragma once

#include <functional>
#include <span>

namespace varnex {

// Runs each of `tasks` once and returns when all are done. With `twoThreads` false they run
// in order on the calling thread; otherwise the calling thread and one helper thread each take
// the next task not yet taken, in order, so the longest tasks should come first. A task that
// throws does not stop the others; the first exception caught is rethrown at the end. When no
// helper thread can be started, all tasks run on the calling thread.
void RunTasks(std::span<const std::function<void()>> tasks, bool twoThreads);

}  // namespace varnex
