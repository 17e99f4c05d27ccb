#include "platform/messages.h"

namespace platform {

LRESULT SendMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr) {
        return 0;
    }
    if (window->OnOwnerThread()) {
        return window->WindowProc(message, wParam, lParam);
    }
    return window->SendFromOtherThread(message, wParam, lParam);
}

}  // namespace platform
