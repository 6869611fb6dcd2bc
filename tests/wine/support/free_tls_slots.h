// How many TLS slots the process could still take: takes them all and gives
// them back. A library that keeps one per load ends its host once they run
// out (1,088 on Windows).
#pragma once

#include <windows.h>

#include <vector>

namespace mrv::wine_test {

inline int free_tls_slots() {
    std::vector<DWORD> taken;
    for (DWORD slot = TlsAlloc(); slot != TLS_OUT_OF_INDEXES; slot = TlsAlloc()) taken.push_back(slot);
    for (DWORD slot : taken) TlsFree(slot);
    return static_cast<int>(taken.size());
}

}  // namespace mrv::wine_test
