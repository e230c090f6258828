// The pure pieces of the link object: watch merge and cut, the request
// blocks, the callers' block checks, push pairing and the local reads, and
// the file-information conversion.
#include "link/linkobj/olnk_link_logic.h"
#include "platform/sys/CodePage.h"
#include "tests/support/link/LinkTestText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace linkobj;

using testsupport::HexText;

namespace {
std::vector<WatchEntry> Sorted(std::initializer_list<WatchEntry> in)
{
    std::vector<WatchEntry> l;
    for (const auto& e : in)
        EXPECT_TRUE(InsertWatch(l, e));
    return l;
}
} // namespace

TEST(LinkLogic, WatchMergeJoinsTouchingAndOverlappingRangesOfOneArea)
{
    EXPECT_EQ(MergeWatch(Sorted({{1, 100, 4}, {1, 104, 2}})), (std::vector<WatchEntry>{{1, 100, 6}}));
    EXPECT_EQ(MergeWatch(Sorted({{1, 100, 4}, {2, 102, 2}})),
              (std::vector<WatchEntry>{{1, 100, 4}, {2, 102, 2}}));
    // Overlap, containment, a gap, and order of insertion does not matter.
    EXPECT_EQ(MergeWatch(Sorted({{1, 103, 4}, {1, 100, 4}, {1, 101, 1}, {1, 108, 1}})),
              (std::vector<WatchEntry>{{1, 100, 7}, {1, 108, 1}}));
    // Never beyond 65 535 bytes.
    EXPECT_EQ(MergeWatch(Sorted({{1, 0, 65000}, {1, 65000, 1000}})),
              (std::vector<WatchEntry>{{1, 0, 65000}, {1, 65000, 1000}}));
    // Near the top of the address space without overflow.
    EXPECT_EQ(MergeWatch(Sorted({{1, 0xFFFFFFF0u, 8}, {1, 0xFFFFFFF8u, 8}})),
              (std::vector<WatchEntry>{{1, 0xFFFFFFF0u, 16}}));
}

TEST(LinkLogic, WatchBlockLayoutAndCutAt126)
{
    const Bytes b = WatchBlock(MergeWatch(Sorted({{1, 100, 4}, {1, 104, 2}, {1, 102, 2}})), 200);
    EXPECT_EQ(HexText(b), "0E 00 C8 00 01 00 64 00 00 00 01 00 06 00");
    std::vector<WatchEntry> many;
    for (uint32_t i = 0; i < 130; ++i)
        many.push_back({1, i * 10, 2});
    const Bytes c = WatchBlock(many, 100000);
    ASSERT_EQ(c.size(), 6u + 8 * 126);
    EXPECT_EQ(c[0] | c[1] << 8, 6 + 8 * 126);
    EXPECT_EQ(c[2] | c[3] << 8, 65535); // the period clamped
    EXPECT_EQ(c[4] | c[5] << 8, 126);
}

TEST(LinkLogic, ListsAreBoundedMultisets)
{
    std::vector<WatchEntry> w;
    for (size_t i = 0; i < kMaxWatchEntries; ++i)
        ASSERT_TRUE(InsertWatch(w, {1, 5, 1}));
    EXPECT_FALSE(InsertWatch(w, {1, 5, 1}));
    EXPECT_TRUE(RemoveWatch(w, {1, 5, 1}));
    EXPECT_EQ(w.size(), kMaxWatchEntries - 1);
    EXPECT_FALSE(RemoveWatch(w, {1, 5, 2}));
    std::vector<MechEntry> m;
    for (int i = 0; i < 512; ++i)
        ASSERT_TRUE(InsertMech(m, {5, 1}));
    EXPECT_FALSE(InsertMech(m, {5, 1}));

    // Two views watching line 7: removing one view's line keeps the other's.
    std::vector<uint32_t> lines;
    InsertLine(lines, 9);
    InsertLine(lines, 7);
    InsertLine(lines, 7);
    EXPECT_TRUE(RemoveLine(lines, 7));
    EXPECT_EQ(DistinctLines(lines), (std::vector<uint32_t>{7, 9}));
    EXPECT_EQ(HexText(LineBlock(DistinctLines(lines), 250)), "0E 00 FA 00 02 00 07 00 00 00 09 00 00 00");

    std::vector<MechEntry> mech;
    InsertMech(mech, {0x40, 3});
    InsertMech(mech, {0x40, 3});
    InsertMech(mech, {0x10, 9});
    EXPECT_EQ(HexText(MechBlock(DistinctMech(mech), 500)),
              "12 00 F4 01 02 00 10 00 00 00 09 00 40 00 00 00 03 00");
    std::vector<MechEntry> big;
    for (uint32_t i = 0; i < 200; ++i)
        big.push_back({i, 1});
    EXPECT_EQ(MechBlock(big, 1).size(), 6u + 6 * 168);
    std::vector<uint32_t> bigLines(200);
    for (uint32_t i = 0; i < 200; ++i)
        bigLines[i] = i + 1;
    EXPECT_EQ(LineBlock(bigLines, 1).size(), 6u + 4 * 168);
}

