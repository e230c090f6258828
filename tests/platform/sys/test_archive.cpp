// The binary archive: layout of integers, counts, strings and objects, the
// class-index rule, the collections, and the refusal of cut and corrupt data.

#include "platform/sys/ObjectArchive.h"

#include <gtest/gtest.h>

using sys::ArchiveError;
using sys::ObjectArchive;

namespace {

struct Item : sys::ArchiveObject
{
    uint32_t value = 0;
    std::vector<std::unique_ptr<sys::ArchiveObject>> children;
    const char* ArchiveClassName() const override { return "TItem"; }
    void Serialize(ObjectArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar.WriteU32(value);
            std::vector<const sys::ArchiveObject*> list;
            for (auto& c : children)
                list.push_back(c.get());
            ar.WriteObjectList(list);
        } else {
            value = ar.ReadU32();
            children = ar.ReadObjectList();
        }
    }
};

struct Other : sys::ArchiveObject
{
    uint32_t schemaSeen = 0;
    const char* ArchiveClassName() const override { return "TOther"; }
    void Serialize(ObjectArchive& ar) override
    {
        if (ar.IsLoading())
            schemaSeen = ar.GetObjectSchema();
    }
};

struct Fixed : sys::ArchiveObject
{
    const char* ArchiveClassName() const override { return "TFixed"; }
    void Serialize(ObjectArchive&) override {}
};

class Archive : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        sys::ArchiveClasses::Register("TItem", 0x80000001, [] { return std::make_unique<Item>(); });
        sys::ArchiveClasses::Register("TOther", 0x80000002, [] { return std::make_unique<Other>(); });
        sys::ArchiveClasses::Register("TFixed", 3, [] { return std::make_unique<Fixed>(); });
    }
};

std::vector<uint8_t> Hex(const char* text)
{
    std::vector<uint8_t> out;
    unsigned v;
    int n;
    while (sscanf(text, " %2x%n", &v, &n) == 1) {
        out.push_back(uint8_t(v));
        text += n;
    }
    return out;
}

TEST_F(Archive, CountsAndStringsHaveTheirLayout)
{
    ObjectArchive ar;
    ar.WriteCount(5);
    ar.WriteCount(0xFFFF);
    ar.WriteString(u"");
    ar.WriteString(u"ab");
    EXPECT_EQ(ar.Bytes(), Hex("05 00 FF FF FF FF 00 00 FF FE FF 00 FF FE FF 02 61 00 62 00"));

    ObjectArchive big;
    big.WriteString(std::u16string(300, u'x'));
    EXPECT_EQ(big.Bytes()[3], 0xFF);
    EXPECT_EQ(big.Bytes()[4], 0x2C);
    EXPECT_EQ(big.Bytes()[5], 0x01);

    ObjectArchive in(big.Bytes());
    EXPECT_EQ(in.ReadString(), std::u16string(300, u'x'));
    EXPECT_EQ(in.Remaining(), 0u);

    // The 8-bit form has no marker and is code page 1250.
    const std::vector<uint8_t> ansi = Hex("03 41 9A 42");
    ObjectArchive a(ansi);
    EXPECT_EQ(a.ReadString(), u"A\u0161B");
}

TEST_F(Archive, ClassIndexRuleWithTwoClasses)
{
    Item a1, a2;
    Other b1, b2;
    ObjectArchive ar;
    ar.WriteObjectList({&a1, &b1, &a2, &b2, nullptr});
    const auto& b = ar.Bytes();
    // count 5; A: FFFF 0001 0005 "TItem" + u32 + empty list
    const std::vector<uint8_t> expected = Hex(
        "05 00"
        " FF FF 01 00 05 00 54 49 74 65 6D 00 00 00 00 00 00"
        " FF FF 02 00 06 00 54 4F 74 68 65 72"
        " 01 80 00 00 00 00 00 00"
        " 03 80"
        " 00 00");
    EXPECT_EQ(b, expected);

    ObjectArchive in(b);
    auto list = in.ReadObjectList();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_NE(dynamic_cast<Item*>(list[2].get()), nullptr);
    auto* o = dynamic_cast<Other*>(list[3].get());
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->schemaSeen, 2u); // the stored schema of a versionable class
    EXPECT_EQ(list[4], nullptr);
}

