// The source-type table: built-in rows, lookups by id and extension, the
// path functions, the buffer's hook and the forced line ends.

#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtSettings.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/settings/EdtTextTypes.h"
#include "platform/sys/WinPath.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

namespace {

class SourceTypes : public ::testing::Test
{
protected:
    void SetUp() override { ResetSourceTypes(); }
    void TearDown() override { ResetSourceTypes(); }
};

const char16_t* NameOf(const TextTypeDef* row)
{
    return row ? row->name.c_str() : u"(none)";
}

std::u16string Ext(std::u16string_view path)
{
    return GetFileExt(path);
}

std::u16string U16(const std::string& s)
{
    return sys::WinPath::FromNative(s);
}

} // namespace

TEST_F(SourceTypes, BuiltInRows)
{
    ASSERT_EQ(GetSourceTypeCount(), 25);
    const char16_t* names[] = {u"Text", u"ASP", u"Basic", u"Batch", u"C", u"DCL", u"Fortran",
                               u"HTML", u"InstallShield", u"Java", u"AutoLISP", u"Pascal",
                               u"Perl", u"PHP", u"Python", u"REXX", u"Resources", u"Sgml",
                               u"Shell", u"SIOD", u"SQL", u"TCL", u"TEX", u"PLC", u"NCP"};
    const uint32_t flags[] = {0x19, 0x50, 0x10, 0x11, 0x50, 0x50,  0x11, 0x31, 0x30,
                              0x50, 0x30, 0x50, 0x110, 0x50, 0x50, 0x10, 0x10, 0x31,
                              0x111, 0x50, 0x10, 0x150, 0x10, 0x19, 0x19};
    for (int id = 0; id < 25; ++id) {
        const TextTypeDef* row = GetTextTypeDef(id);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->id, id);
        EXPECT_EQ(row->name, names[id]);
        EXPECT_EQ(row->flags, flags[id]) << id;
        EXPECT_EQ(row->tabSize, 4);
        EXPECT_EQ(row->defaultEncoding, -1);
        EXPECT_LE(row->name.size(), EDT_TT_MAX_TEXT);
        EXPECT_LE(row->extensions.size(), EDT_TT_MAX_TEXT);
        EXPECT_EQ(row->parser == ParseLineText, id == 0) << id;
    }
    EXPECT_EQ(GetTextTypeDef(4)->extensions, u"c,cc,cpp,cxx,h,hpp,hxx,hm,inl,rh,tlh,tli,xs");
    EXPECT_EQ(GetTextTypeDef(4)->openComment, u"/*");
    EXPECT_EQ(GetTextTypeDef(4)->closeComment, u"*/");
    EXPECT_EQ(GetTextTypeDef(4)->lineComment, u"//");
    EXPECT_EQ(GetTextTypeDef(3)->lineComment, u"rem ");
    for (int id : {10, 19}) {
        EXPECT_EQ(GetTextTypeDef(id)->openComment, u";|");
        EXPECT_EQ(GetTextTypeDef(id)->closeComment, u"|;");
        EXPECT_EQ(GetTextTypeDef(id)->lineComment, u";");
    }
    EXPECT_EQ(GetTextTypeDef(7)->openComment, u"<!--");
    EXPECT_EQ(GetTextTypeDef(11)->openComment, u"{");
    EXPECT_EQ(GetTextTypeDef(0)->lineComment, u"");
    EXPECT_EQ(GetTextTypeDef(23)->extensions, u"plc,inc");
    EXPECT_EQ(GetTextTypeDef(23)->lineComment, u";");
}

TEST_F(SourceTypes, IdsOutsideTheTable)
{
    EXPECT_EQ(GetTextTypeDef(-1), nullptr);
    EXPECT_EQ(GetTextTypeDef(25), nullptr);
    EXPECT_EQ(GetTextTypeDef(1000000), nullptr);
}

TEST_F(SourceTypes, ExtensionLookup)
{
    auto name = [](std::u16string_view path) {
        return std::u16string(NameOf(FindTextTypeByExtension(Ext(path))));
    };
    EXPECT_EQ(name(u"x.cpp"), u"C");
    EXPECT_EQ(name(u"x.hpp"), u"C");
    EXPECT_EQ(name(u"x.hxx"), u"C");
    EXPECT_EQ(name(u"X.CPP"), u"C");
    EXPECT_EQ(name(u"x.cmd"), u"Batch");  // before REXX in id order
    EXPECT_EQ(name(u"File.PlcErrors"), u"Sgml");
    EXPECT_EQ(name(u"file.plcerrors"), u"Sgml");
    EXPECT_EQ(name(u"main.plc"), u"PLC");
    EXPECT_EQ(name(u"C:\\proj\\defs.INC"), u"PLC");
    EXPECT_EQ(name(u"prog.ncpp"), u"NCP");
    EXPECT_EQ(name(u"readme.txt"), u"Text");
    EXPECT_EQ(name(u"x"), u"(none)");
    EXPECT_EQ(name(u"x."), u"(none)");
    EXPECT_EQ(name(u"x.unknown"), u"(none)");
    EXPECT_EQ(name(u"x.cp"), u"(none)");     // whole patterns only
    EXPECT_EQ(name(u"proj.v2/readme"), u"(none)");
    EXPECT_EQ(FindTextTypeByExtension(u""), nullptr);
}

