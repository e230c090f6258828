#include "link/oxfr/oxfr_messages.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace oxfr {

Bytes Header(uint8_t cls, uint8_t type, uint8_t code, uint32_t param)
{
    Bytes b = {cls, type, code};
    Put32(b, param);
    return b;
}

Bytes ConnectMessage()
{
    Bytes b = Header(0, 0, 0, 0);
    Put16(b, 4);
    Put16(b, 1);
    return b;
}

Bytes ConnectReply(uint32_t param, uint8_t status)
{
    Bytes b = Header(0, 1, 0, param);
    b.push_back(status);
    Put16(b, 4);
    Put16(b, 1);
    return b;
}

Bytes ShortReply(uint8_t cls, uint8_t code, uint32_t param, uint8_t status)
{
    Bytes b = Header(cls, 1, code, param);
    b.push_back(status);
    return b;
}

Bytes FileReply(uint8_t code, uint32_t param, uint8_t status, const uint8_t* data, size_t length)
{
    Bytes b = Header(2, 1, code, param);
    b.push_back(status);
    length = std::min(length, kMaxMessage - 10);
    Put16(b, uint16_t(length));
    if (length)
        b.insert(b.end(), data, data + length);
    return b;
}

Bytes TransferPlcRequest(uint32_t param, uint8_t sendJob, uint32_t imageSize)
{
    Bytes b = Header(1, 0, 2, param);
    b.push_back(sendJob);
    Put32(b, 0);
    Put16(b, 6);
    Put32(b, imageSize);
    return b;
}

static void PutPath(Bytes& b, std::string_view path)
{
    b.insert(b.end(), path.begin(), path.end());
    b.push_back(0);
}

Bytes FileRequest(uint8_t code, uint32_t param, std::string_view path)
{
    Bytes b = Header(2, 0, code, param);
    PutPath(b, path);
    return b;
}

Bytes FileRequest2(uint8_t code, uint32_t param, std::string_view source, std::string_view dest)
{
    Bytes b = Header(2, 0, code, param);
    PutPath(b, source);
    PutPath(b, dest);
    return b;
}

Bytes FileJobRequest(uint8_t code, uint32_t param, uint8_t job, std::string_view path)
{
    Bytes b = Header(2, 0, code, param);
    b.push_back(job);
    Put32(b, 0);
    PutPath(b, path);
    return b;
}

Bytes SizeMessage(uint8_t receiver, uint8_t sender, uint32_t total, uint16_t dosTime,
                  uint16_t dosDate)
{
    Bytes b = {0, 4, 1, receiver, 0};
    Put32(b, 0);
    Put16(b, 10);
    b.push_back(sender);
    b.push_back(0);
    Put32(b, total);
    Put16(b, dosTime);
    Put16(b, dosDate);
    return b;
}

Bytes DataMessage(uint8_t receiver, uint8_t status, uint32_t block, const uint8_t* data,
                  size_t length)
{
    Bytes b = {0, 4, 0, receiver, status};
    Put32(b, block);
    Put16(b, uint16_t(length));
    if (length)
        b.insert(b.end(), data, data + length);
    return b;
}

Bytes AckMessage(uint8_t sender, int8_t value, uint32_t number, uint8_t receiver)
{
    Bytes b = {0, 5, 0, sender, uint8_t(value)};
    Put32(b, number);
    b.push_back(receiver);
    b.push_back(0);
    return b;
}

Bytes InfoRecord(uint32_t flag, uint16_t dosTime, uint16_t dosDate, uint32_t size,
                 std::string_view shortName, std::string_view longName)
{
    longName = longName.substr(0, kMaxWirePath);
    Bytes b;
    Put16(b, uint16_t(longName.size() + 29));
    Put32(b, flag);
    Put16(b, dosTime);
    Put16(b, dosDate);
    Put32(b, size);
    uint8_t sn[14] = {};
    std::memcpy(sn, shortName.data(), std::min<size_t>(shortName.size(), 13));
    b.insert(b.end(), sn, sn + 14);
    b.insert(b.end(), longName.begin(), longName.end());
    b.push_back(0);
    return b;
}

static bool BadShortChar(unsigned char c)
{
    return c < 32 || c == ' ' || c == '.' || std::strchr("<>:\"|?*\\/", c) != nullptr;
}

bool IsValidShortName(std::string_view name)
{
    const size_t dot = name.find('.');
    std::string_view base = name.substr(0, dot);
    std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8)
        return false;
    if (dot != std::string_view::npos && (ext.empty() || ext.size() > 3))
        return false;
    for (unsigned char c : base)
        if (BadShortChar(c))
            return false;
    for (unsigned char c : ext)
        if (BadShortChar(c))
            return false;
    return true;
}

static std::string Filtered(std::string_view s, size_t max)
{
    std::string out;
    for (unsigned char c : s) {
        if (out.size() == max)
            break;
        if (c < 128 && (std::isalnum(c) || c == '_'))
            out.push_back(char(std::toupper(c)));
    }
    return out;
}

std::string ShortName(std::string_view longName)
{
    if (longName == "." || longName == ".." || IsValidShortName(longName))
        return std::string(longName);
    const size_t dot = longName.rfind('.');
    std::string_view base = longName, ext;
    bool hasExt = false;
    if (dot != std::string_view::npos && dot != 0) {
        base = longName.substr(0, dot);
        ext = longName.substr(dot + 1);
        hasExt = true;
    }
    std::string b = Filtered(base, 6);
    if (b.empty())
        b.push_back('_');
    b += "~1";
    if (hasExt) {
        const std::string e = Filtered(ext, 3);
        if (!e.empty())
            b += "." + e;
    }
    return b;
}

} // namespace oxfr
