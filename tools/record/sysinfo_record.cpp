// sysinfo_record: records what this Windows machine answers to every
// platform call the library makes, into a machine profile that
// sysinfo_replay replays anywhere.
//
//   sysinfo_record [--note TEXT] PROFILE
//
// It runs one collection exactly as mrv_sysinfo.dll does (NVML binding at
// start, then the request pipeline) through a recording decorator around the
// Windows side of the seam, writes the profile to PROFILE and prints the
// document it collected. No architecture table is read (the tables change no
// platform call), nothing is logged, nothing else is written.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "boundary/request.h"
#include "machine_profiles/profile_json.h"
#include "machine_profiles/profile_recorder.h"
#include "platform/windows_platform.h"
#include "probes/gpu_bandwidth_estimator.h"
#include "probes/nvml_binding.h"

namespace {

constexpr char kUsage[] = "usage: sysinfo_record [--note TEXT] PROFILE\n";

struct Options {
    std::string note;
    std::string profile;
};

std::optional<Options> parse_options(int argc, char** argv) {
    Options options;
    bool have_profile = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--note" && i + 1 < argc) {
            options.note = argv[++i];
        } else if (!argument.empty() && argument[0] != '-' && !have_profile) {
            options.profile = argument;
            have_profile = true;
        } else {
            return std::nullopt;
        }
    }
    if (!have_profile) return std::nullopt;
    return options;
}

template <typename Function>
Function ntdll_entry(const char* name) {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
}

// GetVersionEx reports what the manifest allows; RtlGetVersion the truth.
std::string windows_version() {
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const auto get_version = ntdll_entry<RtlGetVersion>("RtlGetVersion");
    if (get_version == nullptr || get_version(&info) != 0) return "Windows (version unknown)";
    std::string text = "Windows " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) +
                       " build " + std::to_string(info.dwBuildNumber);
    using WineGetVersion = const char*(__cdecl*)();
    if (const auto wine_version = ntdll_entry<WineGetVersion>("wine_get_version"))
        text += " under Wine " + std::string(wine_version());
    return text;
}

std::string utc_now() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u UTC", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute);
    return text;
}

// Command-line text is in the ANSI code page; the profile is UTF-8.
std::string ansi_to_utf8(const std::string& text) {
    if (text.empty()) return text;
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::string origin(const std::string& note) {
    std::string text = "recorded by sysinfo_record on " + windows_version() + ", " + utc_now();
    if (!note.empty()) text += "; " + ansi_to_utf8(note);
    return text;
}

int fail(const std::string& message) {
    std::cerr << "sysinfo_record: " << message << "\n";
    return 1;
}

int run(const Options& options) {
    mrv::WindowsPlatform windows;
    mrv::RecordingPlatform recorder{windows, origin(options.note)};
    const mrv::NvmlBinding nvml = mrv::open_nvml_binding(recorder);
    const mrv::GpuBandwidthEstimator estimator{mrv::ArchitectureTables{}, false};
    const mrv::LibraryContext context{recorder, nvml, estimator};

    std::string document;
    std::string collect_error;
    try {
        document = mrv::collect_capabilities_document(context);
    } catch (const std::exception& error) {
        // The answers are what support needs most when the library fails.
        collect_error = error.what();
    }

    std::ofstream file(options.profile, std::ios::binary | std::ios::trunc);
    file << mrv::write_machine_profile(recorder.profile());
    file.close();
    if (!file) return fail(options.profile + ": cannot be written");
    if (!collect_error.empty()) return fail("profile written, but the library produced no document: " + collect_error);

    std::cout << document << "\n";
    std::cout.flush();
    return std::cout.good() ? 0 : fail("cannot write the document");
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const std::optional<Options> options = parse_options(argc, argv);
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        return run(*options);
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}
