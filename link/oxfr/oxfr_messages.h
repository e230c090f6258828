#pragma once
// Builders of the session's messages (little-endian), shared by the session,
// the jobs, the server and the tests.  See docs/link-protocol.md.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace oxfr {

using Bytes = std::vector<uint8_t>;

constexpr size_t kMaxMessage = 1023;
constexpr size_t kMaxBlockData = 1012;
constexpr size_t kMaxWirePath = 259;
constexpr size_t kMaxRequestBlock = 1016;
constexpr uint32_t kRingBlocks = 20;

inline uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t U32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put16(Bytes& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

// class, type, code, u32 parameter.
Bytes Header(uint8_t cls, uint8_t type, uint8_t code, uint32_t param);
// 11 bytes: 0, 0, 0, u32 0, u16 4, u16 1.
Bytes ConnectMessage();
// 12 bytes: 0, 1, 0, u32 parameter, status, u16 4, u16 1.
Bytes ConnectReply(uint32_t param, uint8_t status);
// 8 bytes: class, 1, code, parameter, status.
Bytes ShortReply(uint8_t cls, uint8_t code, uint32_t param, uint8_t status);
// 10 bytes and the data: 2, 1, code, parameter, status, u16 length, data.
Bytes FileReply(uint8_t code, uint32_t param, uint8_t status, const uint8_t* data = nullptr,
                size_t length = 0);
// 18 bytes: 1, 0, 2, parameter, sender id, 4 zeros, u16 6, u32 size.
Bytes TransferPlcRequest(uint32_t param, uint8_t sendJob, uint32_t imageSize);
// Class 2 requests.  The wire paths are code-page-1250 bytes (no zero).
Bytes FileRequest(uint8_t code, uint32_t param, std::string_view path);
Bytes FileRequest2(uint8_t code, uint32_t param, std::string_view source, std::string_view dest);
Bytes FileJobRequest(uint8_t code, uint32_t param, uint8_t job, std::string_view path);
// 21 bytes: 0, 4, 1, receiver, 0, u32 0, u16 10, sender, 0, u32 total, u16 time, u16 date.
Bytes SizeMessage(uint8_t receiver, uint8_t sender, uint32_t total, uint16_t dosTime,
                  uint16_t dosDate);
// 0, 4, 0, receiver, status, u32 block, u16 n, data (n = 0: the final message).
Bytes DataMessage(uint8_t receiver, uint8_t status, uint32_t block, const uint8_t* data,
                  size_t length);
// 11 bytes: 0, 5, 0, sender, value, u32 number, receiver, 0.
Bytes AckMessage(uint8_t sender, int8_t value, uint32_t number, uint8_t receiver);

// The information record: u16 length (= long name + 29), u32 flag, u16 time,
// u16 date, u32 size, 14-byte short name with its zero, long name and zero.
// Names are wire bytes; the long name is cut to 259 bytes.
Bytes InfoRecord(uint32_t flag, uint16_t dosTime, uint16_t dosDate, uint32_t size,
                 std::string_view shortName, std::string_view longName);
// The 8.3 name of a long wire name (see docs/link-protocol.md).
std::string ShortName(std::string_view longName);
bool IsValidShortName(std::string_view name);

} // namespace oxfr
