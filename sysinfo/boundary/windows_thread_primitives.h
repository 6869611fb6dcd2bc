// The POSIX thread calls of the statically linked C++ runtime, answered
// inside the DLL (windows_thread_primitives.cpp).
#pragma once

namespace mrv {

// Runs the destructors of the calling thread's thread-specific values: the
// DLL's entry point calls it as each thread ends, since no thread library
// does. The TLS slots themselves are freed when the DLL is unloaded.
void release_thread_values();

}  // namespace mrv
