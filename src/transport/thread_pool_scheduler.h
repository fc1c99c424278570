#pragma once
// The connection threads of a transport: a pool that keeps up to PoolSize threads
// parked and starts more when none is parked, up to MaxThreads busy at once (0 = no
// bound). After each task the thread gives back what libraries kept for it
// (platform/thread_resources.h), then parks or ends.
//
// Threading: every operation may be called from any thread except Shutdown, which must
// not be called from a pool thread (it waits for them). Lock order: the pool lock is a
// leaf; tasks run without it.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tavrin {

class TDSThreadPoolScheduler {
 public:
  TDSThreadPoolScheduler(std::int32_t PoolSize, std::int32_t MaxThreads);
  // Shuts down (see Shutdown).
  ~TDSThreadPoolScheduler();

  TDSThreadPoolScheduler(const TDSThreadPoolScheduler&) = delete;
  TDSThreadPoolScheduler& operator=(const TDSThreadPoolScheduler&) = delete;

  // Starts PoolSize threads, parked. Raises std::system_error when the system refuses
  // a thread.
  void Start();

  // Hands Task to a parked thread, or to a new one when none is parked; the thread runs
  // it and then parks again while fewer than PoolSize are parked, or ends. An exception
  // escaping Task is dropped (the task owns its error handling).
  // Raises TDBXError "The maximum number of threads for this scheduler is exceeded."
  // when MaxThreads is above 0 and that many threads are busy, or after Shutdown began;
  // std::system_error when the system refuses a new thread. Task is untouched then.
  void Run(std::function<void()>& Task);

  // Blocks until a busy thread finishes its task. Returns false, at once, once
  // CancelWaits or Shutdown was called.
  bool WaitForFreeThread();

  // Makes every present and future WaitForFreeThread return false.
  void CancelWaits();

  // Refuses new tasks, waits until no task runs (there is no time limit: the owner
  // ends the tasks first), ends the parked threads and joins every thread. Repeatable.
  void Shutdown();

  std::size_t ThreadCount() const;  // threads parked or busy
  std::size_t ParkedCount() const;
  std::size_t BusyCount() const;

 private:
  struct TWorker {
    std::thread Thread;
    std::function<void()> Task;  // set by Run, taken by the thread
    bool Quit = false;           // set by Shutdown for a parked thread
    std::condition_variable Wake;
  };

  // Adds a parked thread.
  void StartWorker(std::unique_lock<std::mutex>& Guard);
  void WorkerLoop(TWorker* Worker);
  void JoinEnded();

  const std::size_t FPoolSize;
  const std::size_t FMaxThreads;

  mutable std::mutex FLock;  // guards every member below, and each TWorker's Task and Quit
  std::condition_variable FChanged;  // a task finished, a thread ended, or waits cancelled
  std::list<std::unique_ptr<TWorker>> FWorkers;   // threads not yet ended
  std::vector<TWorker*> FParked;                  // idle threads, a subset of FWorkers
  std::vector<std::unique_ptr<TWorker>> FEnded;   // ended threads waiting to be joined
  std::size_t FBusy = 0;
  bool FCancelled = false;
  bool FShuttingDown = false;
};

}  // namespace tavrin
