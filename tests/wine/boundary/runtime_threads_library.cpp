// A DLL built like mrv_sysinfo.dll (the same entry point and thread calls in
// place of winpthreads) whose one export makes the static C++ runtime use
// every one of those calls: exceptions (emulated thread-locals, keys), a
// guarded static whose construction other threads must wait for (the
// guard's recursive mutex and condition variable), and the locale (once).
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

std::atomic<int> constructions{0};

struct SlowToBuild {
    SlowToBuild() {
        ++constructions;
        Sleep(50);  // the other threads arrive meanwhile and wait in the guard
    }
    int value = 42;
};

int guarded_value() {
    static const SlowToBuild built;
    return built.value;
}

int throw_and_catch(int rounds) {
    int caught = 0;
    for (int round = 0; round < rounds; ++round) {
        try {
            throw std::runtime_error("round " + std::to_string(round));
        } catch (const std::runtime_error& error) {
            if (std::string(error.what()) == "round " + std::to_string(round)) ++caught;
        }
    }
    return caught;
}

}  // namespace

// Returns how many of `rounds` exceptions were caught as thrown, or -1 when
// the guarded static or a formatted number came out wrong.
extern "C" __declspec(dllexport) int32_t exercise_runtime(int32_t rounds) {
    if (guarded_value() != 42) return -1;
    std::ostringstream text;
    text << 1.5 << ' ' << rounds;
    if (text.str() != "1.5 " + std::to_string(rounds)) return -1;
    return throw_and_catch(rounds);
}

extern "C" __declspec(dllexport) int32_t runtime_constructions(void) { return constructions.load(); }
