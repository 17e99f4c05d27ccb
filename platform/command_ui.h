// What an update handler sets on a menu item and toolbar button.
#pragma once

namespace platform {

class CCmdUI {
public:
    virtual ~CCmdUI() = default;
    virtual void Enable(bool on = true) = 0;
    virtual void SetCheck(int check = 1) = 0;
};

// Keeps what a handler set; for tests and for tables of states.
class RecordingCmdUI : public CCmdUI {
public:
    void Enable(bool on = true) override { enabled = on; }
    void SetCheck(int check = 1) override { checked = check; }
    bool enabled = true;
    int checked = 0;
};

}  // namespace platform