TEST_F(SourceTypes, ExtensionPieces)
{
    TextTypeDef* ncp = GetTextTypeDef(24);
    ncp->extensions = u" foo ,\t, [bad,b?r\t,,q`*";
    EXPECT_EQ(FindTextTypeByExtension(u"foo"), ncp);   // blanks and tabs trimmed
    EXPECT_EQ(FindTextTypeByExtension(u"FOO"), ncp);
    EXPECT_EQ(FindTextTypeByExtension(u"bar"), ncp);   // wildcard
    EXPECT_EQ(FindTextTypeByExtension(u"[bad"), nullptr);  // invalid piece skipped
    EXPECT_EQ(FindTextTypeByExtension(u"q*"), ncp);    // escaped star
    EXPECT_EQ(FindTextTypeByExtension(u"qx"), nullptr);
    EXPECT_EQ(FindTextTypeByExtension(u" foo "), nullptr);

    // A catch-all piece: every non-empty extension, but the empty one never.
    ncp->extensions = u"*";
    EXPECT_EQ(FindTextTypeByExtension(u"whatever"), ncp);
    EXPECT_EQ(FindTextTypeByExtension(u"cpp"), GetTextTypeDef(4));  // earlier rows first
    EXPECT_EQ(FindTextTypeByExtension(u""), nullptr);
    ncp->extensions = u"";
    EXPECT_EQ(FindTextTypeByExtension(u"whatever"), nullptr);
    ncp->extensions = u",,,";
    EXPECT_EQ(FindTextTypeByExtension(u"whatever"), nullptr);
}

TEST_F(SourceTypes, ResetRestoresRowsInPlace)
{
    TextTypeDef* c = GetTextTypeDef(4);
    c->extensions = u"zz";
    c->tabSize = 8;
    c->flags = 0;
    c->defaultEncoding = 3;
    SetEdtDefaultEncoding(5);
    GetEdtEditorFont().weight = 700;
    SetEdtTextTypeLookup(nullptr);
    ResetSourceTypes();
    EXPECT_EQ(GetTextTypeDef(4), c);  // pointers stay valid
    EXPECT_EQ(c->extensions, u"c,cc,cpp,cxx,h,hpp,hxx,hm,inl,rh,tlh,tli,xs");
    EXPECT_EQ(c->tabSize, 4);
    EXPECT_EQ(c->flags, 0x50u);
    EXPECT_EQ(c->defaultEncoding, -1);
    EXPECT_EQ(GetEdtDefaultEncoding(), -1);
    EXPECT_EQ(GetEdtEditorFont().weight, 400);
    EXPECT_EQ(LookupEdtTextType(u"a.cpp").type, c);
}

TEST_F(SourceTypes, PathFunctions)
{
    EXPECT_EQ(GetFileExtPos(u""), 0);
    EXPECT_EQ(GetFileExtPos(u"a"), 1);
    EXPECT_EQ(GetFileExtPos(u"a.b"), 1);
    EXPECT_EQ(GetFileExtPos(u"a.b/c"), 5);
    EXPECT_EQ(GetFileExtPos(u"a.b\\c"), 5);
    EXPECT_EQ(GetFileExtPos(u"a.b:c"), 5);
    EXPECT_EQ(GetFileExtPos(u"x.tar.gz"), 5);
    EXPECT_EQ(GetFileExtPos(u"C:\\dir.d\\.profile"), 9);
    EXPECT_EQ(GetFileExt(u"C:\\dir.d\\.profile"), u"profile");
    EXPECT_EQ(GetFileExt(u"x.tar.gz"), u"gz");
    EXPECT_EQ(GetFileExt(u"x."), u"");
    EXPECT_EQ(GetFileExt(u"proj.v2/readme"), u"");
    EXPECT_EQ(GetFileExt(u""), u"");
    EXPECT_EQ(GetFileNamePos(u""), 0);
    EXPECT_EQ(GetFileNamePos(u"name.txt"), 0);
    EXPECT_EQ(GetFileNamePos(u"C:name.txt"), 2);
    EXPECT_EQ(GetFileNamePos(u"C:\\a\\b.txt"), 5);
    EXPECT_EQ(GetFileNamePos(u"/home/u/b.txt"), 8);
    EXPECT_EQ(GetFileNamePos(u"dir/"), 4);
}

TEST_F(SourceTypes, FileExists)
{
    testsupport::TempDir dir;
    dir.Write("here.plc", "LOD X\r\n");
    EXPECT_TRUE(FileExists(U16(dir / "here.plc")));
    EXPECT_TRUE(FileExists(U16(dir / "HERE.PLC")));  // the path conversion's case fallback
    EXPECT_TRUE(FileExists(U16(dir.Path())));         // a folder has a status too
    EXPECT_FALSE(FileExists(U16(dir / "missing.plc")));
    EXPECT_FALSE(FileExists(u""));
    EXPECT_FALSE(FileExists(u"Q:\\nowhere.plc"));
}

