// The engine object: the open sequence(s), frame geometry, raw frame buffers, the RGB picture,
// display modes, playback state and the colour tables.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "engine/frame_buffer.h"
#include "engine/frame_conversion.h"
#include "engine/frame_values.h"
#include "engine/korva_header.h"
#include "platform/command_ui.h"
#include "platform/events.h"
#include "platform/file_access.h"
#include "platform/frame_trace.h"
#include "platform/messages.h"
#include "platform/picture_drawing.h"

class CPixloomDoc;
class CPixloomView;

namespace engine {

// Private messages to the view window; both are always sent synchronously.
constexpr unsigned WM_REDRAW_FRAME = platform::WM_USER;       // draw rgbBuffer now
constexpr unsigned WM_PLAYBACK_DONE = platform::WM_USER + 1;  // playback has ended

// The system's messages.
namespace msg {
inline constexpr const char* kUnknownImageType = "Error: Unknown image type.";
inline constexpr const char* kKorvaYNotFirst = "Error, first component of korva file must be Y";
inline constexpr const char* kKorvaNoY = "Invalid korva file (can't get Y component)";
inline constexpr const char* kKorvaTruncated = "Invalid korva file (header ends early)";
inline constexpr const char* kKorvaComponentCount = "Invalid korva file (more than 3 components)";
inline constexpr const char* kKorvaNegativeCount = "Invalid korva file (negative record count)";
inline constexpr const char* kKorvaZeroFactor = "Invalid korva file (zero sampling factor)";
inline constexpr const char* kKorvaInterlace = "Invalid korva file (bad interlace factor)";
inline constexpr const char* kKorvaSize = "Invalid korva file (bad frame size)";
inline constexpr const char* kKorvaPlanes = "Invalid korva file (planes do not fit the frame)";
inline constexpr const char* kMuxProgressive =
    "KORVA, U/V multiplexed, non-interlaced not supported yet.";
inline constexpr const char* kSeparateInterlaced =
    "KORVA, U & V not multiplexed, interlaced not supported yet.";
inline constexpr const char* kNotReady = "Not ready to play";
}  // namespace msg

// The largest picture the viewer takes on: every buffer size and offset stays well inside int.
constexpr int kMaxFrameSide = 16384;
constexpr int64_t kMaxPictureBytes = int64_t(1) << 30;

// Text for a frame size the viewer refuses.
std::string FrameSizeMessage(int width, int height);
// True when a width x height sequence (single or dual) fits the limits above.
bool FrameSizeFits(int width, int height);

class CSequenceDisplay;
// The playback thread's body; returns 0 when playback has ended.
unsigned PlaybackThreadProc(CSequenceDisplay* display);

class CSequenceDisplay {
public:
    CSequenceDisplay();
    virtual ~CSequenceDisplay();
    CSequenceDisplay(const CSequenceDisplay&) = delete;
    CSequenceDisplay& operator=(const CSequenceDisplay&) = delete;

    // Geometry and buffers. SetupGeometry decides raw or KORVA, derives the geometry and
    // dataStart and ends in AllocateBuffers. Both return false, with a message shown and every
    // field and buffer as before, when the picture cannot be made (too large, out of memory).
    bool SetupGeometry();
    bool AllocateBuffers();
    // One read of frameBytes bytes at the file's position; returns the bytes delivered.
    uint32_t ReadLeftFrame();
    uint32_t ReadRightFrame();
    // Converts leftFrame (and rightFrame in dual mode) into rgbBuffer with the current modes.
    // Returns the rows walked. The caller holds frameLock whenever playback may run.
    int ConvertFrame();

    // Transport (user-interface thread).
    void Play();
    void Stop();
    void PlaybackEnded();
    void Rewind();
    void StepForward();
    void StepBackward();
    void ToggleLoop();
    void OnUpdatePlay(platform::CCmdUI* cmd) const;
    void OnUpdateStop(platform::CCmdUI* cmd) const;
    void OnUpdateTransport(platform::CCmdUI* cmd) const;  // Rewind and the two steps
    void OnUpdateLoop(platform::CCmdUI* cmd) const;
    // Asks a running playback to stop and returns once the thread has ended, answering its
    // messages to the view meanwhile. Required before files or buffers are touched.
    void EndPlayback();
    // Converts the frames in the buffers again and has the view draw them.
    void ShowCurrentFrame();

    // The delta scale in force (1.0 without a main frame).
    double DeltaScale() const;
    // The main frame's shared values, or the engine's own when there is no main frame.
    FrameValues& Values();
    // Rewind and the steps run only when a sequence is loaded and not playing.
    bool TransportAllowed() const;

    FrameBuffer rgbBuffer;
    FrameBuffer leftFrame;
    int zoom = 0;
    platform::CFile* leftFile = nullptr;  // the document's
    platform::BITMAPINFOHEADER bitmapInfo;
    platform::HDRAWDIB drawDib = nullptr;  // the document's
    platform::HDC drawDC = nullptr;
    CPixloomView* view = nullptr;
    int hScrollShown = 0;
    int vScrollShown = 0;
    CPixloomDoc* document = nullptr;
    platform::HWND viewWindow = nullptr;
    std::thread playbackThread;
    int readyToPlay = 0;
    int playing = 0;
    platform::EventHandle stopEvent;
    platform::EventHandle threadDoneEvent;
    int width = 0;
    int height = 0;
    int isKorva = 0;
    KorvaHeader header;
    int frameBytes = 0;
    int ySize = 0;
    int cSize = 0;
    int yStride = 0;
    int cStride = 0;
    // Positions are 64-bit; 4K sequences pass 4 GiB quickly.
    uint64_t dataStart = 0;
    int uvMultiplexed = 0;
    FrameValues* mainFrame = nullptr;
    int defaultWidth = 176;
    int defaultHeight = 144;
    std::atomic<int> loop{1};
    int dual = 0;
    int deltaMode = 0;
    int dualScroll = 1;
    int showY = 1;
    int showUV = 1;
    platform::CFile* rightFile = nullptr;  // owned
    FrameBuffer rightFrame;
    int tabVR[256];
    int tabUG[256];
    int tabVG[256];
    int tabUB[256];

    // Guards leftFrame, rightFrame, rgbBuffer and the display modes that conversion reads.
    // The playback thread holds it around each read-and-convert step; the user-interface
    // thread around each conversion it starts and each paint. Never held while sleeping or
    // while waiting on a message.
    std::mutex frameLock;
    // The playback schedule's time; the system clock unless a test puts in its own.
    platform::Clock* clock = &platform::SystemClock();
    // Read and convert times of the frame last handed to the view, for the frame trace.
    platform::FrameTimes frameTimes;

    // Closes and destroys the right file.
    void CloseRightFile();

    // Runs the KORVA probe on leftFile (from byte 0); true when the file is KORVA with a layout
    // whose every row lies inside one frame. Leaves the file after the header on success.
    bool ProbeKorvaHeader();

private:
    // The delta mapping for the scale it was last built with; rebuilt when the scale changes.
    DeltaTable deltaTable;
    FrameValues ownValues;
};

}  // namespace engine
