#include "tests/e2e/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace e2e {

namespace {

// Child side of a fork: dies with the parent, then runs argv. Never returns.
[[noreturn]] void Exec(const std::vector<std::string>& argv, int out, int keepFd,
                       const std::vector<EnvVar>& env, pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
        _exit(127);
    }
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(out, 1);
    dup2(out, 2);
    if (keepFd >= 0) {
        fcntl(keepFd, F_SETFD, 0);
    }
    for (const EnvVar& v : env) {
        setenv(v.name.c_str(), v.value.c_str(), 1);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::fprintf(stderr, "cannot run %s: %s\n", args[0], std::strerror(errno));
    _exit(127);
}

pid_t Spawn(const std::vector<std::string>& argv, int out, int keepFd,
            const std::vector<EnvVar>& env = {}) {
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        Exec(argv, out, keepFd, env, parent);
    }
    return pid;
}

int ExitStatus(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

std::string Join(const std::vector<std::string>& argv) {
    std::string s;
    for (const std::string& a : argv) {
        s += (s.empty() ? "" : " ") + a;
    }
    return s;
}

std::vector<unsigned long> ParseIds(const std::string& text) {
    std::vector<unsigned long> ids;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        char* end = nullptr;
        const unsigned long id = std::strtoul(word.c_str(), &end, 10);
        if (end != word.c_str() && *end == '\0') {
            ids.push_back(id);
        }
    }
    return ids;
}

}  // namespace

Process::Process(const std::vector<std::string>& argv, const std::string& logPath, int keepFd,
                 const std::vector<EnvVar>& env) {
    const int out = open(logPath.empty() ? "/dev/null" : logPath.c_str(),
                         O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_ = Spawn(argv, out, keepFd, env);
    close(out);
}

Process::~Process() {
    Stop();
}

bool Process::Running() {
    return !Wait(milliseconds(0)).has_value();
}

std::optional<int> Process::Wait(milliseconds timeout) {
    if (status_ || pid_ <= 0) {
        return pid_ <= 0 ? std::optional<int>(-1) : status_;
    }
    PollUntil(
        [&] {
            int raw = 0;
            const pid_t r = waitpid(pid_, &raw, WNOHANG);
            if (r == pid_) {
                status_ = ExitStatus(raw);
            } else if (r < 0) {
                status_ = -1;
            }
            return status_.has_value();
        },
        timeout, milliseconds(10));
    return status_;
}

void Process::Stop() {
    if (pid_ <= 0 || status_) {
        return;
    }
    kill(pid_, SIGTERM);
    if (!Wait(milliseconds(3000))) {
        kill(pid_, SIGKILL);
        Wait(milliseconds(10000));
    }
}

RunResult Run(const std::vector<std::string>& argv, milliseconds timeout) {
    RunResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        result.out = "pipe failed";
        return result;
    }
    const pid_t pid = Spawn(argv, fds[1], -1);
    close(fds[1]);
    const auto end = Clock::now() + timeout;
    bool timedOut = false;
    char buf[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        struct pollfd p = {fds[0], POLLIN, 0};
        if (poll(&p, 1, int(std::min<long long>(left, 1000))) <= 0) {
            continue;
        }
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        result.out.append(buf, size_t(n));
    }
    close(fds[0]);
    int raw = 0;
    if (timedOut) {
        kill(pid, SIGKILL);
        waitpid(pid, &raw, 0);
        result.status = -1;
        result.out += "\n(" + Join(argv) + ": timed out)";
        return result;
    }
    waitpid(pid, &raw, 0);
    result.status = ExitStatus(raw);
    return result;
}

XServer::XServer(const std::string& logPath, int width, int height) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return;
    }
    // -displayfd: the server takes the first free display number and writes it to the pipe
    // once it accepts connections.
    server_ = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                 std::to_string(width) + "x" + std::to_string(height) + "x24",
                                 "-nolisten", "tcp", "-noreset"},
        logPath, fds[1]);
    close(fds[1]);
    std::string number;
    const auto end = Clock::now() + milliseconds(30000);
    while (Clock::now() < end && number.find('\n') == std::string::npos) {
        struct pollfd p = {fds[0], POLLIN, 0};
        if (poll(&p, 1, 500) <= 0) {
            if (!server_->Running()) {
                break;
            }
            continue;
        }
        char buf[64];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        number.append(buf, size_t(n));
    }
    close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) {
        number.pop_back();
    }
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        std::ifstream log(logPath);
        std::stringstream text;
        text << log.rdbuf();
        error_ = "Xvfb did not start (is the xvfb package installed?):\n" + text.str();
        server_.reset();
        return;
    }
    display_ = ":" + number;
    setenv("DISPLAY", display_.c_str(), 1);
}

std::vector<EnvVar> QtEnvironment(const std::string& home) {
    const std::string runtime = home + "/runtime";
    mkdir(runtime.c_str(), 0700);
    return {{"QT_QPA_PLATFORM", "xcb"},
            {"HOME", home},
            {"XDG_CONFIG_HOME", home + "/config"},
            {"XDG_RUNTIME_DIR", runtime}};
}