TEST(LinkLogic, BreakpointBlocksAndCallersBlocks)
{
    EXPECT_EQ(HexText(BreakpointBlock({99, 17})), "0C 00 02 00 11 00 00 00 63 00 00 00");
    EXPECT_EQ(HexText(BreakpointBlock({})), "04 00 00 00");
    std::vector<uint32_t> idx;
    const uint8_t good[] = {0x08, 0, 1, 0, 5, 0, 0, 0};
    ASSERT_TRUE(ParseBreakpointBlock(good, idx));
    EXPECT_EQ(idx, (std::vector<uint32_t>{5}));
    const uint8_t badLen[] = {0x0C, 0, 1, 0, 5, 0, 0, 0};
    EXPECT_FALSE(ParseBreakpointBlock(badLen, idx));
    Bytes tooMany{uint8_t((4 + 4 * 254) & 0xFF), uint8_t((4 + 4 * 254) >> 8), 254, 0};
    tooMany.resize(4 + 4 * 254);
    EXPECT_FALSE(ParseBreakpointBlock(tooMany.data(), idx));
    EXPECT_FALSE(ParseBreakpointBlock(nullptr, idx));

    const uint8_t getVar[] = {10, 0, 0, 2, 0, 0, 3, 0, 2, 0};
    EXPECT_TRUE(ValidGetVar(getVar));
    const uint8_t getVar11[] = {11, 0, 0, 2, 0, 0, 3, 0, 2, 0, 0};
    EXPECT_FALSE(ValidGetVar(getVar11));
    const uint8_t setVar[] = {12, 0, 0, 2, 0, 0, 3, 0, 2, 0, 0x34, 0x12};
    EXPECT_TRUE(ValidSetVar(setVar));
    const uint8_t setVarSizeWrong[] = {12, 0, 0, 2, 0, 0, 3, 0, 3, 0, 0x34, 0x12};
    EXPECT_FALSE(ValidSetVar(setVarSizeWrong));
    const uint8_t setVar19[] = {19, 0, 0, 2, 0, 0, 3, 0, 9, 0};
    EXPECT_FALSE(ValidSetVar(setVar19));
    const uint8_t getMech[] = {12, 0, 0, 0, 1, 0, 0x40, 0, 0, 0, 3, 0};
    EXPECT_TRUE(ValidGetMech(getMech));
    const uint8_t getMech0[] = {6, 0, 0, 0, 0, 0};
    EXPECT_FALSE(ValidGetMech(getMech0));
    const uint8_t setMech[] = {9, 0, 0x40, 0, 0, 0, 3, 0, 1};
    EXPECT_TRUE(ValidSetMech(setMech));
    const uint8_t regs[] = {10, 0, 0, 0, 1, 0, 57, 0, 0, 0};
    EXPECT_TRUE(ValidGetRegsOnLine(regs));
    const uint8_t regs2[] = {10, 0, 0, 0, 2, 0, 57, 0, 0, 0};
    EXPECT_FALSE(ValidGetRegsOnLine(regs2));
}

TEST(LinkLogic, PushesPairWithTheLatestRequest)
{
    PushState st;
    const uint8_t data[] = {1, 0, 0, 7};
    EXPECT_FALSE(st.Push(0x105, data, 4)); // nothing sent yet
    st.Sent(0x105);
    EXPECT_FALSE(st.Reply(0x106, 0));
    EXPECT_TRUE(st.Reply(0x105, 0));
    EXPECT_TRUE(st.Push(0x105, data, 4));
    st.Sent(0x205);
    EXPECT_FALSE(st.pushHeld);
    EXPECT_FALSE(st.Push(0x105, data, 4)); // a late push of the older list
    EXPECT_FALSE(st.pushHeld);
}

