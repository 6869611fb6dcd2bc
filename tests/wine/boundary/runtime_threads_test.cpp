// The thread calls that mrv_sysinfo.dll answers in place of winpthreads,
// under contention: threads of this program call into a DLL built the same
// way while it makes a guarded static, throws and formats, and the DLL is
// loaded and freed between rounds. Every thread must see the static built
// once and catch every exception; threads that end while the DLL is loaded
// give back their thread-local state, and no round may keep a TLS slot.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "free_tls_slots.h"
#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

using ExerciseFn = std::int32_t (*)(std::int32_t);
using CountFn = std::int32_t (*)();

constexpr int kThreads = 8;
constexpr std::int32_t kRounds = 200;

struct Call {
    ExerciseFn exercise = nullptr;
    HANDLE start = nullptr;  // all threads leave together
    std::int32_t result = 0;
};

DWORD WINAPI call_in_thread(void* argument) {
    Call& call = *static_cast<Call*>(argument);
    WaitForSingleObject(call.start, INFINITE);
    call.result = call.exercise(kRounds);
    return 0;
}

template <typename Fn>
Fn export_of(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

TEST(RuntimeThreads, ContendedStaticsExceptionsAndUnloadsNeedNoThreadLibrary) {
    const std::string library_path = program_directory() + "runtime_threads_library.dll";
    const int slots_before = free_tls_slots();
    for (int load = 0; load < 5; ++load) {
        SCOPED_TRACE("load " + std::to_string(load));
        HMODULE library = LoadLibraryA(library_path.c_str());
        ASSERT_NE(library, nullptr);
        const auto exercise = export_of<ExerciseFn>(library, "exercise_runtime");
        const auto constructions = export_of<CountFn>(library, "runtime_constructions");
        ASSERT_NE(exercise, nullptr);
        ASSERT_NE(constructions, nullptr);

        HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::vector<Call> calls(kThreads, Call{exercise, start, 0});
        std::vector<HANDLE> threads;
        for (Call& call : calls) threads.push_back(CreateThread(nullptr, 0, call_in_thread, &call, 0, nullptr));
        SetEvent(start);
        // The threads end while the DLL is loaded: their exception state goes at their detach.
        EXPECT_EQ(WaitForMultipleObjects(kThreads, threads.data(), TRUE, 60000), WAIT_OBJECT_0);
        for (HANDLE thread : threads) CloseHandle(thread);
        CloseHandle(start);

        for (const Call& call : calls) EXPECT_EQ(call.result, kRounds);
        EXPECT_EQ(constructions(), 1) << "the guarded static was built more than once";
        // This thread too, so that the unload has its state to give back.
        EXPECT_EQ(exercise(kRounds), kRounds);
        EXPECT_TRUE(FreeLibrary(library));
    }
    EXPECT_EQ(free_tls_slots(), slots_before);
}

}  // namespace
}  // namespace mrv::wine_test
