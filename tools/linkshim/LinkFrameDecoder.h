#pragma once
// Splits captured link bytes (a serial byte stream or UDP datagrams) into
// frames and unstuffed messages, for the simulator's targeted faults and
// for test assertions.  Written separately from the channel's receiver so
// that tests check the wire against an independent reading of the frame
// format (docs/link-protocol.md).

#include <cstdint>
#include <span>
#include <vector>

namespace linkshim {

struct DecodedFrame
{
    uint8_t ack = 0;       // byte 4
    uint16_t control = 0;  // bytes 5-6
    uint8_t seq = 0;       // byte 7
    bool headerOk = false; // header check
    bool dataOk = false;   // data check
    std::vector<uint8_t> data; // unstuffed

    bool reliable() const { return control & 0x400; }
    bool connect() const { return control & 0x800; }
    bool isAck() const { return ack & 0x80; }
    uint8_t ackNumber() const { return ack & 0x7F; }
};

class LinkFrameDecoder
{
public:
    // Feeds stream bytes; complete frames become available from Take().
    void Feed(std::span<const uint8_t> bytes);
    std::vector<DecodedFrame> Take();
    // Bytes skipped while hunting for a frame start.
    uint64_t Skipped() const { return m_skipped; }

    // Decodes one datagram: the frames it holds (normally one).
    static std::vector<DecodedFrame> DecodeDatagram(std::span<const uint8_t> bytes);
    // The link's 16-bit check, bit by bit.
    static uint16_t Check(std::span<const uint8_t> bytes);

private:
    // Tries to decode a frame at the start of m_buf: consumed bytes, 0 when
    // more are needed.
    size_t TryDecode(DecodedFrame& out, bool& isFrame);

    std::vector<uint8_t> m_buf;
    std::vector<DecodedFrame> m_frames;
    uint64_t m_skipped = 0;
};

} // namespace linkshim
