#pragma once
// The calling thread's own object of type T, made at its first use; Tag tells apart two
// objects of one type. On most systems the object goes when the thread ends. Under
// Windows a thread-local object with a destructor could be freed before its destructor
// ran at thread end (a crash, seen under Wine), so there the object is made once per
// thread and left: keep what it holds small, or let go of it before the thread parks.

namespace tavrin {

template <class T, class Tag = T>
T& ThisThreadOwn() {
#if defined(_WIN32)
  thread_local T* const Own = new T();
  return *Own;
#else
  thread_local T Own;
  return Own;
#endif
}

}  // namespace tavrin
