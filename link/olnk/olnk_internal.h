#pragma once
// Inside the link channel: the channel record and the functions that only
// the library (and its tests) call.  See docs/link-protocol.md.

#include "link/olnk/olnk.h"
#include "link/olnk/olnk_transport.h"
#include "platform/sys/PollableEvent.h"
#include "platform/sys/Sync.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

struct OlnkSlot
{
    uint16_t length; // total bytes of the frame
    uint8_t frame[OLNK_MAX_FRAME];
};

struct OlnkRingSlot
{
    uint8_t header[OLNK_HEADER_SIZE]; // bytes 0-9 as received (0 and 1 unset)
    bool metOwnReset;                 // see OlnkReceiveEx
    uint16_t length;
    uint8_t data[OLNK_MAX_DATA];
};

struct OlnkChannelImpl
{
    uint8_t W = 1;
    uint8_t transportKind = 0;
    uint8_t udpMode = 0;
    std::function<uint32_t()> clock;

    // Guards everything below but the receiver and the atomics.
    std::mutex mutex;
    std::condition_variable slotFreeCv;  // window slot freed, reset, closing
    std::condition_variable ringReadyCv; // ring message, closing
    std::condition_variable callsCv;     // blocking calls left

    OlnkStatistics stats{};

    // Receiver, touched only by the thread that feeds bytes.
    uint8_t rxState = 0;
    uint16_t rxCrc = 0;
    uint8_t rxHeaderLength = 0;
    uint8_t rxHeaderCount = 0;
    uint16_t rxDataCount = 0;
    uint16_t rxDataLength = 0;
    uint8_t rxHeader[OLNK_HEADER_SIZE] = {};
    uint8_t rxData[OLNK_MAX_DATA] = {};
    std::atomic<uint64_t> rxHeaderErr{0};
    std::atomic<uint64_t> rxProgramErr{0};
    std::atomic<uint64_t> sendBytes{0};
    std::atomic<uint64_t> recBytes{0};
    std::atomic<uint64_t> programErr{0};

    // Link state.
    uint8_t linkState = OLNK_STATE_RESET_BY_US;
    uint32_t stateTick = 0;
    bool peerConnectSeen = false; // a connect frame arrived since we built ours
    bool ownResetOpen = false;    // no connect frame of the peer taken since our own reset
    bool peerAcknowledged = false; // the peer freed frames of ours since the last reset
    uint32_t inStepTick = 0;       // when it first did, or the peer's frames found their place again
    // Since our own reset, the peer's frame numbered 1 was an ordinary one that
    // acknowledged ours (its answer's first frame, dropped in state 2): its
    // connect frame numbered 1 can then only be a new reset, not the connect
    // frame of a reset that crossed ours.
    bool peerFirstPlain = false;
    // The peer's frame numbered 1, taken in state 2, was a connect frame
    // acknowledging nothing (its own reset, crossing ours), and no connect
    // frame of the peer answered ours since.
    bool crossingUnanswered = false;
    bool passive = false; // opened by the peer's connect frame (the control system's side)
    bool producerThreads = true;
    std::vector<uint8_t> connectData; // for a reset of the channel's own
    // The fingerprint (Fingerprint: control word and data) of the peer's
    // connect frame that began this connection (a reset of the peer this
    // side answered; 0 none): a late copy of it is no new reset.
    uint64_t peerResetFingerprint = 0;
    bool peerResetTaken = false; // state 1: the peer's connect frame reached the session
    bool copySuspect = false;     // such a copy was dropped ...
    uint64_t sentAtCopy = 0;      // ... when this many frames had gone out
    bool peerAckSinceCopy = false; // and the peer acknowledged since
    // The frame asked for again at once (NAK) and when: once per resend round.
    uint8_t nakAsked = 0;
    uint32_t nakAskedTick = 0;
    bool nakAskedValid = false;
    uint32_t lastCheckTick = 0; // the previous OlnkCheckStall (a pause of this side)
    // OlnkConnect answering without a reset while the window is full: the
    // connect frame is built as soon as a slot frees, before anything else.
    bool connectPending = false;
    uint16_t pendingConnectLength = 0;
    std::unique_ptr<uint8_t[]> pendingConnect; // OLNK_MAX_DATA bytes
    uint32_t resets = 0; // resets since the channel was created (OlnkGetConnection)
    std::atomic<uint32_t> selfResets{0}; // resets by OlnkCheckStall not yet taken

    // Out of step: the send window without progress, frames not placed.
    uint32_t progressTick = 0;  // the first unacknowledged frame last changed
    uint8_t resendRounds = 0;   // go-back rounds since then
    uint32_t unplaced = 0;      // received frames in a row not placed
    uint32_t unplacedSince = 0; // when the first of them came
    // NAKs since the last progress for frames this side does not hold
    // (freed long ago, or never built under these numbers), and when the
    // first of them came.
    uint32_t naksForUnheld = 0;
    uint32_t naksForUnheldSince = 0;

    // Receive side.
    uint8_t R = 0;
    // For each sequence number, what the frame taken under it held (control
    // word and a hash of its data; 0 = nothing known), so that a repeat that
    // differs from it shows the frame taken was not the peer's.
    uint64_t taken[128] = {};
    uint8_t nakRequest = 0;
    std::atomic<bool> ackNeeded{false};

    // Send window.
    std::unique_ptr<OlnkSlot[]> slots;
    uint8_t first = 0;      // slot of the first unacknowledged frame
    uint8_t count = 0;      // frames in the window
    uint8_t txOffset = 0;   // next frame to transmit, counted from first
    uint8_t sentCount = 0;  // frames from first transmitted at least once
    uint8_t lastTransmitted = 0;
    uint8_t lastBuilt = 0;

    // Receive ring.
    std::unique_ptr<OlnkRingSlot[]> ring;
    uint8_t ringFirst = 0;
    uint8_t ringCount = 0;

    OlnkReceiveRequest* pendingReceive = nullptr;
    OlnkSendRequest* urgentHead = nullptr;
    OlnkSendRequest* urgentTail = nullptr;
    OlnkSendRequest* normalHead = nullptr;
    OlnkSendRequest* normalTail = nullptr;

    sys::PollableEvent sendEvent;
    std::atomic<bool> stop{false};
    bool closing = false;
    int blockingCalls = 0;

    std::unique_ptr<sys::Thread> ioThread;
    std::function<void()> closeHook;
};

// Builds a frame into the next window slot; the caller holds the mutex and
// has checked that a slot is free.  Lengths over 1023 are cut to 1023.
// Returns the frame's sequence number.
uint8_t OlnkBuildFrame(OlnkChannel ch, uint16_t length, const void* data, bool reliable,
                       bool connect);
// A completed frame from the receiver (takes the mutex).
void OlnkDeliverFrame(OlnkChannel ch, bool goodData);
// Applies a received acknowledgement byte; the caller holds the mutex.
void OlnkProcessAck(OlnkChannel ch, uint8_t ack);