Viewer::Viewer(const std::string& program, const std::vector<std::string>& args,
               const std::string& home, milliseconds timeout)
    : logPath_(home + "/viewer.log") {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    process_ = std::make_unique<Process>(argv, logPath_, -1, QtEnvironment(home));
    PollUntil(
        [&] {
            if (!process_->Running()) {
                return true;
            }
            const std::vector<unsigned long> ids = VisibleWindows();
            if (!ids.empty()) {
                window_ = *std::min_element(ids.begin(), ids.end());
            }
            return window_ != 0;
        },
        timeout, milliseconds(100));
}

Viewer::~Viewer() {
    process_->Stop();
}

std::string Viewer::Log() const {
    std::ifstream in(logPath_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<unsigned long> Viewer::VisibleWindows() {
    const RunResult r =
        Run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(process_->pid())});
    return ParseIds(r.out);
}

std::string Viewer::WindowName() {
    RunResult r = Run({"xdotool", "getwindowname", std::to_string(window_)});
    while (!r.out.empty() && r.out.back() == '\n') {
        r.out.pop_back();
    }
    return r.out;
}

bool Viewer::Keys(const std::vector<std::string>& keys) {
    if (Run({"xdotool", "windowfocus", "--sync", std::to_string(window_)}).status != 0) {
        return false;
    }
    std::vector<std::string> argv{"xdotool", "key", "--delay", "40"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    return Run(argv).status == 0;
}

bool Viewer::Menu(const std::string& menuKey, const std::string& itemKey, bool dialog) {
    if (!Keys({"alt+" + menuKey})) {
        return false;
    }
    // The open menu is a window of its own; the item key goes to it.
    if (!PollUntil([&] { return VisibleWindows().size() >= 2; }, milliseconds(15000),
                   milliseconds(100))) {
        return false;
    }
    if (Run({"xdotool", "key", itemKey}).status != 0) {
        return false;
    }
    return dialog || PollUntil([&] { return VisibleWindows().size() == 1; }, milliseconds(15000),
                               milliseconds(100));
}

bool Viewer::ChooseFile(const std::string& path) {
    unsigned long dialog = 0;
    PollUntil(
        [&] {
            for (unsigned long id : VisibleWindows()) {
                RunResult r = Run({"xdotool", "getwindowname", std::to_string(id)});
                if (id != window_ && r.out.rfind("Open", 0) == 0) {
                    dialog = id;
                }
            }
            return dialog != 0;
        },
        milliseconds(15000), milliseconds(100));
    if (dialog == 0 ||
        Run({"xdotool", "windowfocus", "--sync", std::to_string(dialog)}).status != 0 ||
        Run({"xdotool", "type", "--delay", "20", path}).status != 0 ||
        Run({"xdotool", "key", "Return"}).status != 0) {
        return false;
    }
    return PollUntil([&] { return VisibleWindows().size() == 1; }, milliseconds(15000),
                     milliseconds(100));
}

std::unique_ptr<Process> DragAndDrop(const std::string& dragSource,
                                     const std::vector<std::string>& files, Point target,
                                     const std::string& home) {
    const int sx = 930, sy = 680;
    std::vector<std::string> argv{dragSource, std::to_string(sx - 30), std::to_string(sy - 30)};
    argv.insert(argv.end(), files.begin(), files.end());
    const std::string log = home + "/drag.log";
    std::remove(log.c_str());
    auto source = std::make_unique<Process>(argv, log, -1, QtEnvironment(home));
    const std::string pid = std::to_string(source->pid());
    if (!PollUntil(
            [&] {
                return !source->Running() ||
                       !ParseIds(Run({"xdotool", "search", "--onlyvisible", "--pid", pid}).out)
                            .empty();
            },
            milliseconds(30000), milliseconds(100)) ||
        !source->Running()) {
        return nullptr;
    }
    auto move = [](int x, int y) {
        Run({"xdotool", "mousemove", std::to_string(x), std::to_string(y)});
        std::this_thread::sleep_for(milliseconds(100));
    };
    move(sx, sy);
    Run({"xdotool", "mousedown", "1"});
    // Intermediate positions let the drag enter the target window as a pointer would.
    for (int i = 1; i <= 8; ++i) {
        move(sx + (target.x - sx) * i / 8, sy + (target.y - sy) * i / 8);
    }
    move(target.x + 1, target.y);
    move(target.x, target.y);
    Run({"xdotool", "mouseup", "1"});
    std::string text;
    PollUntil(
        [&] {
            std::ifstream in(log);
            std::stringstream s;
            s << in.rdbuf();
            text = s.str();
            return text.find("drag ended") != std::string::npos || !source->Running();
        },
        milliseconds(30000), milliseconds(100));
    Run({"xdotool", "mousemove", "1000", "740"});
    if (text.find("drag ended: dropped") == std::string::npos) {
        return nullptr;
    }
    return source;
}

bool Screenshot(Image& image, std::string& error) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/pixloom-e2e-" +
                             std::to_string(getpid()) + ".xwd";
    const RunResult r = Run({"xwd", "-root", "-silent", "-out", path});
    if (r.status != 0) {
        error = "xwd failed: " + r.out;
        return false;
    }
    const bool ok = ReadXwd(path, image, error);
    std::remove(path.c_str());
    return ok;
}

}  // namespace e2e