TEST_F(Archive, CollectionsRoundTrip)
{
    ObjectArchive ar;
    ar.WriteStringList({u"a", u"", u"\u010D"});
    ar.WriteDwordMap({{7, 1}, {3, 9}});
    ar.WriteDwordArray({1, 2, 0xFFFFFFFF});
    ar.WriteRect({-1, 2, 3, 4});
    ObjectArchive in(ar.Bytes());
    EXPECT_EQ(in.ReadStringList(), (std::vector<std::u16string>{u"a", u"", u"\u010D"}));
    auto m = in.ReadDwordMap();
    EXPECT_EQ(m, (std::map<uint32_t, uint32_t>{{3, 9}, {7, 1}}));
    EXPECT_EQ(in.ReadDwordArray(), (std::vector<uint32_t>{1, 2, 0xFFFFFFFF}));
    EXPECT_EQ(in.ReadRect(), (ObjectArchive::Rect{-1, 2, 3, 4}));
    EXPECT_EQ(in.Remaining(), 0u);
    // The map is written in ascending key order.
    const std::vector<uint8_t> mapBytes(ar.Bytes().begin() + 18, ar.Bytes().begin() + 36);
    EXPECT_EQ(mapBytes, Hex("02 00 03 00 00 00 09 00 00 00 07 00 00 00 01 00 00 00"));
}

TEST_F(Archive, EveryCutOfAValidBlobFailsCleanly)
{
    Item root;
    root.value = 42;
    auto child = std::make_unique<Item>();
    child->children.push_back(std::make_unique<Other>());
    root.children.push_back(std::move(child));
    ObjectArchive ar;
    ar.WriteObject(&root);
    ar.WriteString(u"tail");
    const auto full = ar.Bytes();
    for (size_t cut = 0; cut < full.size(); ++cut) {
        ObjectArchive in(full.data(), cut);
        EXPECT_THROW(
            {
                in.ReadObject();
                in.ReadString();
            },
            ArchiveError)
            << "cut at " << cut;
    }
}

TEST_F(Archive, CorruptDataIsRefused)
{
    auto fails = [](std::vector<uint8_t> bytes, auto read) {
        ObjectArchive in(bytes);
        EXPECT_THROW(read(in), ArchiveError);
    };
    // A count escape with a huge count: refused before allocating.
    fails(Hex("FF FF FF FF FF 7F 00 00"), [](ObjectArchive& a) { a.ReadObjectList(); });
    fails(Hex("FF FF FF FF FF 7F"), [](ObjectArchive& a) { a.ReadDwordArray(); });
    fails(Hex("FF FF FF FF FF 7F"), [](ObjectArchive& a) { a.ReadStringList(); });
    fails(Hex("FF FE FF FF FF FF FF FF FF 7F"), [](ObjectArchive& a) { a.ReadString(); });
    // Unknown class, name too long, wrong schema of a fixed class.
    fails(Hex("FF FF 01 00 03 00 41 42 43"), [](ObjectArchive& a) { a.ReadObject(); });
    fails(Hex("FF FF 01 00 41 00"), [](ObjectArchive& a) { a.ReadObject(); });
    fails(Hex("FF FF 04 00 06 00 54 46 69 78 65 64"), [](ObjectArchive& a) { a.ReadObject(); });
    // Back reference to an object, the big-index tag, an unset class index.
    fails(Hex("02 00 FF FF 03 00 06 00 54 46 69 78 65 64 02 00"),
          [](ObjectArchive& a) { a.ReadObjectList(); });
    fails(Hex("FF 7F"), [](ObjectArchive& a) { a.ReadObject(); });
    fails(Hex("05 80"), [](ObjectArchive& a) { a.ReadObject(); });

    // The right schema of the fixed class loads.
    const auto fixed = Hex("FF FF 03 00 06 00 54 46 69 78 65 64");
    ObjectArchive ok(fixed);
    EXPECT_NE(ok.ReadObject(), nullptr);
}

TEST_F(Archive, DeepNestingIsRefused)
{
    auto make = [](int depth) {
        auto root = std::make_unique<Item>();
        Item* cur = root.get();
        for (int i = 1; i < depth; ++i) {
            auto c = std::make_unique<Item>();
            Item* next = c.get();
            cur->children.push_back(std::move(c));
            cur = next;
        }
        ObjectArchive ar;
        ar.WriteObject(root.get());
        return ar.TakeBytes();
    };
    const auto ok = make(32);
    ObjectArchive in(ok);
    EXPECT_NO_THROW(in.ReadObject());
    const auto deep = make(33);
    ObjectArchive in2(deep);
    EXPECT_THROW(in2.ReadObject(), ArchiveError);
}

} // namespace