// The control system fell silent: the pushes read -122 until the next push
// of the latest request, a new request or a loss; a list never sent stays
// as it was, and a refused request's own status still comes first.
TEST(LinkLogic, PushesOfASilentControlSystemReadNotCurrentUntilTheNextPush)
{
    std::vector<WatchEntry> list{{1, 0x10, 1}};
    std::vector<MechEntry> mech{{0x40, 3}};
    uint8_t out[1] = {};
    MechStateRecord r{};
    PushState never;
    never.Quiet(OLNK_STATUS_NO_ANSWER);
    EXPECT_EQ(never.quiet, 0);

    PushState st, ms;
    st.Sent(5);
    ms.Sent(6);
    const uint8_t push[] = {1, 0, 0, 42};
    const uint8_t mpush[] = {1, 0, 1, 57, 0, 0, 0};
    ASSERT_TRUE(st.Push(5, push, sizeof push));
    ASSERT_TRUE(ms.Push(6, mpush, sizeof mpush));
    st.Quiet(OLNK_STATUS_NO_ANSWER);
    ms.Quiet(OLNK_STATUS_NO_ANSWER);
    EXPECT_EQ(ReadWatchValue(list, list, st, 1, 0x10, 1, out, 1), OLNK_STATUS_NO_ANSWER);
    EXPECT_EQ(ReadMechState(mech, mech, ms, 3, 0x40, &r), OLNK_STATUS_NO_ANSWER);
    EXPECT_FALSE(st.Push(4, push, sizeof push)); // an older list's push: still silent
    EXPECT_EQ(ReadWatchValue(list, list, st, 1, 0x10, 1, out, 1), OLNK_STATUS_NO_ANSWER);
    // The next push: current again.
    ASSERT_TRUE(st.Push(5, push, sizeof push));
    EXPECT_EQ(ReadWatchValue(list, list, st, 1, 0x10, 1, out, 1), 0);
    EXPECT_EQ(out[0], 42);
    // A new request: no push yet (-1); a loss: the loss's status.
    ms.Sent(7);
    EXPECT_EQ(ReadMechState(mech, mech, ms, 3, 0x40, &r), -1);
    st.Quiet(OLNK_STATUS_NO_ANSWER);
    st.Lost(-123);
    EXPECT_EQ(ReadWatchValue(list, list, st, 1, 0x10, 1, out, 1), -123);
    // A refused request's status comes first.
    PushState refused;
    refused.Sent(8);
    refused.Reply(8, -4);
    refused.Quiet(OLNK_STATUS_NO_ANSWER);
    EXPECT_EQ(ReadWatchValue(list, list, refused, 1, 0x10, 1, out, 1), -4);
}

TEST(LinkLogic, WatchValueChecksInOrder)
{
    std::vector<WatchEntry> list = Sorted({{1, 100, 4}, {1, 104, 2}, {2, 0, 1}});
    std::vector<WatchEntry> sent = MergeWatch(list); // {1,100,6}, {2,0,1}
    PushState st;
    uint8_t out[8] = {};
    EXPECT_EQ(ReadWatchValue(list, sent, st, 1, 50, 1, out, 8), -1); // not in the list
    st.Sent(0x10);
    EXPECT_EQ(ReadWatchValue(list, sent, st, 1, 104, 1, out, 8), -1); // no push yet
    // push: n 2; entry 0 status 0 + 6 bytes; entry 1 status -2 + 1 byte
    const uint8_t push[] = {2, 0, 0, 1, 2, 3, 4, 5, 6, 0xFE, 0};
    ASSERT_TRUE(st.Push(0x10, push, sizeof push));
    EXPECT_EQ(ReadWatchValue(list, sent, st, 1, 104, 1, out, 8), 0);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 6);
    EXPECT_EQ(ReadWatchValue(list, sent, st, 1, 100, 1, out, 8), 0);
    EXPECT_EQ(std::memcmp(out, "\1\2\3\4", 4), 0);
    EXPECT_EQ(ReadWatchValue(list, sent, st, 1, 100, 1, out, 3), -1); // does not fit
    EXPECT_EQ(ReadWatchValue(list, sent, st, 2, 0, 1, out, 8), -2);   // the entry's own status
    st.Reply(0x10, -4);
    EXPECT_EQ(ReadWatchValue(list, sent, st, 1, 100, 1, out, 8), -4); // the Watch refused
    // A short push never reads beyond its end.
    PushState shortSt;
    shortSt.Sent(1);
    const uint8_t cut[] = {2, 0, 0, 1, 2};
    shortSt.Push(1, cut, sizeof cut);
    EXPECT_EQ(ReadWatchValue(list, sent, shortSt, 1, 100, 1, out, 8), -1);

    // The 127th merged entry was not sent.
    std::vector<WatchEntry> many;
    for (uint32_t i = 0; i < 127; ++i)
        InsertWatch(many, {1, i * 10, 2});
    PushState m;
    m.Sent(3);
    EXPECT_EQ(ReadWatchValue(many, MergeWatch(many), m, 1, 1260, 1, out, 8), -3);
    EXPECT_EQ(ReadWatchValue(many, MergeWatch(many), m, 1, 1250, 1, out, 8), -1);
}

