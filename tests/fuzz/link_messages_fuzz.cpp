// Fuzz target of the link session's message decoders: arbitrary messages
// sent by a peer to a running session, as a faulty control system would
// send them.  The session runs on its own thread over a link channel; the
// target plays the control system with a second channel and moves the
// frames between the two itself (no transport, no sleeps).  The session
// serves a share, and for every input it has a file read and a file write
// of its own open, so that job messages meet running jobs.
//
// The input is a sequence of messages, each a u16 length (little-endian,
// cut to the largest message) followed by that many bytes; a length beyond
// the input takes the rest.  In a job message (class 0, type 4 or 5) the
// job id 0x80 of a data or size message stands for the open read's receive
// job and the id 0x00 of an acknowledgement for the open write's send job.
// A connect message (class 0, type 0, code 0) with an even parameter (its
// fourth byte) travels as a peer sends it, with a reset of the peer's
// channel; one with an odd parameter travels as ordinary data, as a faulty
// peer may send it.  The session must drop and count such a message and
// leave its channel as it was: after an input without resets, begun with no
// reset under way, the session has not reset its channel and its malformed
// counter has grown by at least the number of those messages.
//
// Every input ends with a request of an unknown class, which the session
// must answer: it still serves its peer after the garbage.

#include "link/olnk/olnk_transport.h"
#include "link/oxfr/oxfr.h"
#include "platform/sys/LastError.h"
#include "tests/fuzz/FuzzSupport.h"

#include <poll.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <span>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// How long the session may take to answer after an input.  Generous: the
// sanitizer build on a loaded machine; a healthy session answers in
// milliseconds.
constexpr auto kAnswerTime = std::chrono::seconds(20);

class Peer
{
public:
    Peer()
    {
        const std::string& scratch = fuzzsupport::ScratchFolder();
        m_share = scratch + "/share";
        ::mkdir(m_share.c_str(), 0755);
        ::mkdir((m_share + "/sub").c_str(), 0755);
        fuzzsupport::WriteScratchFile("share/a.txt", std::string(700, 'a'));
        fuzzsupport::WriteScratchFile("share/sub/b.bin", std::string(1500, '\xF9'));
        m_putFile = fuzzsupport::WriteScratchFile("put.bin", std::string(2000, 'p'));
        m_getFile = scratch + "/got.bin";

        size_t n = 0;
        const uint8_t* connect = OxfrConnectData(&n);
        OlnkChannelOptions options;
        options.clock = [this] { return m_ourClock.load(); };
        OlnkChannel ours = OlnkCreateChannel(20, std::span<const uint8_t>(connect, n), options);
        options.passive = true;
        options.clock = [this] { return m_peerClock.load(); };
        m_peer = OlnkCreateChannel(20, {}, options);
        FUZZ_CHECK(ours && m_peer, "the channels open");
        m_session = OxfrOpenSessionOnChannel(nullptr, ours, 200);
        FUZZ_CHECK(m_session != nullptr, "the session opens");
        m_channel = ours;
        FUZZ_CHECK(OxfrAddShareA(m_session, m_share.c_str(), "DATA", 0) == 1, "the share is added");
        OxfrSetJobTimeout(m_session, 300);
        OlnkResumeSession(m_session);
    }

    ~Peer()
    {
        OxfrCloseSession(m_session); // closes its channel
        OlnkDestroyChannel(m_peer);
    }

