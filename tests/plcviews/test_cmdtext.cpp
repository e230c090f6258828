// The PLC command dialog's result texts without widgets: every row of the
// failure tables, the link's common texts, the status with its line, the
// basic and the extended information, and replies whose fields point
// outside them.
#include "core/compout/ListingFile.h"
#include "core/compout/MapFile.h"
#include "link/linkobj/olnk_link.h"
#include "plcviews/PlcCommandText.h"
#include "res/text/TextTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace plccmd;

namespace {

std::u16string T(unsigned id) { return res::LoadText(id); }

using Bytes = std::vector<uint8_t>;
void Put16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
// Appends a zero-terminated text behind the record and points field at it.
void PutText(Bytes& b, size_t field, const std::string& s)
{
    Put32(b, field, uint32_t(b.size()));
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

// The simulator's default extended record, laid out as the protocol gives it.
Bytes DefaultInfoEx()
{
    Bytes b(92, 0);
    Put32(b, 4, 1234);
    Put16(b, 2, 0xBEEF);
    for (auto [at, v] : {std::pair{8, 6}, {12, 3}, {16, 632}, {32, 6}, {36, 3}, {40, 632}, {56, 1}})
        Put32(b, size_t(at), uint32_t(v));
    PutText(b, 52, "cssim");
    PutText(b, 68, "");
    PutText(b, 72, "cssim");
    PutText(b, 76, "simulated control system");
    PutText(b, 80, "ORNA");
    PutText(b, 84, "");
    PutText(b, 88, "");
    Put16(b, 0, uint32_t(b.size()));
    return b;
}

} // namespace

TEST(CommandText, FailureTablesAndCommonTexts)
{
    struct Row
    {
        uint8_t kind;
        unsigned header;
        std::vector<unsigned> texts;  // status -1, -2, ...
    };
    const std::vector<Row> rows = {
        {0, 4076, {4077}},
        {1, 4079, {4080}},
        {30, 4079, {4080}},
        {2, 4081, {4082, 4083, 4084, 4085, 4086, 4087}},
        {3, 4088, {4089}},
        {4, 4090, {4091, 4092, 4093}},
        {5, 4094, {4095}},
        {6, 4096, {4097, 4098, 4099, 4100}},
        {7, 4101, {4102, 4103}},
        {8, 4104, {4105, 4106}},
        {9, 4107, {4108, 4109, 4110, 4111, 4112}},
        {10, 4113, {4114, 4115, 4116}},
        {12, 4117, {4118, 4119}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(int(r.kind));
        EXPECT_EQ(FailureHeader(r.kind), r.header);
        for (size_t i = 0; i < r.texts.size(); ++i)
            EXPECT_EQ(ResultText(r.kind, int8_t(-1 - int(i)), nullptr, 0, nullptr), T(r.header) + T(r.texts[i]));
        // The next status has no text of the kind's own.
        const int8_t beyond = int8_t(-1 - int(r.texts.size()));
        EXPECT_EQ(ResultText(r.kind, beyond, nullptr, 0, nullptr),
                  T(r.header) + u"Chyba bez popisu (-" + std::u16string(1, char16_t(u'0' + r.texts.size() + 1)) + u")");
        for (int s = -120; s >= -128; --s) {
            if (r.kind == 30 && s <= -127)
                continue;
            if (!FateUnknownText(r.kind, int8_t(s)).empty())
                continue;  // the link ended a change without its answer: below
            EXPECT_EQ(ResultText(r.kind, int8_t(s), nullptr, 0, nullptr), T(r.header) + T(unsigned(4120 - 120 - s)));
        }
        EXPECT_EQ(ResultText(r.kind, -119, nullptr, 0, nullptr), T(r.header) + u"Chyba bez popisu (-119)");
    }
    // The examples: RunPLC -3 and StopPLC -7.
    EXPECT_EQ(ResultText(6, -3, nullptr, 0, nullptr),
              u"Při provádění příkazu RunPLC došlo k chybě:\r\n\tPLC program se nepodařilo spustit, nesoulad verzí.\r\n");
    EXPECT_EQ(ResultText(7, -7, nullptr, 0, nullptr),
              u"Při provádění příkazu StopPLC došlo k chybě:\r\n\tChyba bez popisu (-7)");
    // The extended form unknown to the control system: no text at all.
    EXPECT_TRUE(ResultText(30, -127, nullptr, 0, nullptr).empty());
    EXPECT_TRUE(ResultText(30, -128, nullptr, 0, nullptr).empty());
    // Kinds without a header, and successes without text.
    for (uint8_t kind : {11, 13, 22, 29, 31, 200})
        EXPECT_TRUE(ResultText(kind, -1, nullptr, 0, nullptr).empty());
    for (uint8_t kind : {2, 3, 9, 10, 12, 31})
        EXPECT_TRUE(ResultText(kind, 0, nullptr, 0, nullptr).empty());
    // The breakpoints succeed with status 0 alone: a positive status is the
    // control system's own failure code.  (It was shown as success.)
    EXPECT_EQ(ResultText(12, 5, nullptr, 0, nullptr), T(4117) + u"Chyba bez popisu (5)");
    EXPECT_TRUE(OlnkResultFailed(12, 5) && OlnkResultFailed(11, 1) && !OlnkResultFailed(6, 5));
}

// A command that changes the control system and that the link ended
// without its answer (reset, closed, no answer in time): the control
// system may have carried it out, and the text says so instead of a
// failure.  (It said "Při provádění příkazu RunPLC došlo k chybě" with
// the reset's text.)  A status of the control system's own, the reads
// and the transfer, whose job reports what happened, keep their texts.
TEST(CommandText, ACommandWhoseAnswerNeverCameMayHaveBeenCarriedOut)
{
    for (int8_t s : {int8_t(-122), int8_t(-123), int8_t(-124)})
        EXPECT_EQ(ResultText(6, s, nullptr, 0, nullptr),
                  u"Spojení se přerušilo dřív, než řídicí systém potvrdil příkaz RunPLC: mohl ho provést.\r\n")
            << int(s);
    EXPECT_EQ(ResultText(12, -123, nullptr, 0, nullptr),
              u"Spojení se přerušilo dřív, než řídicí systém potvrdil příkaz SetBrksAtLine: mohl ho provést.\r\n");
    for (uint8_t kind : {3, 4, 5, 7, 8, 9, 10})
        EXPECT_FALSE(FateUnknownText(kind, -123).empty()) << int(kind);
    EXPECT_EQ(ResultText(6, -121, nullptr, 0, nullptr), T(4096) + T(4121));
    EXPECT_EQ(ResultText(6, -1, nullptr, 0, nullptr), T(4096) + T(4097));
    for (uint8_t kind : {0, 1, 2, 30})
        EXPECT_TRUE(FateUnknownText(kind, -123).empty()) << int(kind);
    EXPECT_EQ(ResultText(2, -123, nullptr, 0, nullptr), T(4081) + T(4123));
    // The link's rule: writes and breakpoints, not reads; statuses it gave.
    EXPECT_TRUE(OlnkFateUnknown(23, OLNK_STATUS_LINK_RESET));
    EXPECT_TRUE(OlnkFateUnknown(12, OLNK_STATUS_NO_ANSWER));
    EXPECT_TRUE(OlnkFateUnknown(25, OLNK_STATUS_LINK_CLOSED));
    EXPECT_FALSE(OlnkFateUnknown(22, OLNK_STATUS_LINK_RESET));
    EXPECT_FALSE(OlnkFateUnknown(23, -1));
    EXPECT_FALSE(OlnkFateUnknown(23, 0));
    EXPECT_TRUE(OlnkFateUnknown(OXFR_CODE_PUT, OLNK_STATUS_LINK_RESET, true));
    EXPECT_FALSE(OlnkFateUnknown(OXFR_CODE_GET, OLNK_STATUS_LINK_RESET, true));
}

TEST(CommandText, StatusWithItsLine)
{
    const std::string dir = std::string(std::getenv("SW_FIXTURES")) + "/plcviews/project/";
    compout::CMapFile map;
    compout::CListingFile listing;
    ASSERT_TRUE(map.Load(std::u16string(u"") + std::u16string(dir.begin(), dir.end()) + u"Main.map"));
    ASSERT_TRUE(listing.Load(map, std::u16string(dir.begin(), dir.end()) + u"Main.LS1"));

    const uint8_t rec[10] = {10, 0, 0x0E, 0, 57, 0, 0, 0, 0, 0};
    const std::u16string text = ResultText(0, 0, rec, 10, &listing);
    EXPECT_EQ(text, u"PLC Status: \r\n \tPLC interface je načten do poměti\r\n\tPLC interface je spuštěn\r\n"
                    u"\tPLC interface je přerušen (break)\r\n\tŘádek: 17, modul: SRC\\SECOND.PLC\r\n");
    // Without the listing, or an index it does not have: the unknown line.
    EXPECT_NE(ResultText(0, 0, rec, 10, nullptr).find(u"Řádek: ?, modul: ?"), std::u16string::npos);
    const uint8_t far[10] = {10, 0, 0x08, 0, 0x10, 0x27, 0, 0, 0, 0};
    EXPECT_NE(ResultText(0, 0, far, 10, &listing).find(u"Řádek: ?, modul: ?"), std::u16string::npos);
    // Loading and asleep; not loaded, not running; no line without 0x08.
    const uint8_t other[10] = {10, 0, 0x11, 0, 57, 0, 0, 0, 0, 0};
    EXPECT_EQ(ResultText(0, 0, other, 10, &listing),
              u"PLC Status: \r\n \tProbíhá načítání PLC interfacu\r\n\tPLC interface není načten do paměti\r\n"
              u"\tPLC interface není spuštěn\r\n\tKazeta se nachází ve spánkovém režimu\r\n");
    // A reply cut to its first four bytes: the index reads as 0.
    EXPECT_NE(ResultText(0, 0, rec, 4, &listing).find(u"Řádek: ?, modul: ?"), std::u16string::npos);
}

TEST(CommandText, BasicInformation)
{
    Bytes b(50, 0);
    Put16(b, 0, 50);
    b[2] = 0x05;
    b[3] = 0x02;
    b[4] = 0x10;
    b[5] = 0x01;
    Put16(b, 6, 0x1234);
    Put16(b, 8, 7);
    const std::string comment = "cssim";
    std::copy(comment.begin(), comment.end(), b.begin() + 10);
    Put16(b, 42, 4660);
    Put32(b, 44, 99999);
    Put16(b, 48, 0x6278);
    EXPECT_EQ(ResultText(1, 0, b.data(), 50, nullptr),
              u"Verze panelu: 02.05\r\nAktuální verze panelu: 01.10\r\nVerze kazety: 1.234\r\nTyp kazety: 7\r\n"
              u"Komentář PLC: cssim\r\nKontrolní součet PLC: 4660\r\nDélka PLC: 99999 \r\n"
              u"Verze překladače PLC: 6.278\r\n");
    // A comment without its zero stops after 32 bytes; code page 1250 letters.
    std::fill(b.begin() + 10, b.begin() + 42, uint8_t('x'));
    b[10] = 0x9A;  // "š"
    const std::u16string full = ResultText(1, 0, b.data(), 50, nullptr);
    EXPECT_NE(full.find(u"Komentář PLC: š" + std::u16string(31, u'x') + u"\r\n"), std::u16string::npos);
    // A reply cut inside the comment reads only what came.
    const std::u16string cut = ResultText(1, 0, b.data(), 14, nullptr);
    EXPECT_NE(cut.find(u"Komentář PLC: šxxx\r\nKontrolní součet PLC: 0\r\n"), std::u16string::npos);
}

TEST(CommandText, ExtendedInformationAndOffsetsOutsideTheReply)
{
    Bytes b = DefaultInfoEx();
    EXPECT_EQ(ResultText(30, 0, b.data(), uint32_t(b.size()), nullptr),
              u"Haldor 6.3 rev. 632 \r\nTarvane 6.3 rev. 632 cssim\r\nPLC rev. 1 \r\n\tJméno:\t\tcssim\r\n"
              u"\tKomentář:\t\tsimulated control system\r\n\tVydavatel:\t\tORNA\r\n\tWeb vydavatele:\t\r\n"
              u"\tTelefon vydavatele:\t\r\n\tKontrolní součet:\t48879\r\n\tDélka:\t\t1234\r\n");
    // The first line's own markers and text; the others' markers.
    Put32(b, 20, 1);
    Put32(b, 24, 1);
    PutText(b, 28, "cs text");
    Put32(b, 48, 1);
    Put32(b, 60, 1);
    const uint32_t n = uint32_t(b.size());
    std::u16string text = ResultText(30, 0, b.data(), n, nullptr);
    EXPECT_NE(text.find(u"Haldor 6.3 rev. 632 Modified Mixed cs text\r\n"), std::u16string::npos);
    EXPECT_NE(text.find(u"Tarvane 6.3 rev. 632 Mixed cssim\r\n"), std::u16string::npos);
    EXPECT_NE(text.find(u"PLC rev. 1 Modified \r\n"), std::u16string::npos);

    // Offsets inside the fixed part, at or beyond the length, and a text
    // whose zero lies outside the reply: empty texts.
    Put32(b, 72, 91);
    Put32(b, 76, n);
    Put32(b, 80, 0xFFFFFFFF);
    text = ResultText(30, 0, b.data(), n, nullptr);
    EXPECT_NE(text.find(u"\tJméno:\t\t\r\n\tKomentář:\t\t\r\n\tVydavatel:\t\t\r\n"), std::u16string::npos);
    // The reply cut before the last text's zero: that text is empty.
    b.pop_back();
    text = ResultText(30, 0, b.data(), uint32_t(b.size()), nullptr);
    EXPECT_NE(text.find(u"Haldor 6.3 rev. 632 Modified Mixed \r\n"), std::u16string::npos);
    // A reply of 8 bytes: numbers beyond it are 0, no text.
    EXPECT_NE(ResultText(30, 0, b.data(), 8, nullptr).find(u"Haldor 0.0 rev. 0 \r\n"), std::u16string::npos);
    EXPECT_EQ(TextAt(b.data(), 0, 0), "");
}
