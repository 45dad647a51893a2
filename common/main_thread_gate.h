// The main-thread gate: every piece of code that reads or changes the service's shared state
// (sessions, accounts, display settings, vehicle registry, Users.ini, dispatcher links) runs as a
// gated section, one section at a time across the process. The clean-up timer runs under the
// same gate, so it never overlaps a section either.
//
// It is a process-wide re-entrant lock: a thread inside a section may enter again (a nested entry
// only counts), and only the outermost leave releases it. Running the section on the entering
// thread keeps exceptions on their own thread and needs no hand-over between threads.
#pragma once

namespace kx {

// Waits until no other thread holds the gate, then holds it (or counts one more nesting level
// when this thread holds it already).
void EnterMainThread();

// Ends one level of the section; the outermost level releases the gate. Throws std::logic_error
// on a thread that does not hold the gate.
void LeaveMainThread();

// True when the calling thread holds the gate.
[[nodiscard]] bool InMainThreadGate();

// Holds the gate for its lifetime, so that the section is left on every way out.
class MainThreadSection {
 public:
  MainThreadSection() { EnterMainThread(); }
  ~MainThreadSection() { LeaveMainThread(); }
  MainThreadSection(const MainThreadSection&) = delete;
  MainThreadSection& operator=(const MainThreadSection&) = delete;
};

}  // namespace kx
