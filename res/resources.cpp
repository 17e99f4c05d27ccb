#include "res/resources.h"

#include <iterator>
#include <map>

namespace res {

namespace {

const std::map<unsigned, const char*>& StringTable() {
    static const std::map<unsigned, const char*> table = {
        {IDR_MAINFRAME, "pixloom\n\nPixloo\n\n\nPixloom.Document\nPixloo Document"},
        {ID_INDICATOR_FRAME_COUNTER, "9999"},
        {ID_INDICATOR_FRAME_LABEL, "Frame"},
        {AFX_IDS_APP_TITLE, "pixloom"},
        {AFX_IDS_IDLEMESSAGE, "Ready"},

        {ID_SEQ_PLAY, "Play the sequence\nPlay"},
        {ID_SEQ_STOP, "Stop the sequence\nStop"},
        {ID_SEQ_REWIND, "Rewind to beginning\nRewind"},
        {ID_SEQ_STEP_FORWARD, "Step forward\nStep fwd"},
        {ID_SEQ_STEP_BACKWARD, "Step backward\nStep bkwd"},
        {ID_SEQ_FRAME_RATE, "Desired Frame Rate (fps)\nFrame Rate"},
        {ID_SEQ_ZOOM, "Zoom\nZoom"},
        {ID_SIZE_QCIF, "QCIF"},
        {ID_SIZE_CIF, "CIF"},
        {ID_SIZE_256X224, "256x224"},
        {ID_SIZE_320X240, "320x240"},
        {ID_SEQ_LOOP, "Loop"},
        {ID_FILE_DUAL_OPEN, "Open another video file for dual viewing"},
        {ID_SIZE_352X240, "352x240"},
        {ID_VIEW_DUAL_SCROLL, "Dual scroll mode toggle\nDual scroll mode toggle"},
        {ID_SIZE_176X120, "176x120"},
        {ID_SIZE_720X480, "720x480"},
        {ID_VIEW_UV, "View chrominance\nView chrominance"},
        {ID_VIEW_Y, "View luminance\nView luminance"},
        {ID_VIEW_DELTA, "Delta mode: delta_scale*(left - right)"},
        {ID_SEQ_DELTA_SCALE, "Set delta scale factor\nSet delta scale factor"},

        {ID_FILE_NEW, "Create a new document\nNew"},
        {ID_FILE_OPEN, "Open a video file\nOpen"},
        {ID_FILE_CLOSE, "Close the active document\nClose"},
        {ID_FILE_SAVE, "Save the active document\nSave"},
        {ID_FILE_SAVE_AS, "Save the active document with a new name\nSave As"},
        {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
        {ID_APP_ABOUT, "Display program information and version number\nAbout"},
        {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
        {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
        {ID_EDIT_CLEAR, "Erase the selection\nErase"},
        {ID_EDIT_CLEAR_ALL, "Erase everything\nErase All"},
        {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
        {ID_EDIT_CUT, "Cut the selection and put it on the Clipboard\nCut"},
        {ID_EDIT_FIND, "Find the specified text\nFind"},
        {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
        {ID_EDIT_REPEAT, "Repeat the last action\nRepeat"},
        {ID_EDIT_REPLACE, "Replace specific text with different text\nReplace"},
        {ID_EDIT_SELECT_ALL, "Select the entire document\nSelect All"},
        {ID_EDIT_UNDO, "Undo the last action\nUndo"},
        {ID_EDIT_REDO, "Redo the previously undone action\nRedo"},
        {ID_WINDOW_SPLIT, "Split the active window into panes\nSplit"},
        {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
        {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},

        {59136, "EXT"},
        {59137, "CAP"},
        {59138, "NUM"},
        {59139, "SCRL"},
        {59140, "OVR"},
        {59141, "REC"},

        {61184, "Change the window size"},
        {61185, "Change the window position"},
        {61186, "Reduce the window to an icon"},
        {61187, "Enlarge the window to full size"},
        {61188, "Switch to the next document window"},
        {61189, "Switch to the previous document window"},
        {61190, "Close the active window and prompts to save the documents"},
        {61202, "Restore the window to normal size"},
        {61203, "Activate Task List"},
    };
    return table;
}

}  // namespace

std::string LoadString(unsigned id) {
    if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST) {
        return "Open this document";
    }
    const auto& table = StringTable();
    auto it = table.find(id);
    return it == table.end() ? std::string() : std::string(it->second);
}

std::string Prompt(unsigned id) {
    std::string s = LoadString(id);
    return s.substr(0, s.find('\n'));
}

std::string Tip(unsigned id) {
    std::string s = LoadString(id);
    auto nl = s.find('\n');
    return nl == std::string::npos ? std::string() : s.substr(nl + 1);
}

namespace {

const MenuItem kFileMenu[] = {
    {MenuItem::kCommand, "&Open...\tCtrl+O", ID_FILE_OPEN, nullptr, false},
    {MenuItem::kCommand, "&Dual Open", ID_FILE_DUAL_OPEN, nullptr, false},
    {MenuItem::kSeparator, nullptr, 0, nullptr, false},
    {MenuItem::kCommand, "Recent File", ID_FILE_MRU_FILE1, nullptr, true},
    {MenuItem::kSeparator, nullptr, 0, nullptr, false},
    {MenuItem::kCommand, "E&xit", ID_APP_EXIT, nullptr, false},
    {MenuItem::kEnd, nullptr, 0, nullptr, false},
};

const MenuItem kViewMenu[] = {
    {MenuItem::kCommand, "&Toolbar", ID_VIEW_TOOLBAR, nullptr, false},
    {MenuItem::kCommand, "&Status Bar", ID_VIEW_STATUS_BAR, nullptr, false},
    {MenuItem::kCommand, "&Dual Scroll", ID_VIEW_DUAL_SCROLL, nullptr, false},
    {MenuItem::kCommand, "View &U/V", ID_VIEW_UV, nullptr, false},
    {MenuItem::kCommand, "View &Y", ID_VIEW_Y, nullptr, false},
    {MenuItem::kCommand, "D&elta mode", ID_VIEW_DELTA, nullptr, false},
    {MenuItem::kEnd, nullptr, 0, nullptr, false},
};

const MenuItem kSizeMenu[] = {
    {MenuItem::kCommand, "&QCIF (176x144)", ID_SIZE_QCIF, nullptr, false},
    {MenuItem::kCommand, "176x120", ID_SIZE_176X120, nullptr, false},
    {MenuItem::kCommand, "&CIF (352x288)", ID_SIZE_CIF, nullptr, false},
    {MenuItem::kCommand, "256x224", ID_SIZE_256X224, nullptr, false},
    {MenuItem::kCommand, "320x240", ID_SIZE_320X240, nullptr, false},
    {MenuItem::kCommand, "352x240", ID_SIZE_352X240, nullptr, false},
    {MenuItem::kCommand, "720x480", ID_SIZE_720X480, nullptr, false},
    {MenuItem::kEnd, nullptr, 0, nullptr, false},
};

const MenuItem kSequenceMenu[] = {
    {MenuItem::kCommand, "&Play", ID_SEQ_PLAY, nullptr, false},
    {MenuItem::kCommand, "&Stop", ID_SEQ_STOP, nullptr, false},
    {MenuItem::kCommand, "&Rewind", ID_SEQ_REWIND, nullptr, false},
    {MenuItem::kCommand, "Step &forward", ID_SEQ_STEP_FORWARD, nullptr, false},
    {MenuItem::kCommand, "Step &backward", ID_SEQ_STEP_BACKWARD, nullptr, false},
    {MenuItem::kCommand, "Fr&ame Rate", ID_SEQ_FRAME_RATE, nullptr, false},
    {MenuItem::kCommand, "D&elta scale", ID_SEQ_DELTA_SCALE, nullptr, false},
    {MenuItem::kCommand, "Loop", ID_SEQ_LOOP, nullptr, false},
    {MenuItem::kCommand, "&Zoom", ID_SEQ_ZOOM, nullptr, false},
    {MenuItem::kPopup, "&Default size", 0, kSizeMenu, false},
    {MenuItem::kEnd, nullptr, 0, nullptr, false},
};

const MenuItem kHelpMenu[] = {
    {MenuItem::kCommand, "&About pixloom...", ID_APP_ABOUT, nullptr, false},
    {MenuItem::kEnd, nullptr, 0, nullptr, false},
};

}  // namespace

const MenuItem kMainMenu[] = {
    {MenuItem::kPopup, "&File", 0, kFileMenu, false},
    {MenuItem::kPopup, "&View", 0, kViewMenu, false},
    {MenuItem::kPopup, "&Sequence", 0, kSequenceMenu, false},
    {MenuItem::kPopup, "&Help", 0, kHelpMenu, false},
    {MenuItem::kEnd, nullptr, 0, nullptr, false},
};

const Accelerator kAccelerators[] = {
    {"Ctrl+C", ID_EDIT_COPY},       {"Ctrl+N", ID_FILE_NEW},      {"Ctrl+O", ID_FILE_OPEN},
    {"Ctrl+S", ID_FILE_SAVE},       {"Ctrl+V", ID_EDIT_PASTE},    {"Alt+Backspace", ID_EDIT_UNDO},
    {"Shift+Del", ID_EDIT_CUT},     {"F6", ID_NEXT_PANE},         {"Shift+F6", ID_PREV_PANE},
    {"Ctrl+Ins", ID_EDIT_COPY},     {"Shift+Ins", ID_EDIT_PASTE}, {"Left", ID_SEQ_STEP_BACKWARD},
    {"Right", ID_SEQ_STEP_FORWARD}, {"Ctrl+X", ID_EDIT_CUT},      {"Ctrl+Z", ID_EDIT_UNDO},
};
const int kAcceleratorCount = int(std::size(kAccelerators));

const unsigned kToolBar[] = {
    ID_SEQ_PLAY,
    ID_SEQ_STOP,
    ID_SEQ_REWIND,
    ID_SEQ_STEP_BACKWARD,
    ID_SEQ_STEP_FORWARD,
    ID_SEQ_FRAME_RATE,
    0,
    ID_SEQ_ZOOM,
    ID_VIEW_Y,
    ID_VIEW_UV,
    0,
    ID_VIEW_DUAL_SCROLL,
    ID_VIEW_DELTA,
    ID_SEQ_DELTA_SCALE,
};
const int kToolBarCount = int(std::size(kToolBar));

namespace {

using C = DialogControl;

const DialogControl kAboutControls[] = {
    {C::kStaticNoPrefix, -1, 9, 10, 119, 8, "pixloom Version 2.3"},
    {C::kDefaultButton, IDOK, 191, 7, 32, 14, "OK"},
    {C::kStaticNoWrap, -1, 9, 64, 208, 52,
     "There are different ways to open sequences:\n\n  - Use the File menu to open sequences.\n"
     "  - Drag files into an already-open viewer window. Dragging\n"
     "      works in dual-display mode, too.\n  - Launch viewer at a command prompt."},
    {C::kStaticNoWrap, -1, 9, 116, 198, 61,
     "Command prompt options:\n\n  pixloom\n"
     "    Launch empty viewer using previously set parameters.\n\n"
     "  pixloom <width> <height> [<framerate>]\n"
     "    Launch empty viewer using specified parameters."},
    {C::kStatic, -1, 9, 179, 196, 54,
     "  pixloom <filename>\n    Open one file.\n\n"
     "  pixloom <width> <height> <framerate> <file1> [<file2>]\n"
     "    Open one or two files with specified parameters.\n"
     "    Note that width, height and framerate must be specified."},
};

const DialogControl kFrameRateControls[] = {
    {C::kDefaultButton, IDOK, 129, 7, 50, 14, "OK"},
    {C::kButton, IDCANCEL, 129, 24, 50, 14, "Cancel"},
    {C::kEdit, IDC_FRAME_RATE, 93, 18, 26, 14, ""},
    {C::kStatic, -1, 14, 21, 74, 8, "Desired frame rate (fps)"},
};

const DialogControl kDeltaScaleControls[] = {
    {C::kDefaultButton, IDOK, 129, 7, 50, 14, "OK"},
    {C::kButton, IDCANCEL, 129, 24, 50, 14, "Cancel"},
    {C::kStatic, -1, 12, 18, 56, 8, "Delta scale factor"},
    {C::kEdit, IDC_DELTA_SCALE, 75, 16, 48, 12, ""},
};

const DialogTemplate kDialogs[] = {
    {IDD_ABOUTBOX, "About pixloom", 233, 246, kAboutControls, int(std::size(kAboutControls))},
    {IDD_FRAME_RATE, "Set frame rate", 186, 50, kFrameRateControls,
     int(std::size(kFrameRateControls))},
    {IDD_DELTA_SCALE, "Set delta mode scale factor", 186, 50, kDeltaScaleControls,
     int(std::size(kDeltaScaleControls))},
};

}  // namespace

const DialogTemplate& Dialog(unsigned id) {
    for (const auto& d : kDialogs) {
        if (d.id == id) {
            return d;
        }
    }
    return kDialogs[0];
}

const VersionInfo kVersion = {
    {2, 2, 0, 0}, "2, 3, 0, 0",  "pixloom video sequence viewer",
    "pixloom",    "pixloom.EXE", "pixloom Application",
};

const char* const kDocumentString = "pixloom\n\nPixloo\n\n\nPixloom.Document\nPixloo Document";

}  // namespace res
