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

// Puts a file back to `end`, just after the frame on screen, and reads that frame into `buffer`
// again when the reads that met the end of a sequence overwrote it, so that a later conversion
// (a view toggle) shows the frame on screen. `first` is the position of the first frame.
void BackToShownFrame(platform::CFile* file, FrameBuffer& buffer, uint64_t end, bool overwritten,
                      uint64_t first, uint32_t frameBytes) {
    if (overwritten && end >= first + frameBytes) {
        file->Seek(int64_t(end - frameBytes), platform::CFile::begin);
        file->Read(buffer.data(), frameBytes);
    }
    file->Seek(int64_t(end), platform::CFile::begin);
}

// Lets the system read the next frame of each file from the disk while this one is converted
// and shown.
void HintNextFrame(CSequenceDisplay* d) {
    d->leftFile->HintNext(uint32_t(d->frameBytes));
    if (d->dual) {
        d->rightFile->HintNext(uint32_t(d->frameBytes));
    }
}

}  // namespace

FrameValues& CSequenceDisplay::Values() {
    return mainFrame != nullptr ? *mainFrame : ownValues;
}

unsigned PlaybackThreadProc(CSequenceDisplay* d) {
    platform::Clock& clock = *d->clock;
    FrameValues& values = d->Values();
    // Times in milliseconds, 32-bit and wrapping like the tick count; a is the due time of the
    // next frame counted from t0, and only differences are read as signed.
    uint32_t t0 = clock.GetTickCount();
    uint32_t a = 0;
    bool stopRequested = false;
    for (;;) {
        if (stopRequested ||
            platform::WaitForSingleObject(d->stopEvent.get(), 0) != platform::WAIT_TIMEOUT) {
            break;
        }
        bool ended = false;
        {
            std::lock_guard<std::mutex> lock(d->frameLock);
            platform::FrameTimer timer(d->frameTimes);
            const uint32_t frameBytes = uint32_t(d->frameBytes);
            const bool dual = d->dual != 0;
            // Just after the frame on screen.
            const uint64_t shownL = d->leftFile->GetPosition();
            const uint64_t shownR = dual ? d->rightFile->GetPosition() : 0;
            uint32_t nL = d->ReadLeftFrame();
            uint32_t nR = dual ? d->ReadRightFrame() : 0;
            if (nL < frameBytes || (dual && nR < frameBytes)) {
                const bool looping = d->loop.load() != 0;
                bool restarted = false;
                if (looping) {
                    d->leftFile->Seek(int64_t(d->dataStart), platform::CFile::begin);
                    nL = d->ReadLeftFrame();
                    if (dual) {
                        // The right sequence shares the left one's layout, header included.
                        d->rightFile->Seek(int64_t(d->dataStart), platform::CFile::begin);
                        nR = d->ReadRightFrame();
                    }
                    restarted = nL >= frameBytes && (!dual || nR >= frameBytes);
                }
                if (restarted) {
                    // Counted as 1 below.
                    values.frameCounter = 0;
                } else {
                    // Nothing moves: each file goes back by what it read, and the frame on screen
                    // keeps its number.
                    BackToShownFrame(d->leftFile, d->leftFrame, shownL, looping || nL > 0,
                                     d->dataStart, frameBytes);
                    if (dual) {
                        BackToShownFrame(d->rightFile, d->rightFrame, shownR, looping || nR > 0,
                                         d->dataStart, frameBytes);
                    }
                    ended = true;
                }
            }
            if (!ended) {
                HintNextFrame(d);
                timer.ReadDone();
                d->ConvertFrame();
                timer.ConvertDone();
            }
        }
        if (ended) {
            break;
        }
        const uint32_t now = clock.GetTickCount();
        const int32_t w = static_cast<int32_t>(t0 + a - now);
        const uint32_t p = static_cast<uint32_t>(FramePeriod(values.frameRate.load()));
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
    if (readyToPlay == 0 || leftFile == nullptr || !leftFrame ||
        (dual && (rightFile == nullptr || !rightFrame)) || !stopEvent || !threadDoneEvent) {
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
    if (playing == 1 && stopEvent) {
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
        platform::FrameTimer timer(frameTimes);
        leftFile->Seek(int64_t(dataStart), platform::CFile::begin);
        ReadLeftFrame();
        if (dual) {
            rightFile->Seek(int64_t(dataStart), platform::CFile::begin);
            ReadRightFrame();
        }
        Values().frameCounter = 1;
        timer.ReadDone();
        ConvertFrame();
        timer.ConvertDone();
    }
    platform::SendMessage(viewWindow, WM_REDRAW_FRAME);
}

void CSequenceDisplay::StepForward() {
    if (!TransportAllowed()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(frameLock);
        platform::FrameTimer timer(frameTimes);
        const uint32_t fb = uint32_t(frameBytes);
        const uint64_t shownL = leftFile->GetPosition();
        const uint32_t nL = ReadLeftFrame();
        if (nL < fb) {
            BackToShownFrame(leftFile, leftFrame, shownL, nL > 0, dataStart, fb);
            return;
        }
        if (dual) {
            const uint64_t shownR = rightFile->GetPosition();
            const uint32_t nR = ReadRightFrame();
            if (nR < fb) {
                BackToShownFrame(rightFile, rightFrame, shownR, nR > 0, dataStart, fb);
                BackToShownFrame(leftFile, leftFrame, shownL, true, dataStart, fb);
                return;
            }
        }
        ++Values().frameCounter;
        HintNextFrame(this);
        timer.ReadDone();
        ConvertFrame();
        timer.ConvertDone();
    }
    platform::SendMessage(viewWindow, WM_REDRAW_FRAME);
}

void CSequenceDisplay::StepBackward() {
    if (!TransportAllowed()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(frameLock);
        platform::FrameTimer timer(frameTimes);
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
        timer.ReadDone();
        ConvertFrame();
        timer.ConvertDone();
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
