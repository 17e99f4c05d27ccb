// send_key: presses and releases one key through the XTest extension on $DISPLAY and prints the
// CLOCK_MONOTONIC time of the press in microseconds, the clock of the viewer's frame trace.
//
//   send_key KEYSYM        e.g. send_key Right
//
// Built by bench/playback_e2e.sh (g++ send_key.cpp -lX11 -ldl); XTest is loaded at run time,
// so only its run-time library is needed. Exit status: 0 sent, 1 failure, 2 usage error.
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <time.h>

#include <cstdint>
#include <cstdio>

namespace {

using FakeKeyEvent = int (*)(Display*, unsigned int, int, unsigned long);

int64_t MonotonicMicros() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: send_key KEYSYM\n");
        return 2;
    }
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    auto fake = xtst != nullptr ? reinterpret_cast<FakeKeyEvent>(dlsym(xtst, "XTestFakeKeyEvent"))
                                : nullptr;
    if (fake == nullptr) {
        std::fprintf(stderr, "send_key: libXtst.so.6 not found\n");
        return 1;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "send_key: cannot open the display\n");
        return 1;
    }
    const KeySym sym = XStringToKeysym(argv[1]);
    const KeyCode code = sym != NoSymbol ? XKeysymToKeycode(display, sym) : 0;
    if (code == 0) {
        std::fprintf(stderr, "send_key: unknown key %s\n", argv[1]);
        return 1;
    }
    // Everything but the press itself is done before the time is taken.
    XSync(display, False);
    const int64_t pressed = MonotonicMicros();
    fake(display, code, True, CurrentTime);
    XFlush(display);
    fake(display, code, False, CurrentTime);
    XSync(display, False);
    std::printf("%lld\n", static_cast<long long>(pressed));
    XCloseDisplay(display);
    return 0;
}