namespace {
struct TypeListener : IEdtBufferListener
{
    std::vector<const TextTypeDef*> selected;
    void UpdateView(IEdtBufferListener*, const UpdateContext*, uint32_t, int) override {}
    bool SelectTextType(const TextTypeDef* type) override
    {
        selected.push_back(type);
        return type != nullptr;
    }
};
} // namespace

TEST_F(SourceTypes, BufferHook)
{
    testsupport::TempDir dir;
    dir.Write("x.plc", "LOD X\r\nSTO Y\r\n");
    dir.Write("notes.weird", "a\n");
    CEdtTextBuffer buffer;
    TypeListener view;
    buffer.AddView(&view);
    ASSERT_TRUE(buffer.LoadFromFile(U16(dir / "x.plc")));
    ASSERT_EQ(view.selected.size(), 1u);
    EXPECT_EQ(view.selected[0], GetTextTypeDef(23));
    ASSERT_TRUE(buffer.LoadFromFile(U16(dir / "notes.weird")));
    ASSERT_EQ(view.selected.size(), 2u);
    EXPECT_EQ(view.selected[1], nullptr);
    buffer.RemoveView(&view);

    EdtTextTypeInfo info = LookupEdtTextType(u"/a/b/c.java");
    EXPECT_EQ(info.type, GetTextTypeDef(9));
    EXPECT_EQ(info.defaultEncoding, -1);
    GetTextTypeDef(9)->defaultEncoding = 13;
    EXPECT_EQ(LookupEdtTextType(u"/a/b/c.java").defaultEncoding, 13);
    info = LookupEdtTextType(u"/a/b/c");
    EXPECT_EQ(info.type, nullptr);
    EXPECT_EQ(info.defaultEncoding, -1);
}

TEST_F(SourceTypes, RowEncodingReachesTheBuffer)
{
    testsupport::TempDir dir;
    dir.Write("x.plc", std::string("\xff\xfe" "A\0B\0", 6));
    GetTextTypeDef(23)->defaultEncoding = EDT_CODEPAGE_UNICODE;
    CEdtTextBuffer buffer;
    ASSERT_TRUE(buffer.LoadFromFile(U16(dir / "x.plc")));
    EXPECT_TRUE(buffer.GetUnicode());
    ASSERT_EQ(buffer.GetLineCount(), 1);
    EXPECT_EQ(std::u16string(buffer.GetLineChars(0), 2), u"AB");
}

TEST_F(SourceTypes, ForcedLineEnds)
{
    EXPECT_EQ(GetForcedCRLFMode(0), -1);
    EXPECT_EQ(GetForcedCRLFMode(EDT_TT_CRLF_DOS), 0);
    EXPECT_EQ(GetForcedCRLFMode(EDT_TT_CRLF_UNIX), 1);
    EXPECT_EQ(GetForcedCRLFMode(EDT_TT_CRLF_MAC), 2);
    EXPECT_EQ(GetForcedCRLFMode(EDT_TT_CRLF_DOS | EDT_TT_CRLF_UNIX | EDT_TT_CRLF_MAC), 0);
    EXPECT_EQ(GetForcedCRLFMode(EDT_TT_CRLF_UNIX | EDT_TT_CRLF_MAC), 1);
    EXPECT_EQ(GetForcedCRLFMode(0xFFFFFC7F), -1);  // every other bit
    EXPECT_EQ(GetForcedCRLFMode(GetTextTypeDef(12)->flags), 1);  // Perl
    EXPECT_EQ(GetForcedCRLFMode(GetTextTypeDef(18)->flags), 1);  // Shell
    EXPECT_EQ(GetForcedCRLFMode(GetTextTypeDef(21)->flags), 1);  // TCL
    EXPECT_EQ(GetForcedCRLFMode(GetTextTypeDef(4)->flags), -1);

    // A new document takes the row's line ends ...
    CEdtTextBuffer fresh;
    ASSERT_TRUE(fresh.InitNew(0));
    EXPECT_TRUE(ApplyForcedCRLFMode(*GetTextTypeDef(12), fresh));
    EXPECT_EQ(fresh.GetCRLFMode(), 1);
    EXPECT_FALSE(ApplyForcedCRLFMode(*GetTextTypeDef(4), fresh));  // none forced: kept
    EXPECT_EQ(fresh.GetCRLFMode(), 1);

    // ... a loaded file keeps its own, whatever its type.
    testsupport::TempDir dir;
    dir.Write("run.pl", "print 1;\r\nexit;\r\n");
    CEdtTextBuffer loaded;
    ASSERT_TRUE(loaded.LoadFromFile(U16(dir / "run.pl")));
    EXPECT_EQ(loaded.GetCRLFMode(), 0);
    EXPECT_FALSE(ApplyForcedCRLFMode(*GetTextTypeDef(12), loaded));
    EXPECT_EQ(loaded.GetCRLFMode(), 0);
    ASSERT_TRUE(loaded.SaveToFile(U16(dir / "run.pl")));
    EXPECT_EQ(dir.Read("run.pl"), "print 1;\r\nexit;\r\n");
}
