#pragma once
// What the operating system is asked on behalf of the server's threads: a higher
// priority for the accepting threads, and a COM apartment for each connection thread
// (the provider's variants live in it on Windows). Elsewhere there is no COM and an
// ordinary process may not raise a thread's priority, so the portable side leaves both
// as they are.

namespace tavrin::platform {

// Raises the calling thread to the highest normal priority. Returns false when the
// system refused or has no such notion; the thread then runs as it was, which only
// makes accepting compete with the connection threads on a busy machine.
bool RaiseCurrentThreadPriority() noexcept;

// A single-threaded COM apartment for the calling thread while the object lives.
// Construct and destroy it on the same thread.
class TThreadApartment {
 public:
  TThreadApartment() noexcept;
  ~TThreadApartment();
  TThreadApartment(const TThreadApartment&) = delete;
  TThreadApartment& operator=(const TThreadApartment&) = delete;

  // False when the apartment could not be entered (the thread then runs without it).
  bool Entered() const { return FEntered; }

 private:
  bool FEntered = false;
};

}  // namespace tavrin::platform