    void Run(const uint8_t* data, size_t size)
    {
        uint32_t getJob = 0, putJob = 0;
        const bool getOpen = OxfrGetA(m_session, 1, nullptr, 0, &getJob, "\\DATA\\a.txt",
                                      m_getFile.c_str()) == 1;
        const bool putOpen = OxfrPutA(m_session, 2, nullptr, 0, &putJob, m_putFile.c_str(),
                                      "\\DATA\\put.bin") == 1;

        const bool running = Running(m_channel) && Running(m_peer);
        const uint64_t sessionResets = m_sessionResets;
        const uint64_t malformed = Malformed();
        int resets = 0, connectsAsData = 0;
        for (Bytes& m : Split(data, size)) {
            if (m.size() >= 4 && m[0] == 0 && m[1] == 4 && m[3] == 0x80 && getOpen)
                m[3] = uint8_t(getJob);
            if (m.size() >= 4 && m[0] == 0 && m[1] == 5 && m[3] == 0x00 && putOpen)
                m[3] = uint8_t(putJob);
            const bool connect = m.size() >= 7 && m[0] == 0 && m[1] == 0 && m[2] == 0;
            if (connect && m[3] % 2 == 0) {
                Reset(m);
                ++resets;
            } else {
                Send(m);
                connectsAsData += connect;
            }
        }

        // The sentinel: a request of an unknown class is answered with 130
        // and its parameter.
        const uint32_t param = ++m_sentinel;
        const Bytes probe = {3, 0, 9, uint8_t(param), uint8_t(param >> 8), uint8_t(param >> 16),
                             uint8_t(param >> 24)};
        Send(probe);
        const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
        auto resend = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        m_peerWasReset = false;
        int waitingForConnect = 0; // pumps with a channel waiting for the other's connect frame
        int waitingForAnswer = 0;  // pumps with the session not established
        for (bool answered = false; !answered;) {
            FUZZ_CHECK(std::chrono::steady_clock::now() < deadline,
                       "the session answers its peer after the input");
            Pump(true);
            for (const Bytes& r : Received())
                if (r.size() >= 8 && r[0] == 3 && r[1] == 1 && r[2] == 9 && r[3] == probe[3] &&
                    r[4] == probe[4] && r[5] == probe[5] && r[6] == probe[6])
                    answered = true;
            if (answered)
                break;
            // A reset in the input drops what was on the way: the probe
            // goes again once the link is back.
            if (m_peerWasReset) {
                m_peerWasReset = false;
                Send(probe);
            }
            if ((OlnkGetLinkState(m_channel) == 2 || OlnkGetLinkState(m_peer) == 2) &&
                ++waitingForConnect > 20) {
                LetTheResetTimeOut();
                waitingForConnect = 0;
            }
            // The session's connect message unanswered (it crossed a reset
            // of the peer's, whose upper layer here answers only a reset
            // of its channel): the second the session waits before it
            // resets again passes, as the clock stands still otherwise.
            if (!OxfrIsEstablished(m_session) && ++waitingForAnswer > 20) {
                m_ourClock += OLNK_ANSWER_WAIT_MS;
                waitingForAnswer = 0;
            }
            if (std::chrono::steady_clock::now() > resend) {
                Send(probe);
                resend = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
            }
        }

        // The probe's answer comes after every message before it was
        // dispatched, so the counter has seen them all.
        if (connectsAsData && !resets && running) {
            FUZZ_CHECK(m_sessionResets == sessionResets,
                       "a connect message in an ordinary frame leaves the session's channel running");
            FUZZ_CHECK(Malformed() >= malformed + uint64_t(connectsAsData),
                       "a connect message in an ordinary frame is counted as malformed");
        }

        if (getOpen)
            OxfrCancelJob(m_session, getJob);
        if (putOpen)
            OxfrCancelJob(m_session, putJob);
        Pump(false);
        Received();
    }

private:
    static std::vector<Bytes> Split(const uint8_t* data, size_t size)
    {
        std::vector<Bytes> out;
        size_t i = 0;
        while (i < size) {
            size_t n = size - i;
            if (n >= 2) {
                n = std::min<size_t>(size_t(data[i] | (data[i + 1] << 8)), OLNK_MAX_DATA);
                i += 2;
                n = std::min(n, size - i);
            }
            out.emplace_back(data + i, data + i + n);
            i += n;
        }
        return out;
    }

    // Sends through the peer channel, moving frames until a slot is free.
    void Send(const Bytes& m)
    {
        if (m.size() > OLNK_MAX_DATA)
            return;
        for (int tries = 0; tries < 10000; ++tries) {
            if (OlnkSend(m_peer, uint16_t(m.size()), m.data(), 1, 0) >= 0)
                return;
            Pump(true);
            Received();
            if (tries % 20 == 19)
                LetTheResetTimeOut();
        }
        const std::string why = "the session's channel takes the peer's frames (link states " +
                                std::to_string(OlnkGetLinkState(m_channel)) + " and " +
                                std::to_string(OlnkGetLinkState(m_peer)) + ", error " +
                                std::to_string(sys::GetLastError()) + ")";
        FUZZ_CHECK(false, why);
    }

    // Carrying data, with no reset under way (link state 0, or 3 after a
    // completed reset).
    static bool Running(OlnkChannel ch)
    {
        const int state = OlnkGetLinkState(ch);
        return state == 0 || state == 3;
    }

    uint64_t Malformed() const
    {
        OxfrCounters c;
        FUZZ_CHECK(OxfrGetCounters(m_session, &c) == 1, "the session gives its counters");
        return c.malformed;
    }

