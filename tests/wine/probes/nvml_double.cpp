// A stand-in for nvml.dll with one device, index 0: a 10501 MHz memory clock
// on a 384-bit bus (1008.096 GB/s). It notes its loading and every call in
// nvml_double.log beside itself, so a test can tell whether it was loaded at
// all and what was asked of it. Built once more without nvmlShutdown.
#include <windows.h>

#include <string>

namespace {

HMODULE self = nullptr;
int device_record = 0;  // the one device handle handed out

void note(const std::string& line) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    std::string log(path, length);
    log = log.substr(0, log.find_last_of("\\/") + 1) + "nvml_double.log";
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

constexpr int kSuccess = 0;          // NVML_SUCCESS
constexpr int kInvalidArgument = 2;  // NVML_ERROR_INVALID_ARGUMENT

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        note("loaded");
    }
    return TRUE;
}

#define NVML_DOUBLE_API extern "C" __declspec(dllexport)

NVML_DOUBLE_API int nvmlInit_v2() {
    note("nvmlInit_v2");
    return kSuccess;
}

#ifndef NVML_DOUBLE_WITHOUT_SHUTDOWN
NVML_DOUBLE_API int nvmlShutdown() {
    note("nvmlShutdown");
    return kSuccess;
}
#endif

NVML_DOUBLE_API int nvmlDeviceGetHandleByIndex(unsigned int index, void** device) {
    note("nvmlDeviceGetHandleByIndex " + std::to_string(index));
    if (index != 0 || device == nullptr) return kInvalidArgument;
    *device = &device_record;
    return kSuccess;
}

NVML_DOUBLE_API int nvmlDeviceGetClockInfo(void* device, int type, unsigned int* clock) {
    note("nvmlDeviceGetClockInfo " + std::to_string(type));
    if (device != &device_record || type != 2 || clock == nullptr) return kInvalidArgument;
    *clock = 10501;
    return kSuccess;
}

NVML_DOUBLE_API int nvmlDeviceGetBusWidth(void* device, unsigned int* bus_width) {
    note("nvmlDeviceGetBusWidth");
    if (device != &device_record || bus_width == nullptr) return kInvalidArgument;
    *bus_width = 384;
    return kSuccess;
}
