// The values the main window keeps and shares with the engine: the number of the frame on
// screen, the playback rate and the delta scale. Each read and write is indivisible; the
// playback thread reads frameRate and deltaScale and writes frameCounter while it plays.
#pragma once

#include <atomic>

namespace engine {

class FrameValues {
public:
    virtual ~FrameValues() = default;
    // Refreshes the toolbar's buttons from the update handlers at once (user-interface thread).
    virtual void RefreshToolBar() {}

    std::atomic<int> frameCounter{1};
    std::atomic<double> frameRate{10.0};
    std::atomic<double> deltaScale{1.0};
};

}  // namespace engine
