// The user interface as data: command ids, the string table, the menu tree, the accelerator
// table, the toolbar, the dialog templates and the version record. Free of Qt; the shell turns
// these tables into actions, menus and dialogs.
#pragma once

#include <string>

namespace res {

enum : unsigned {
    IDR_MAINFRAME = 128,
    ID_INDICATOR_FRAME_COUNTER = 101,
    ID_INDICATOR_FRAME_LABEL = 102,

    ID_SEQ_PLAY = 32771,
    ID_SEQ_STOP = 32773,
    ID_SEQ_REWIND = 32775,
    ID_SEQ_STEP_FORWARD = 32777,
    ID_SEQ_STEP_BACKWARD = 32778,
    ID_SEQ_FRAME_RATE = 32781,
    ID_SEQ_ZOOM = 32784,
    ID_SIZE_QCIF = 32793,
    ID_SIZE_CIF = 32794,
    ID_SIZE_256X224 = 32795,
    ID_SIZE_320X240 = 32796,
    ID_SEQ_LOOP = 32797,
    ID_FILE_DUAL_OPEN = 32798,
    ID_SIZE_352X240 = 32799,
    ID_VIEW_DUAL_SCROLL = 32800,
    ID_SIZE_176X120 = 32801,
    ID_SIZE_720X480 = 32802,
    ID_VIEW_UV = 32803,
    ID_VIEW_Y = 32804,
    ID_VIEW_DELTA = 32805,
    ID_SEQ_DELTA_SCALE = 32810,

    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_MRU_FILE1 = 57616,
    ID_FILE_MRU_LAST = 57631,
    ID_EDIT_CLEAR = 57632,
    ID_EDIT_CLEAR_ALL = 57633,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_FIND = 57636,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_REPEAT = 57640,
    ID_EDIT_REPLACE = 57641,
    ID_EDIT_SELECT_ALL = 57642,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_WINDOW_SPLIT = 57653,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,

    AFX_IDS_APP_TITLE = 57344,
    AFX_IDS_IDLEMESSAGE = 57345,

    IDD_ABOUTBOX = 100,
    IDD_FRAME_RATE = 132,
    IDD_DELTA_SCALE = 133,
    IDC_FRAME_RATE = 1005,
    IDC_DELTA_SCALE = 1013,
    IDOK = 1,
    IDCANCEL = 2,
};

// The string stored under an id ("" when there is none). Command strings hold the status-bar
// prompt and the tool tip joined by "\n".
std::string LoadString(unsigned id);
// The prompt (first line) and the tool tip (second line, "" when absent) of a command string.
std::string Prompt(unsigned id);
std::string Tip(unsigned id);

// The menu tree of resource 128.
struct MenuItem {
    enum Kind { kCommand, kSeparator, kPopup, kEnd };
    Kind kind;
    const char* text;  // "&" marks the mnemonic; "\t" precedes the key text shown
    unsigned id;
    const MenuItem* popup;
    bool greyed;
};
extern const MenuItem kMainMenu[];

// The accelerator table of resource 128, in its order; keys in Qt's portable text form.
struct Accelerator {
    const char* keys;
    unsigned id;
};
extern const Accelerator kAccelerators[];
extern const int kAcceleratorCount;

// Toolbar of resource 128: button ids left to right, 0 for a separator; each button's image is
// the 16 x 15 picture of the same index (separators skipped) in the toolbar strip.
extern const unsigned kToolBar[];
extern const int kToolBarCount;
constexpr int kButtonWidth = 16;
constexpr int kButtonHeight = 15;

// Dialog templates: sizes and positions in dialog units of 8-point "MS Sans Serif".
struct DialogControl {
    enum Kind { kStatic, kStaticNoPrefix, kStaticNoWrap, kDefaultButton, kButton, kEdit };
    Kind kind;
    int id;  // -1: none
    int x, y, width, height;
    const char* text;
};
struct DialogTemplate {
    unsigned id;
    const char* caption;
    int width, height;
    const DialogControl* controls;
    int controlCount;
};
const DialogTemplate& Dialog(unsigned id);

// Version record.
struct VersionInfo {
    int fileVersion[4];
    const char* fileVersionText;
    const char* fileDescription;
    const char* internalName;
    const char* originalFilename;
    const char* productName;
};
extern const VersionInfo kVersion;

// Document-template string 128.
extern const char* const kDocumentString;

}  // namespace res
