// Internal: scanning a memory-mapped file safely. A file that shrinks while
// it is mapped makes the next access past its new end raise SIGBUS; inside
// a guarded call that signal ends the call instead of the process.
#pragma once

namespace tw {

// Runs fn(arg) on this thread; false when a SIGBUS interrupted it. fn must
// hold no lock and own nothing that needs cleaning up when it is cut short
// (the scanning routines only read the mapping and write their block).
bool run_guarded(void (*fn)(void*), void* arg);

}  // namespace tw