TEST(LinkLogic, WatchValueReadsTheEntryOfTheCallersLength)
{
    // A Byte and a Word watched at one address: each row reads its own length.
    std::vector<WatchEntry> list = Sorted({{1, 0x10, 2}, {1, 0x10, 1}});
    std::vector<WatchEntry> sent = MergeWatch(list);  // {1, 0x10, 2}
    ASSERT_EQ(sent.size(), 1u);
    PushState st;
    st.Sent(5);
    const uint8_t push[] = {1, 0, 0, 0x34, 0x12};
    ASSERT_TRUE(st.Push(5, push, sizeof push));
    uint8_t word[2] = {};
    EXPECT_EQ(ReadWatchValue(list, sent, st, 1, 0x10, 1, word, 2), 0);
    EXPECT_EQ(word[0], 0x34);
    EXPECT_EQ(word[1], 0x12);
    uint8_t byte[1] = {};
    EXPECT_EQ(ReadWatchValue(list, sent, st, 1, 0x10, 1, byte, 1), 0);
    EXPECT_EQ(byte[0], 0x34);
    // No entry of the caller's length: the first at the address, as before
    // (the Byte's length fits an 8-byte buffer).
    uint8_t wide[8] = {};
    EXPECT_EQ(ReadWatchValue(list, sent, st, 1, 0x10, 1, wide, 8), 0);
    EXPECT_EQ(wide[0], 0x34);
    EXPECT_EQ(wide[1], 0);
}

TEST(LinkLogic, MechanismAndLineReads)
{
    std::vector<MechEntry> mech{{0x40, 3}};
    PushState st;
    st.Sent(7);
    MechStateRecord r{};
    EXPECT_EQ(ReadMechState(mech, mech, st, 3, 0x40, &r), -1);
    const uint8_t push[] = {1, 0, 1, 57, 0, 0, 0};
    st.Push(7, push, sizeof push);
    EXPECT_EQ(ReadMechState(mech, mech, st, 3, 0x40, &r), 0);
    EXPECT_EQ(r.running, 1);
    EXPECT_EQ(uint32_t{r.index}, 57u);
    EXPECT_EQ(ReadMechState(mech, mech, st, 4, 0x40, &r), -1);

    std::vector<uint32_t> lines{57};
    PushState ls;
    ls.Sent(9);
    const uint8_t lp[] = {1, 0, 0, 1, 5, 0, 0, 0};
    ls.Push(9, lp, sizeof lp);
    LineRegsRecord lr{};
    EXPECT_EQ(ReadLineRegs(lines, lines, ls, 57, &lr), 0);
    EXPECT_EQ(lr.activity, 0);
    EXPECT_EQ(lr.rlo, 1);
    EXPECT_EQ(int32_t{lr.dr}, 5);
    ls.Reply(9, -3);
    EXPECT_EQ(ReadLineRegs(lines, lines, ls, 57, &lr), -3);
    std::vector<uint32_t> many(169);
    for (uint32_t i = 0; i < 169; ++i)
        many[i] = i + 1;
    EXPECT_EQ(ReadLineRegs(many, many, ls, 169, &lr), -3);
}

