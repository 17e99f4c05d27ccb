// Child processes for the end-to-end tests: a private X server (Xvfb), the viewer, and the X
// tools that type keys (xdotool) and take screenshots (xwd). Every child is killed when its
// object goes, and also when the test process dies (parent-death signal), so no server or
// viewer outlives a test.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/screen_image.h"

namespace e2e {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct EnvVar {
    std::string name;
    std::string value;
};

class Process {
public:
    // Starts argv[0] (looked up in PATH) with stdout and stderr appended to logPath (/dev/null
    // when empty) and env added to this process's environment. keepFd stays open in the child
    // under its own number.
    Process(const std::vector<std::string>& argv, const std::string& logPath, int keepFd = -1,
            const std::vector<EnvVar>& env = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }
    bool Running();
    // Exit status, or nothing if the process is still running after the timeout.
    std::optional<int> Wait(milliseconds timeout);
    // SIGTERM, then SIGKILL if it has not ended after a grace period.
    void Stop();

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct RunResult {
    int status = -1;  // exit status; -1 when it timed out or could not start
    std::string out;  // stdout and stderr
};

// Runs a command to its end and returns what it printed; killed after the timeout.
RunResult Run(const std::vector<std::string>& argv, milliseconds timeout = milliseconds(30000));

// Sleeps in small steps until pred() holds or the timeout passes; returns the last pred().
template <typename Pred>
bool PollUntil(Pred pred, milliseconds timeout, milliseconds interval = milliseconds(50)) {
    const auto end = Clock::now() + timeout;
    for (;;) {
        if (pred()) {
            return true;
        }
        if (Clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(interval);
    }
}

// An Xvfb server on a display number it picks itself (-displayfd). Sets DISPLAY for this
// process and its children.
class XServer {
public:
    XServer(const std::string& logPath, int width = 1024, int height = 768);
    bool ok() const { return !display_.empty(); }
    const std::string& display() const { return display_; }
    const std::string& error() const { return error_; }

private:
    std::unique_ptr<Process> server_;
    std::string display_;
    std::string error_;
};

// The running viewer and its main window.
class Viewer {
public:
    // Starts the viewer with its own empty settings store under home; waits for its window.
    Viewer(const std::string& program, const std::vector<std::string>& args,
           const std::string& home, milliseconds timeout);
    ~Viewer();
    bool ok() const { return window_ != 0; }
    unsigned long window() const { return window_; }
    std::string Log() const;
    bool Running() { return process_->Running(); }

    // Visible windows of the viewer (main window, open menus, message boxes).
    std::vector<unsigned long> VisibleWindows();
    std::string WindowName();

    // Gives the main window the keyboard focus, then types the keys (xdotool key names).
    bool Keys(const std::vector<std::string>& keys);
    // Opens a menu of the menu bar with Alt+menuKey, waits for it, types itemKey and waits for
    // the menu to close; with a dialog to follow, returns as soon as the key is typed.
    bool Menu(const std::string& menuKey, const std::string& itemKey, bool dialog = false);
    // Waits for the open-file dialog, types the path into it and waits for it to close.
    bool ChooseFile(const std::string& path);

private:
    std::string logPath_;
    std::unique_ptr<Process> process_;
    unsigned long window_ = 0;
};

// Environment for a Qt program under the private server: the X platform (test.sh selects the
// offscreen one for the in-process tests) and a home and settings store of its own under home.
std::vector<EnvVar> QtEnvironment(const std::string& home);

// Starts dragSource (tests/e2e/drag_source.cpp) with the files, presses the mouse in it, moves
// to target (screen coordinates) and releases. Returns the drag source once it has seen the
// drop accepted, or nothing. The target fetches the files' names from the source after the
// drop, so the caller keeps the source until the drop has taken effect.
std::unique_ptr<Process> DragAndDrop(const std::string& dragSource,
                                     const std::vector<std::string>& files, Point target,
                                     const std::string& home);

// A screenshot of the whole screen (xwd -root).
bool Screenshot(Image& image, std::string& error);

}  // namespace e2e
