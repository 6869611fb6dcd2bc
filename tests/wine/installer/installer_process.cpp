#include "installer_process.h"

#include <vector>

#include "wine_test_support.h"

namespace mrv::wine_test {
namespace {

constexpr DWORD kPollMs = 50;

std::string utf8_of(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

std::wstring window_text(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

struct WindowSearch {
    DWORD process_id;
    int control_id;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.process_id || !IsWindowVisible(window) || GetDlgItem(window, search.control_id) == nullptr)
        return TRUE;
    search.found = window;
    return FALSE;
}

BOOL CALLBACK collect_static_text(HWND child, LPARAM parameter) {
    wchar_t class_name[16] = {};
    GetClassNameW(child, class_name, 16);
    const std::wstring text = window_text(child);
    if (lstrcmpiW(class_name, L"Static") == 0 && !text.empty())
        reinterpret_cast<std::vector<std::wstring>*>(parameter)->push_back(text);
    return TRUE;
}

}  // namespace

InstallerProcess::InstallerProcess(const std::string& command_line, const std::string& working_directory,
                                       const std::map<std::string, std::string>& environment) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = command_line;
    std::string block = environment_block(environment);
    started_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, block.data(),
                              working_directory.c_str(), &startup, &process_) != FALSE;
}

InstallerProcess::~InstallerProcess() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 259);
        WaitForSingleObject(process_.hProcess, INFINITE);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND InstallerProcess::wait_for_window_with(int control_id, DWORD timeout_ms) const {
    for (DWORD waited = 0; waited <= timeout_ms; waited += kPollMs) {
        WindowSearch search{process_.dwProcessId, control_id, nullptr};
        EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        if (WaitForSingleObject(process_.hProcess, kPollMs) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

std::optional<std::uint32_t> InstallerProcess::wait_for_exit(DWORD timeout_ms) const {
    if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

std::string static_texts(HWND window) {
    std::vector<std::wstring> texts;
    EnumChildWindows(window, collect_static_text, reinterpret_cast<LPARAM>(&texts));
    std::string joined;
    for (const std::wstring& text : texts) joined += (joined.empty() ? "" : "\n") + utf8_of(text);
    return joined;
}

bool wait_until_gone(HWND window, DWORD timeout_ms) {
    for (DWORD waited = 0; waited <= timeout_ms; waited += kPollMs) {
        if (!IsWindow(window)) return true;
        Sleep(kPollMs);
    }
    return false;
}

bool press(HWND window, int button_id, DWORD timeout_ms) {
    const HWND button = GetDlgItem(window, button_id);
    for (DWORD waited = 0; button != nullptr && waited <= timeout_ms; waited += kPollMs) {
        if (IsWindowEnabled(button)) {
            // What the button sends its dialog when clicked.
            return PostMessageW(window, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
                                reinterpret_cast<LPARAM>(button)) != FALSE;
        }
        Sleep(kPollMs);
    }
    return false;
}

}  // namespace mrv::wine_test