TEST(LinkLogic, FileInformationConversion)
{
    // "A.TXT", 2024 bytes, 15 March 2024 13:45:30 (the documented vector).
    const uint8_t rec[] = {0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAF, 0x6D, 0x6F, 0x58, 0xE8, 0x07,
                           0x00, 0x00, 0x41, 0x2E, 0x54, 0x58, 0x54, 0x00, 0x00, 0x00, 0x00, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0x41, 0x2E, 0x54, 0x58, 0x54, 0x00};
    FileListRecord f;
    ASSERT_TRUE(ConvertFileInfo(rec, sizeof rec, f));
    EXPECT_EQ(sizeof f, 554u);
    EXPECT_EQ(offsetof(FileListRecord, name), 42u);
    EXPECT_EQ(uint16_t{f.length}, 554);
    EXPECT_EQ(uint32_t{f.folder}, 0u);
    EXPECT_EQ(uint16_t{f.dosTime}, 0x6DAF);
    EXPECT_EQ(uint16_t{f.dosDate}, 0x586F);
    EXPECT_EQ(uint32_t{f.size}, 2024u);
    EXPECT_EQ(std::u16string(f.shortName), u"A.TXT");
    EXPECT_EQ(std::u16string(f.name), u"A.TXT");

    // Code page 1250 names become UTF-16.
    Bytes cz(rec, rec + sizeof rec);
    cz[28] = 0x9A; // š
    ASSERT_TRUE(ConvertFileInfo(cz.data(), cz.size(), f));
    EXPECT_EQ(std::u16string(f.name), u"\u0161.TXT");

    // Malformed: length below 29, beyond the data, a name without its zero.
    Bytes bad(rec, rec + sizeof rec);
    bad[0] = 28;
    EXPECT_FALSE(ConvertFileInfo(bad.data(), bad.size(), f));
    EXPECT_FALSE(ConvertFileInfo(rec, sizeof rec - 1, f));
    bad = Bytes(rec, rec + sizeof rec);
    bad.back() = 'X';
    EXPECT_FALSE(ConvertFileInfo(bad.data(), bad.size(), f));
    bad = Bytes(rec, rec + sizeof rec);
    std::memset(bad.data() + 14, 'S', 14);
    EXPECT_FALSE(ConvertFileInfo(bad.data(), bad.size(), f));

    // A long name is cut to 255 characters and marked, so that the cut
    // name (another file's name, perhaps) is never taken as a path; one of
    // exactly 255 is kept whole.
    auto named = [&](size_t n) {
        Bytes r(rec, rec + 28);
        r.insert(r.end(), n, 'n');
        r.push_back(0);
        r[0] = uint8_t((29 + n) & 0xFF);
        r[1] = uint8_t((29 + n) >> 8);
        return r;
    };
    Bytes longRec = named(300);
    ASSERT_TRUE(ConvertFileInfo(longRec.data(), longRec.size(), f));
    EXPECT_EQ(std::u16string(f.name).size(), 255u);
    EXPECT_EQ(f.name[254], linkobj::kCutNameMark);
    EXPECT_FALSE(linkobj::IsPlainRemoteName(f.name));
    EXPECT_EQ(linkobj::VisibleRemoteName(f.name), std::u16string(254, u'n') + u"?");
    longRec = named(255);
    ASSERT_TRUE(ConvertFileInfo(longRec.data(), longRec.size(), f));
    EXPECT_EQ(std::u16string(f.name), std::u16string(255, u'n'));
    EXPECT_TRUE(linkobj::IsPlainRemoteName(f.name));
}

TEST(LinkLogic, OnlyPlainNamesFromTheControlSystemAreJoinedOntoAPath)
{
    using linkobj::IsPlainRemoteName;
    using linkobj::VisibleRemoteName;
    for (const std::u16string_view good :
         {u"a", u"A.TXT", u"...", u".profile", u"a b", u"n.", u"\u0161\u010D.plc", u"x~1", u"*?<>|\""})
        EXPECT_TRUE(IsPlainRemoteName(good)) << sys::Utf16ToUtf8Lenient(good);
    EXPECT_TRUE(IsPlainRemoteName(std::u16string(255, u'x')));

    const std::u16string withNul(u"a\0../x", 6);
    const std::u16string_view bad[] = {
        u"", u".", u"..", u"../../x", u"/../../../home/user/.profile", u"a\\..\\..\\x", u"a/b", u"\\",
        u"/", u"..\\x", u"C:x", u"c:\\x", u"a:b", withNul, std::u16string_view(u"\0", 1), u"a\nb",
        u"\x1F", u"tab\t", u"\r", u"del\x7F", u"\x7F"};
    for (const std::u16string_view b : bad)
        EXPECT_FALSE(IsPlainRemoteName(b)) << sys::Utf16ToUtf8Lenient(VisibleRemoteName(b));
    EXPECT_FALSE(IsPlainRemoteName(std::u16string(256, u'x')));

    // Bad characters made visible; the rest (separators too) as they are.
    EXPECT_EQ(VisibleRemoteName(withNul), u"a?../x");
    EXPECT_EQ(VisibleRemoteName(u"a\nb\x7F\x1A"), u"a?b??");
    EXPECT_EQ(VisibleRemoteName(u"a\\..\\..\\x"), u"a\\..\\..\\x");
    EXPECT_EQ(VisibleRemoteName(u"\u0161 ok"), u"\u0161 ok");
}
