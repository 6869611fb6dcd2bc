// A stand-in for nvml.dll with one device, index 0: by default an RTX 4090 at
// rest, its memory clock 405 MHz now and 10501 MHz at most, on a 384-bit bus
// (1008.096 GB/s at the maximum). Its PCI identity is read from
// nvml_double.ini beside it ("pci_device_id=0x268410de" and
// "pci_sub_system_id=0x..." lines, hexadecimal), so a test can make it agree
// with Wine's adapter or name another card. It notes its loading and every
// call in nvml_double.log beside itself. Built once more without nvmlShutdown.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HMODULE self = nullptr;
int device_record = 0;  // the one device handle handed out

std::string beside_self(const char* file) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    const std::string module(path, length);
    return module.substr(0, module.find_last_of("\\/") + 1) + file;
}

void note(const std::string& line) {
    HANDLE file = CreateFileA(beside_self("nvml_double.log").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// "key=0x..." from nvml_double.ini, or the fallback.
unsigned int setting(const char* key, unsigned int fallback) {
    HANDLE file = CreateFileA(beside_self("nvml_double.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fallback;
    char text[512] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    const std::string contents(text, read);
    const std::string prefix = std::string(key) + "=";
    const std::size_t at = contents.find(prefix);
    if (at == std::string::npos) return fallback;
    return static_cast<unsigned int>(std::strtoul(contents.c_str() + at + prefix.size(), nullptr, 16));
}

constexpr int kSuccess = 0;          // NVML_SUCCESS
constexpr int kInvalidArgument = 2;  // NVML_ERROR_INVALID_ARGUMENT
constexpr int kClockMem = 2;         // NVML_CLOCK_MEM

// nvmlPciInfo_t as nvmlDeviceGetPciInfo_v3 fills it.
struct PciInfo {
    char bus_id_legacy[16];
    unsigned int domain;
    unsigned int bus;
    unsigned int device;
    unsigned int pci_device_id;
    unsigned int pci_sub_system_id;
    char bus_id[32];
};
static_assert(sizeof(PciInfo) == 68, "nvmlPciInfo_t is 68 bytes");

int clock(void* device, int type, unsigned int* clock, unsigned int value) {
    if (device != &device_record || type != kClockMem || clock == nullptr) return kInvalidArgument;
    *clock = value;
    return kSuccess;
}

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

NVML_DOUBLE_API int nvmlDeviceGetCount(unsigned int* count) {
    note("nvmlDeviceGetCount");
    if (count == nullptr) return kInvalidArgument;
    *count = 1;
    return kSuccess;
}

NVML_DOUBLE_API int nvmlDeviceGetHandleByIndex(unsigned int index, void** device) {
    note("nvmlDeviceGetHandleByIndex " + std::to_string(index));
    if (index != 0 || device == nullptr) return kInvalidArgument;
    *device = &device_record;
    return kSuccess;
}

NVML_DOUBLE_API int nvmlDeviceGetPciInfo_v3(void* device, PciInfo* pci) {
    note("nvmlDeviceGetPciInfo_v3");
    if (device != &device_record || pci == nullptr) return kInvalidArgument;
    std::memset(pci, 0, sizeof *pci);
    pci->bus = 1;
    pci->pci_device_id = setting("pci_device_id", 0x268410DE);
    pci->pci_sub_system_id = setting("pci_sub_system_id", 0);
    std::strcpy(pci->bus_id, "00000000:01:00.0");
    std::strcpy(pci->bus_id_legacy, "0000:01:00.0");
    return kSuccess;
}

NVML_DOUBLE_API int nvmlDeviceGetClockInfo(void* device, int type, unsigned int* value) {
    note("nvmlDeviceGetClockInfo " + std::to_string(type));
    return clock(device, type, value, 405);  // at rest
}

NVML_DOUBLE_API int nvmlDeviceGetMaxClockInfo(void* device, int type, unsigned int* value) {
    note("nvmlDeviceGetMaxClockInfo " + std::to_string(type));
    return clock(device, type, value, 10501);
}

NVML_DOUBLE_API int nvmlDeviceGetBusWidth(void* device, unsigned int* bus_width) {
    note("nvmlDeviceGetBusWidth");
    if (device != &device_record || bus_width == nullptr) return kInvalidArgument;
    *bus_width = 384;
    return kSuccess;
}
