// An installer run the way people run it: started with no handles of ours
// (a pipe inherited by Wine's desktop process, which a child may start,
// would never close), and when it shows windows, driven as a person drives
// it: wait for one, read what it says, press a button.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace mrv::wine_test {

class InstallerProcess {
public:
    InstallerProcess(const std::string& command_line, const std::string& working_directory,
                       const std::map<std::string, std::string>& environment);
    ~InstallerProcess();  // kills the process if it still runs
    InstallerProcess(const InstallerProcess&) = delete;
    InstallerProcess& operator=(const InstallerProcess&) = delete;

    bool started() const { return started_; }
    // A visible top-level window of the process holding a control of this
    // id; nullptr when none appeared in time.
    HWND wait_for_window_with(int control_id, DWORD timeout_ms) const;
    // The exit status; nullopt while the process still runs after the time.
    std::optional<std::uint32_t> wait_for_exit(DWORD timeout_ms) const;

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

// The texts of the window's static controls, UTF-8, one per line (a message
// box has one; its icon has none).
std::string static_texts(HWND window);

// True once the window is destroyed, false when it is still there in time.
bool wait_until_gone(HWND window, DWORD timeout_ms);

// Clicks the button once it is enabled; false when it never was in time.
bool press(HWND window, int button_id, DWORD timeout_ms);

}  // namespace mrv::wine_test
