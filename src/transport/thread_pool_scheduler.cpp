#include "transport/thread_pool_scheduler.h"

#include <algorithm>
#include <string>

#include "platform/thread_resources.h"
#include "vocabulary/dbx_error.h"
#include "transport/tcp_limits.h"

namespace tavrin {

TDSThreadPoolScheduler::TDSThreadPoolScheduler(std::int32_t PoolSize, std::int32_t MaxThreads)
    : FPoolSize(static_cast<std::size_t>(std::max(PoolSize, 0))),
      FMaxThreads(static_cast<std::size_t>(std::max(MaxThreads, 0))) {}

TDSThreadPoolScheduler::~TDSThreadPoolScheduler() { Shutdown(); }

void TDSThreadPoolScheduler::Start() {
  std::unique_lock Guard(FLock);
  while (FWorkers.size() < FPoolSize) {
    StartWorker(Guard);
  }
}

void TDSThreadPoolScheduler::Run(std::function<void()>& Task) {
  JoinEnded();
  std::unique_lock Guard(FLock);
  if (FShuttingDown || (FMaxThreads > 0 && FBusy >= FMaxThreads)) {
    throw TDBXError(TDBXErrorCodes::Unspecified, std::string(tcp::kMaxThreadsExceeded));
  }
  if (FParked.empty()) {
    StartWorker(Guard);
  }
  TWorker* Worker = FParked.back();
  FParked.pop_back();
  Worker->Task = std::move(Task);
  Worker->Wake.notify_one();
  ++FBusy;
}

void TDSThreadPoolScheduler::StartWorker(std::unique_lock<std::mutex>& Guard) {
  (void)Guard;  // held by the caller
  auto& Worker = FWorkers.emplace_back(std::make_unique<TWorker>());
  try {
    // The new thread waits for the lock we hold, so it sees the worker complete.
    Worker->Thread = std::thread(&TDSThreadPoolScheduler::WorkerLoop, this, Worker.get());
  } catch (...) {
    FWorkers.pop_back();
    throw;
  }
  FParked.push_back(Worker.get());
}

void TDSThreadPoolScheduler::WorkerLoop(TWorker* Worker) {
  std::unique_lock Guard(FLock);
  for (;;) {
    Worker->Wake.wait(Guard, [Worker] { return Worker->Task || Worker->Quit; });
    if (!Worker->Task) {
      break;
    }
    std::function<void()> Task = std::move(Worker->Task);
    Worker->Task = nullptr;
    Guard.unlock();
    try {
      Task();
    } catch (...) {
      // Safe to drop: a task handles its own errors; this only keeps the thread alive.
    }
    Task = nullptr;  // frees what the task captured, outside the lock
    // Whatever the task's libraries kept for this thread (database connections) goes
    // back before the thread parks or ends: a parked thread holds no file.
    platform::ReleaseThreadResources();
    Guard.lock();
    --FBusy;
    FChanged.notify_all();
    if (FShuttingDown || FParked.size() >= FPoolSize) {
      break;
    }
    FParked.push_back(Worker);
  }
  auto Self = std::find_if(FWorkers.begin(), FWorkers.end(),
                           [Worker](const auto& Each) { return Each.get() == Worker; });
  FEnded.push_back(std::move(*Self));
  FWorkers.erase(Self);
  FChanged.notify_all();
}

void TDSThreadPoolScheduler::JoinEnded() {
  std::vector<std::unique_ptr<TWorker>> Ended;
  {
    std::lock_guard Guard(FLock);
    Ended.swap(FEnded);
  }
  for (auto& Worker : Ended) {
    Worker->Thread.join();
  }
}

bool TDSThreadPoolScheduler::WaitForFreeThread() {
  std::unique_lock Guard(FLock);
  if (FCancelled) {
    return false;
  }
  FChanged.wait(Guard, [this] { return FCancelled || FMaxThreads == 0 || FBusy < FMaxThreads; });
  return !FCancelled;
}

void TDSThreadPoolScheduler::CancelWaits() {
  std::lock_guard Guard(FLock);
  FCancelled = true;
  FChanged.notify_all();
}

void TDSThreadPoolScheduler::Shutdown() {
  {
    std::unique_lock Guard(FLock);
    FShuttingDown = true;
    FCancelled = true;
    FChanged.notify_all();
    FChanged.wait(Guard, [this] { return FBusy == 0; });
    for (TWorker* Worker : FParked) {
      Worker->Quit = true;
      Worker->Wake.notify_one();
    }
    FParked.clear();
    FChanged.wait(Guard, [this] { return FWorkers.empty(); });
  }
  JoinEnded();
}

std::size_t TDSThreadPoolScheduler::ThreadCount() const {
  std::lock_guard Guard(FLock);
  return FWorkers.size();
}

std::size_t TDSThreadPoolScheduler::ParkedCount() const {
  std::lock_guard Guard(FLock);
  return FParked.size();
}

std::size_t TDSThreadPoolScheduler::BusyCount() const {
  std::lock_guard Guard(FLock);
  return FBusy;
}

}  // namespace tavrin
