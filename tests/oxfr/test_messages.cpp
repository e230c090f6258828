// Golden bytes of the session's messages: built by the library's builders,
// sent by real sessions and parsed back.

#include "oxfr_test_util.h"

#include "link/oxfr/oxfr_server.h"
#include "platform/sys/Time.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace oxfrtest;
using oxfr::Bytes;

namespace {

Bytes H(const char* hex)
{
    Bytes b;
    for (const char* p = hex; *p;) {
        while (*p == ' ')
            ++p;
        if (!*p)
            break;
        b.push_back(uint8_t(std::stoi(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return b;
}

void SetStamp(const std::string& path)
{
    sys::FileTime ft;
    ASSERT_TRUE(sys::DosDateTimeToFileTime(0x586F, 0x6DAF, ft));
    struct timespec ts[2];
    ts[0].tv_sec = ts[1].tv_sec = time_t(sys::FileTimeToUnix(ft));
    ts[0].tv_nsec = ts[1].tv_nsec = 0;
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), ts, 0), 0);
}

} // namespace

TEST(OxfrMessages, BuildersGiveTheDocumentedBytes)
{
    EXPECT_EQ(HexText(oxfr::Header(1, 0, 7, 5)), "01 00 07 05 00 00 00");
    Bytes backup = oxfr::Header(1, 0, 10, 9);
    backup.push_back(0);
    EXPECT_EQ(HexText(backup), "01 00 0A 09 00 00 00 00");
    EXPECT_EQ(HexText(oxfr::TransferPlcRequest(2, 3, 0x1234)),
              "01 00 02 02 00 00 00 03 00 00 00 00 06 00 34 12 00 00");
    EXPECT_EQ(HexText(oxfr::ConnectMessage()), "00 00 00 00 00 00 00 04 00 01 00");
    EXPECT_EQ(HexText(oxfr::ConnectReply(0, 0)), "00 01 00 00 00 00 00 00 04 00 01 00");
    EXPECT_EQ(HexText(oxfr::ShortReply(1, 7, 5, 129)), "01 01 07 05 00 00 00 81");
    EXPECT_EQ(HexText(oxfr::ShortReply(3, 9, 7, 130)), "03 01 09 07 00 00 00 82");
    EXPECT_EQ(HexText(oxfr::FileReply(9, 10, 129)), "02 01 09 0A 00 00 00 81 00 00");
    EXPECT_EQ(HexText(oxfr::FileJobRequest(4, 1, 0x80, "\\DATA\\a.txt")),
              "02 00 04 01 00 00 00 80 00 00 00 00 5C 44 41 54 41 5C 61 2E 74 78 74 00");
    EXPECT_EQ(HexText(oxfr::FileReply(4, 1, 245)), "02 01 04 01 00 00 00 F5 00 00");
    EXPECT_EQ(HexText(oxfr::SizeMessage(0x80, 5, 2024, 0x6DAF, 0x586F)),
              "00 04 01 80 00 00 00 00 00 0A 00 05 00 E8 07 00 00 AF 6D 6F 58");
    EXPECT_EQ(HexText(oxfr::AckMessage(5, 20, 0, 0x80)), "00 05 00 05 14 00 00 00 00 80 00");
    Bytes block(512, 0x41);
    Bytes d0 = oxfr::DataMessage(0x80, 0, 0, block.data(), 512);
    EXPECT_EQ(HexText(Bytes(d0.begin(), d0.begin() + 11)), "00 04 00 80 00 00 00 00 00 00 02");
    Bytes d3 = oxfr::DataMessage(0x80, 0, 3, block.data(), 488);
    EXPECT_EQ(d3.size(), 11u + 488);
    EXPECT_EQ(HexText(Bytes(d3.begin(), d3.begin() + 11)), "00 04 00 80 00 03 00 00 00 E8 01");
    EXPECT_EQ(HexText(oxfr::DataMessage(0x80, 0, 4, nullptr, 0)), "00 04 00 80 00 04 00 00 00 00 00");
    EXPECT_EQ(HexText(oxfr::AckMessage(5, 0, 5, 0x80)), "00 05 00 05 00 05 00 00 00 80 00");
    EXPECT_EQ(HexText(oxfr::FileJobRequest(6, 2, 3, "\\DATA\\b.bin")),
              "02 00 06 02 00 00 00 03 00 00 00 00 5C 44 41 54 41 5C 62 2E 62 69 6E 00");
    EXPECT_EQ(HexText(oxfr::AckMessage(3, 20, 0, 0x81)), "00 05 00 03 14 00 00 00 00 81 00");
    EXPECT_EQ(HexText(oxfr::InfoRecord(0, 0x6DAF, 0x586F, 2024, "A.TXT", "A.TXT")),
              "22 00 00 00 00 00 AF 6D 6F 58 E8 07 00 00 41 2E 54 58 54 00 00 00 00 00 00 00 00 00 "
              "41 2E 54 58 54 00");
}

TEST(OxfrMessages, TheFirstFrameOfASession)
{
    size_t n = 0;
    const uint8_t* d = OxfrConnectData(&n);
    OlnkChannel ch = OlnkCreateChannel(20, std::span<const uint8_t>(d, n));
    Bytes frame(OLNK_MAX_FRAME);
    uint16_t len = 0;
    OlnkNextFrame(ch, frame.data(), &len, OlnkFrameMode::None);
    frame.resize(len);
    EXPECT_EQ(HexText(frame),
              "F9 FD 0A 01 80 0B 0C 01 04 B0 00 00 00 00 00 00 00 04 00 01 00 FE 00 04");
    OlnkDestroyChannel(ch);
}

TEST(OxfrMessages, RequestsOnTheWire)
{
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    Bytes m;
    ASSERT_EQ(OlnkRequestStopPLC(sp.s, 5), 1);
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(HexText(m), "01 00 07 05 00 00 00");
    ASSERT_EQ(OlnkRequestBackupPLCData(sp.s, 9, 0), 1);
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(HexText(m), "01 00 0A 09 00 00 00 00");
    const uint8_t block[6] = {6, 0, 1, 2, 3, 4};
    ASSERT_EQ(OlnkRequestWatch(sp.s, 1, block), 1);
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(m.size(), 13u);
    EXPECT_EQ(HexText(m), "01 00 10 01 00 00 00 06 00 01 02 03 04");
    const uint8_t regs[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(OlnkRequestSetRegs(sp.s, 2, regs), 1);
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(m.size(), 12u);
    const uint8_t words[8] = {1, 0, 0, 0, 2, 0, 0, 0};
    ASSERT_EQ(OlnkRequestSetVarBits(sp.s, 3, words), 1);
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(m.size(), 15u);
    // A missing local folder: the system code, nothing sent.
    EXPECT_EQ(OxfrGetA(sp.s, 1, nullptr, 0, nullptr, "\\DATA\\a.txt", "/nonexistent-oxfr/x"), 0);
    EXPECT_EQ(sys::GetLastError(), uint32_t(ENOENT));
    // An over-long remote path: 555, nothing sent.
    EXPECT_EQ(OxfrDeleteA(sp.s, 1, ("\\DATA\\" + std::string(254, 'a')).c_str()), 0);
    EXPECT_EQ(sys::GetLastError(), 555u);
    // Bad blocks are refused and nothing is sent.
    const uint8_t small[2] = {1, 0};
    EXPECT_EQ(OlnkRequestWatch(sp.s, 1, small), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_INVALIDARG);
    const uint8_t big[2] = {0xF9, 0x03}; // 1017
    EXPECT_EQ(OlnkRequestWatch(sp.s, 1, big), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_INVALIDARG);
    EXPECT_FALSE(sp.peer->Receive(m, 200));
}

TEST(OxfrMessages, FixedAnswersOnTheWire)
{
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    Bytes m;
    ASSERT_TRUE(sp.peer->Send(H("01 00 07 05 00 00 00")));
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(HexText(m), "01 01 07 05 00 00 00 81");
    ASSERT_TRUE(sp.peer->Send(H("03 00 09 07 00 00 00")));
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(HexText(m), "03 01 09 07 00 00 00 82");
    ASSERT_TRUE(sp.peer->Send(H("02 00 09 0A 00 00 00")));
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(HexText(m), "02 01 09 0A 00 00 00 81 00 00");
    ASSERT_TRUE(sp.peer->Send(H("00 00 04 0B 00 00 00")));
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(HexText(m), "00 01 04 0B 00 00 00 81");
    // The read request for a share that does not exist: refused with 245.
    ASSERT_TRUE(sp.peer->Send(oxfr::FileJobRequest(4, 1, 0x80, "\\DATA\\a.txt")));
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(HexText(m), "02 01 04 01 00 00 00 F5 00 00");
    // Answers are never answered: one answer each, nothing more.
    ASSERT_TRUE(sp.peer->Send(H("03 01 09 07 00 00 00 82")));
    ASSERT_TRUE(sp.peer->Send(H("00 01 04 0B 00 00 00 81")));
    EXPECT_FALSE(sp.peer->Receive(m, 300));
}

TEST(OxfrMessages, FileInformationReply)
{
    testsupport::TempDir dir;
    dir.Write("A.TXT", std::string(2024, 'x'));
    SetStamp(dir / "A.TXT");
    oxfr::ShareTable t;
    ASSERT_EQ(t.Add(dir.Path(), "DATA", 0), 0u);
    const Bytes req = oxfr::FileRequest(5, 7, "\\DATA\\A.TXT");
    EXPECT_EQ(HexText(oxfr::ServeSimple(t.List(), req.data(), req.size())),
              "02 01 05 07 00 00 00 00 22 00 22 00 00 00 00 00 AF 6D 6F 58 E8 07 00 00 41 2E 54 "
              "58 54 00 00 00 00 00 00 00 00 00 41 2E 54 58 54 00");
}
