#pragma once
// The transport side of a link channel, used by the serial and UDP
// transports, the test harness and the simulator.  See "Channel and
// transport" in docs/link-protocol.md.
//
// A transport creates a channel, starts its I/O thread, and from that thread
// writes what OlnkNextFrame hands out and feeds every received byte to
// OlnkReceiveBytes.  It waits for the send event (OlnkGetSendEventFd)
// together with its port or socket, and ends when OlnkStopRequested says so.

#include "link/olnk/olnk.h"

#include <cstdint>
#include <functional>
#include <span>

struct OlnkChannelOptions
{
    // Start in link state 0 with nothing built, as a peer that is already
    // running.  Otherwise the channel starts in state 2 with its connect
    // frame (sequence number 1) built.
    bool passive = false;
    // Millisecond ticks for the link-state timing; empty: the steady clock.
    std::function<uint32_t()> clock;
    // Other threads send on the channel: before an empty frame goes, the
    // transport's thread lets them fill the window first.  Off where one
    // thread drives everything.
    bool producerThreads = true;
    // Transport kind (0 serial, 1 UDP) and the UDP mode of the connection
    // string; stored, not acted on.
    uint8_t transportKind = 0;
    uint8_t udpMode = 0;
};

enum class OlnkFrameMode : uint8_t {
    None, // only frames not yet transmitted
    Idle, // an empty frame when nothing is queued, go-back-N when all sent
    Ack,  // like Idle, but resends the first frame as a carrier instead of going back
};

// Allocates everything the channel will use.  W is 1 to 127.  Fails with
// OLNK_E_INVALIDARG (bad W or connect data over 1023 bytes).
OlnkChannel OlnkCreateChannel(uint8_t window, std::span<const uint8_t> connectData,
                              const OlnkChannelOptions& options = {});
// Frees a channel that never had an I/O thread (OlnkCloseChannel handles
// both kinds).  Waiting requests end with status 254.
int OlnkDestroyChannel(OlnkChannel ch);

// Starts the channel's I/O thread.  OlnkCloseChannel sets the stop flag and
// the send event and then waits for the body to return; the body's return
// value is its error code (0 after a normal stop).
int OlnkStartIoThread(OlnkChannel ch, std::function<uint32_t()> body);
// Runs once in OlnkCloseChannel after the I/O thread ended (closes the port
// or socket).
int OlnkSetCloseHook(OlnkChannel ch, std::function<void()> hook);

// The next frame to write into buffer (OLNK_MAX_FRAME bytes); *length 0
// when there is nothing to write.  Returns 1, or 0 for a bad argument.
int OlnkNextFrame(OlnkChannel ch, uint8_t* buffer, uint16_t* length, OlnkFrameMode mode);

// Feeds received bytes to the receiver.  Only one thread may feed a channel.
int OlnkReceiveByte(OlnkChannel ch, uint8_t byte);
int OlnkReceiveBytes(OlnkChannel ch, std::span<const uint8_t> bytes);
// One UDP datagram: it carries whole frames.  A truncated datagram (longer
// than any frame) is dropped whole, and a frame left unfinished at its end
// is dropped; each counts in HeaderErr.
int OlnkReceiveDatagram(OlnkChannel ch, std::span<const uint8_t> bytes, bool truncated);

// This side did not run for a while (the transport's turns were more than
// OLNK_PAUSE_MS apart): the stall counts start again, so that the peer's
// silence meanwhile is not taken for a stall and the peer gets a resend
// round before a reset.
int OlnkResumedAfterPause(OlnkChannel ch);

// Reads and clears the flag set when a received frame asks to be
// acknowledged soon.
bool OlnkTakeAckNeeded(OlnkChannel ch);

// The send event: set when a frame is queued and at close.  The descriptor
// is readable while it is set; OlnkTakeSendEvent resets it.
int OlnkGetSendEventFd(OlnkChannel ch);
bool OlnkTakeSendEvent(OlnkChannel ch);
bool OlnkStopRequested(OlnkChannel ch);

// Counters kept by the transport.
void OlnkAddSendBytes(OlnkChannel ch, uint64_t bytes);
void OlnkAddRecBytes(OlnkChannel ch, uint64_t bytes);
void OlnkAddProgramErr(OlnkChannel ch);

uint8_t OlnkGetTransportKind(OlnkChannel ch);
uint8_t OlnkGetUdpMode(OlnkChannel ch);
uint8_t OlnkGetWindow(OlnkChannel ch);