    // A connect message sent as a peer sends it: as the connect data of a
    // reset of the peer's running channel (link state 0), so that its
    // connect frame is numbered 1.
    void Reset(const Bytes& connectMessage)
    {
        for (int tries = 0; tries < 10000; ++tries) {
            const int state = OlnkGetLinkState(m_peer);
            if (state == 3) {
                // Within the time of the last reset: let it pass.
                m_peerClock += 10'001;
                OlnkCheckConnectTimeout(m_peer);
                continue;
            }
            if (state == 0) {
                // A reset connects at once and waits for nothing.
                FUZZ_CHECK(OlnkConnect(m_peer, uint16_t(connectMessage.size()),
                                       connectMessage.data()) == 1,
                           "the peer's channel resets");
                return;
            }
            Pump(true); // a reset is still under way
            Received();
            if (tries % 20 == 19)
                LetTheResetTimeOut();
        }
        FUZZ_CHECK(false, "the peer's channel resets");
    }

    // A channel still within the time of an earlier reset takes the other
    // side's new connect frame as a repeat until that time has passed
    // (docs/link-protocol.md, link states).  Then, and only then, its
    // clock moves on by that time instead of the harness waiting for it.
    void LetTheResetTimeOut()
    {
        const int ours = OlnkGetLinkState(m_channel), peer = OlnkGetLinkState(m_peer);
        if (ours == 2 && peer == 3) {
            m_peerClock += 10'001;
            OlnkCheckConnectTimeout(m_peer);
        }
        if (peer == 2 && ours == 3) {
            m_ourClock += 10'001;
            OlnkCheckConnectTimeout(m_channel);
        }
        // The session's running channel took the peer's new connect frame,
        // identical to the one of its last reset, for a late copy of that:
        // the peer sends it again a resend round later, and a second copy
        // after a frame of ours went out unacknowledged is its reset.
        if (peer == 2 && ours == 0) {
            m_peerClock += OLNK_RESEND_ROUND_MS;
            m_ourClock += OLNK_RESEND_ROUND_MS;
        }
    }

    // Moves the frames each way; with `wait`, first waits up to a
    // millisecond for the session's channel to have something to send.
    void Pump(bool wait)
    {
        if (wait) {
            pollfd p{OlnkGetSendEventFd(m_channel), POLLIN, 0};
            ::poll(&p, 1, 1);
            OlnkTakeSendEvent(m_channel);
        }
        ++m_turn;
        OlnkCheckConnectTimeout(m_channel);
        OlnkCheckConnectTimeout(m_peer);
        for (int round = 0; round < 4; ++round) {
            bool moved = Move(m_channel, m_peer);
            moved |= Move(m_peer, m_channel);
            if (!moved)
                break;
        }
        // The peer's upper layer: a reset by the session is answered with
        // the connect reply, as the control system does.
        if (OlnkGetLinkState(m_peer) == 1) {
            static const Bytes reply = {0, 1, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0};
            OlnkConnect(m_peer, uint16_t(reply.size()), reply.data());
            m_peerWasReset = true;
            ++m_sessionResets;
        }
    }

    bool Move(OlnkChannel from, OlnkChannel to)
    {
        bool moved = false;
        uint8_t frame[OLNK_MAX_FRAME];
        uint16_t len = 0;
        for (int i = 0; i < 64; ++i) {
            OlnkNextFrame(from, frame, &len, OlnkFrameMode::None);
            if (!len)
                break;
            OlnkReceiveBytes(to, std::span<const uint8_t>(frame, len));
            moved = true;
        }
        // Acknowledgements, and now and then a turn that resends what a
        // full ring refused.
        const OlnkFrameMode mode = m_turn % 8 == 0 ? OlnkFrameMode::Idle : OlnkFrameMode::Ack;
        if (mode == OlnkFrameMode::Idle || OlnkTakeAckNeeded(from)) {
            OlnkNextFrame(from, frame, &len, mode);
            if (len) {
                OlnkReceiveBytes(to, std::span<const uint8_t>(frame, len));
                moved = true;
            }
        }
        return moved;
    }

    std::vector<Bytes> Received()
    {
        std::vector<Bytes> out;
        Bytes buf(OLNK_MAX_DATA);
        uint16_t len = 0;
        while (OlnkReceive(m_peer, &len, OLNK_MAX_DATA, buf.data(), 0))
            out.emplace_back(buf.begin(), buf.begin() + std::min<size_t>(len, OLNK_MAX_DATA));
        return out;
    }

    std::string m_share, m_putFile, m_getFile;
    OlnkChannel m_channel = nullptr, m_peer = nullptr;
    OxfrSession m_session = nullptr;
    uint32_t m_sentinel = 0;
    uint64_t m_turn = 0;
    uint64_t m_sessionResets = 0; // resets of the session's channel that reached the peer
    bool m_peerWasReset = false;
    std::atomic<uint32_t> m_ourClock{1000}, m_peerClock{1000};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Peer peer;
    peer.Run(data, size);
    return 0;
}
