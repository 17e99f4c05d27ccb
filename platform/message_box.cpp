#include "platform/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}

MessageBoxHandler& BoxHandler() {
    static MessageBoxHandler h = [](const std::string& text) {
        std::fprintf(stderr, "%s\n", text.c_str());
    };
    return h;
}

ExitHandler& EndHandler() {
    static ExitHandler h = [](int status) { std::exit(status); };
    return h;
}

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    MessageBoxHandler old = std::move(BoxHandler());
    BoxHandler() = std::move(handler);
    return old;
}

ExitHandler SetExitHandler(ExitHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    ExitHandler old = std::move(EndHandler());
    EndHandler() = std::move(handler);
    return old;
}

int AfxMessageBox(const std::string& text, unsigned) {
    MessageBoxHandler h;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        h = BoxHandler();
    }
    if (h) {
        h(text);
    }
    return IDOK;
}

void ExitProcess(int status) {
    ExitHandler h;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        h = EndHandler();
    }
    if (h) {
        h(status);
    } else {
        std::exit(status);
    }
}

}  // namespace platform
