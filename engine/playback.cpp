#include <algorithm>
#include <cmath>

#include "engine/sequence_display.h"
#include "platform/message_box.h"

namespace engine {

namespace {

// The longest frame period, for rates near zero: Stop still ends the sleep at once, and a new
// rate takes over after this at the latest.
constexpr int kMaxPeriodMs = 10000;

// The frame period in whole milliseconds: 1000 / rate, truncated.
int FramePeriod(double rate) {
    if (!(rate > 0.0)) {
        return kMaxPeriodMs;
    }
    const double p = 1000.0 / rate;
    return p >= kMaxPeriodMs ? kMaxPeriodMs : static_cast<int>(p);
}

}  // namespace

FrameValues& CSequenceDisplay::Values() {
    return mainFrame != nullptr ? *mainFrame : ownValues;
}

unsigned PlaybackThreadProc(CSequenceDisplay* d) {
    platform::Clock& clock = *d->clock;
    FrameValues& values = d->Values();
    // Times in milliseconds held in 32-bit ints; the tick count may wrap.
    uint32_t t0 = clock.GetTickCount();
    int32_t a = 0;
    bool stopRequested = false;
    for (;;) {
        if (stopRequested ||
            platform::WaitForSingleObject(d->stopEvent.get(), 0) != platform::WAIT_TIMEOUT) {
            break;
        }
        bool ended = false;
        {
            std::lock_guard<std::mutex> lock(d->frameLock);
            const uint32_t frameBytes = uint32_t(d->frameBytes);
            const bool dual = d->dual != 0;
            uint32_t nL = d->ReadLeftFrame();
            uint32_t nR = dual ? d->ReadRightFrame() : 0;
            if (nL < frameBytes || (dual && nR < frameBytes)) {
                if (d->loop.load() == 0) {
                    // Both files stand after the last frame shown.
                    d->leftFile->Seek(-int64_t(nL), platform::CFile::current);
                    if (dual) {
                        d->rightFile->Seek(-int64_t(nR), platform::CFile::current);
                    }
                    ended = true;
                } else {
                    values.frameCounter = 0;
                    d->leftFile->Seek(int64_t(d->dataStart), platform::CFile::begin);
                    nL = d->ReadLeftFrame();
                    if (dual) {
                        // The right sequence shares the left one's layout, header included.
                        d->rightFile->Seek(int64_t(d->dataStart), platform::CFile::begin);
                        nR = d->ReadRightFrame();
                    }
                    ended = nL < frameBytes || (dual && nR < frameBytes);
                }
            }
            if (!ended) {
                d->ConvertFrame();
            }
        }
        if (ended) {
            break;
        }
        const uint32_t now = clock.GetTickCount();
        const int32_t w = static_cast<int32_t>(t0 + static_cast<uint32_t>(a) - now);
        const int p = FramePeriod(values.frameRate.load());
        if (w > 0) {
            // A stop request ends the wait early; this frame is still shown, then the loop ends.
            stopRequested = clock.SleepOrWake(static_cast<uint32_t>(w), d->stopEvent.get());
            a += p;
        } else {
            t0 = clock.GetTickCount();
            a = p;
        }
        ++values.frameCounter;
        platform::SendMessage(d->viewWindow, WM_REDRAW_FRAME);
    }
    platform::SendMessage(d->viewWindow, WM_PLAYBACK_DONE);
    platform::SetEvent(d->threadDoneEvent.get());
    return 0;
}

void CSequenceDisplay::Play() {
    if (readyToPlay == 0 || leftFile == nullptr || !stopEvent || !threadDoneEvent) {
        platform::AfxMessageBox(msg::kNotReady);
        return;
    }
    if (playbackThread.joinable()) {
        playbackThread.join();
    }
    // A done signal left by a thread that ended by itself must not satisfy the next wait.
    platform::ResetEvent(threadDoneEvent.get());
    platform::ResetEvent(stopEvent.get());
    readyToPlay = 0;
    playing = 1;
    leftFile->HintSequential();
    if (dual && rightFile != nullptr) {
        rightFile->HintSequential();
    }
    playbackThread = std::thread(PlaybackThreadProc, this);
}

void CSequenceDisplay::Stop() {
    if (stopEvent) {
        platform::SetEvent(stopEvent.get());
    }
}

void CSequenceDisplay::PlaybackEnded() {
    readyToPlay = 1;
    playing = 0;
    Values().RefreshToolBar();
}

void CSequenceDisplay::EndPlayback() {
    if (playing == 1 && playbackThread.joinable()) {
        platform::SetEvent(stopEvent.get());
        if (viewWindow != nullptr && viewWindow->OnOwnerThread()) {
            viewWindow->WaitHandlingSends(threadDoneEvent.get());
        } else {
            platform::WaitForSingleObject(threadDoneEvent.get(), platform::INFINITE);
        }
    }
    if (playbackThread.joinable()) {
        playbackThread.join();
    }
    if (playing == 1) {
        PlaybackEnded();
    }
}

bool CSequenceDisplay::TransportAllowed() const {
    return readyToPlay == 1 && playing == 0 && leftFile != nullptr && leftFrame &&
           (!dual || rightFile != nullptr);
}

void CSequenceDisplay::Rewind() {
    if (!TransportAllowed()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(frameLock);
        leftFile->Seek(int64_t(dataStart), platform::CFile::begin);
        ReadLeftFrame();
        if (dual) {
            rightFile->Seek(int64_t(dataStart), platform::CFile::begin);
            ReadRightFrame();
        }
        Values().frameCounter = 1;
        ConvertFrame();
    }
    platform::SendMessage(viewWindow, WM_REDRAW_FRAME);
}

void CSequenceDisplay::StepForward() {
    if (!TransportAllowed()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(frameLock);
        const uint32_t nL = ReadLeftFrame();
        if (nL < uint32_t(frameBytes)) {
            leftFile->Seek(-int64_t(nL), platform::CFile::current);
            return;
        }
        if (dual) {
            const uint32_t nR = ReadRightFrame();
            if (nR < uint32_t(frameBytes)) {
                rightFile->Seek(-int64_t(nR), platform::CFile::current);
                leftFile->Seek(-int64_t(nL), platform::CFile::current);
                return;
            }
        }
        ++Values().frameCounter;
        ConvertFrame();
    }
    platform::SendMessage(viewWindow, WM_REDRAW_FRAME);
}

void CSequenceDisplay::StepBackward() {
    if (!TransportAllowed()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(frameLock);
        // Measured from the first frame, so a KORVA header is never read as a frame.
        const uint64_t least = dataStart + 2 * uint64_t(frameBytes);
        if (leftFile->GetPosition() < least) {
            return;
        }
        if (dual && rightFile->GetPosition() < least) {
            return;
        }
        leftFile->Seek(-2 * int64_t(frameBytes), platform::CFile::current);
        ReadLeftFrame();
        if (dual) {
            rightFile->Seek(-2 * int64_t(frameBytes), platform::CFile::current);
            ReadRightFrame();
        }
        --Values().frameCounter;
        ConvertFrame();
    }
    platform::SendMessage(viewWindow, WM_REDRAW_FRAME);
}

void CSequenceDisplay::ToggleLoop() {
    loop = loop.load() ? 0 : 1;
}

void CSequenceDisplay::ShowCurrentFrame() {
    {
        std::lock_guard<std::mutex> lock(frameLock);
        ConvertFrame();
    }
    platform::SendMessage(viewWindow, WM_REDRAW_FRAME);
}

void CSequenceDisplay::OnUpdatePlay(platform::CCmdUI* cmd) const {
    cmd->Enable(readyToPlay != 0);
}

void CSequenceDisplay::OnUpdateStop(platform::CCmdUI* cmd) const {
    cmd->Enable(playing != 0);
}

void CSequenceDisplay::OnUpdateTransport(platform::CCmdUI* cmd) const {
    cmd->Enable(readyToPlay != 0 && playing == 0);
}

void CSequenceDisplay::OnUpdateLoop(platform::CCmdUI* cmd) const {
    cmd->Enable(true);
    cmd->SetCheck(loop.load() ? 1 : 0);
}

}  // namespace engine
