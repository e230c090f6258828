// The programming-language rows: sixteen of them run the shared C-style scan
// with their own lists and option fields; Batch has a small scan of its own.
// See docs/editor-sourcetypes.md.

#include "editor/parsers/EdtKeywords.h"
#include "editor/parsers/EdtParser.h"
#include "editor/parsers/EdtScanSteps.h"

using edtscan::FoldAscii;
using edtscan::IsScanSpace;

namespace {

constexpr uint32_t kCBits = EDT_CK_LINE_COMMENT | EDT_CK_PREPROCESSOR | EDT_CK_BLOCK_COMMENT |
                            EDT_CK_STRING | EDT_CK_CHAR;
constexpr uint32_t kNoPreprocessorBits = kCBits & ~EDT_CK_PREPROCESSOR;
constexpr uint32_t kNoBlockBits = EDT_CK_LINE_COMMENT | EDT_CK_STRING | EDT_CK_CHAR;

// A language of the shared scan: its lists with their indexes and its
// option fields.  Built once, on first use.
struct Language
{
    EdtKeywordIndex a, b, c;
    EdtCStyleOptions options;

    Language(const char16_t* const* listA, const char16_t* const* listB,
             const char16_t* const* listC, bool ignoreCase, uint32_t ownBits)
        : a(listA, ignoreCase), b(listB, ignoreCase), c(listC, ignoreCase)
    {
        options.listA = listA;
        options.listB = listB;
        options.listC = listC;
        options.ignoreCase = ignoreCase;
        options.indexA = &a;
        options.indexB = &b;
        options.indexC = &c;
        options.ownBits = ownBits;
    }
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;
};

// A line shorter than two characters lays nothing and returns bit 4 of the
// cookie (after the bits the language never sets are cleared).
uint32_t Run(const Language& lang, std::u16string_view text, uint32_t cookie,
             TextBlockList* blocks)
{
    if (text.size() < 2)
        return cookie & lang.options.ownBits & EDT_CK_BLOCK_COMMENT;
    return EdtScanCStyle(text, cookie, blocks, lang.options);
}

// Python, Shell, Perl and TCL: "#" comments, no "//", "/*" or "#" lines.
void HashLanguage(Language& l)
{
    l.options.preprocessor = false;
    l.options.slashComments = false;
    l.options.hashComments = true;
}

// AutoLISP and SIOD.
void LispLanguage(Language& l)
{
    l.options.preprocessor = false;
    l.options.slashComments = false;
    l.options.lispComments = true;
    l.options.pointsInWords = true;
    l.options.funcName = EdtFuncNameRule::Lisp;
    l.options.blockCommentOnly = true;
}

} // namespace

uint32_t ParseLineC(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language lang(CWordsA, CWordsB, nullptr, false, kCBits);
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineJava(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language lang(JavaWordsA, nullptr, nullptr, false, kCBits);
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineInstallShield(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language lang(InstallShieldWordsA, InstallShieldWordsB, InstallShieldWordsC,
                               false, kCBits);
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineResources(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(ResourcesWordsA, ResourcesWordsB, nullptr, true, kCBits);
        l.options.quoteAfterBackslashStays = true;
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineRexx(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(RexxWordsA, RexxWordsB, nullptr, true, kNoPreprocessorBits);
        l.options.preprocessor = false;
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineSql(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(SqlWordsA, SqlWordsB, nullptr, true, kNoPreprocessorBits);
        l.options.preprocessor = false;
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLinePython(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(PythonWordsA, PythonWordsB, PythonWordsC, false, kNoBlockBits);
        HashLanguage(l);
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineShell(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(ShellWordsA, ShellWordsB, nullptr, true, kNoBlockBits);
        HashLanguage(l);
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLinePerl(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(PerlWordsA, nullptr, nullptr, true, kNoBlockBits);
        HashLanguage(l);
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineTcl(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(TclWordsA, nullptr, nullptr, true, kNoBlockBits);
        HashLanguage(l);
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLinePascal(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(PascalWordsA, nullptr, nullptr, true, kNoPreprocessorBits);
        l.options.preprocessor = false;
        l.options.slashComments = false;
        l.options.pascalComments = true;
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineBasic(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(BasicWordsA, nullptr, nullptr, false, kNoBlockBits);
        l.options.preprocessor = false;
        l.options.slashComments = false;
        l.options.remComments = true;
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineFortran(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(FortranWordsA, nullptr, nullptr, true, kNoBlockBits);
        l.options.preprocessor = false;
        l.options.slashComments = false;
        l.options.bangComments = true;
        l.options.column1Comment = true;
        l.options.funcName = EdtFuncNameRule::None;
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineDcl(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(DclWordsA, DclWordsB, DclWordsC, false, kNoPreprocessorBits);
        l.options.preprocessor = false;
        l.options.pointsInWords = true;
        l.options.funcName = EdtFuncNameRule::Dcl;
        l.options.blockCommentOnly = true;
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineAutoLisp(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(AutoLispWordsA, nullptr, nullptr, false, kNoPreprocessorBits);
        LispLanguage(l);
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

uint32_t ParseLineSiod(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const Language& lang = *[] {
        static Language l(SiodWordsA, SiodWordsB, SiodWordsC, true, kNoPreprocessorBits);
        LispLanguage(l);
        return &l;
    }();
    return Run(lang, text, cookie, blocks);
}

// --- Batch ------------------------------------------------------------------

namespace {

// A list-B name, alone or followed by ".COM" or ".EXE" (any case).
bool IsBatchProgram(const EdtKeywordIndex& programs, std::u16string_view word)
{
    if (programs.Contains(word))
        return true;
    if (word.size() <= 4 || word[word.size() - 4] != u'.')
        return false;
    char16_t e1 = FoldAscii(word[word.size() - 3]);
    char16_t e2 = FoldAscii(word[word.size() - 2]);
    char16_t e3 = FoldAscii(word[word.size() - 1]);
    bool com = e1 == u'c' && e2 == u'o' && e3 == u'm';
    bool exe = e1 == u'e' && e2 == u'x' && e3 == u'e';
    return (com || exe) && programs.Contains(word.substr(0, word.size() - 4));
}

} // namespace

uint32_t ParseLineBatch(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const EdtKeywordIndex commands(BatchWordsA, true);
    static const EdtKeywordIndex programs(BatchWordsB, true);
    constexpr uint32_t kOwnBits =
        EDT_CK_LINE_COMMENT | EDT_CK_PREPROCESSOR | EDT_CK_STRING | EDT_CK_CHAR;
    cookie &= kOwnBits;
    // Nothing carries over: every line returns bit 4, which Batch never sets.
    if (text.size() < 2)
        return 0;
    const edtscan::ScanLine at(text);
    const int len = at.len;
    auto isWordChar = [&](int p) { return IsIdentifierChar(at(p)) || at(p) == u'.'; };
    auto classify = [&](int start, int end) {
        std::u16string_view word = text.substr(static_cast<size_t>(start),
                                               static_cast<size_t>(end - start));
        if (commands.Contains(word))
            blocks->Append(start, EDT_CLR_KEYWORD);
        else if (IsBatchProgram(programs, word))
            blocks->Append(start, EDT_CLR_KEYWORD2);
        else if (IsNumberToken(word))
            blocks->Append(start, EDT_CLR_NUMBER);
    };
    if (!blocks)
        return 0;  // the cookie never depends on the line

    bool firstChar = cookie == 0;
    edtscan::PendingRun run;
    int wordStart = -1;
    for (int i = 0;; ++i) {
        if (run.pending) {
            const int p = run.Position(i);
            run.Lay(*blocks, p,
                    edtscan::RunColour(cookie, EDT_CK_LINE_COMMENT, EDT_CK_PREPROCESSOR,
                                       [&] { return isWordChar(p); }));
        }
        if (i == len)
            break;
        const char16_t ch = text[static_cast<size_t>(i)];
        if (cookie & EDT_CK_LINE_COMMENT) {
            blocks->Append(i, EDT_CLR_COMMENT);
            break;
        }
        if (cookie & (EDT_CK_STRING | EDT_CK_CHAR)) {
            edtscan::QuotedStep(at, i, ch, cookie, run);
            continue;
        }
        if (edtscan::OpenQuote(at, i, ch, cookie)) {
            blocks->Append(i, EDT_CLR_STRING);
            continue;
        }
        if (firstChar && !IsScanSpace(ch)) {
            firstChar = false;
            if (ch == u':') {
                blocks->Append(i, EDT_CLR_PREPROCESSOR);
                cookie |= EDT_CK_PREPROCESSOR;
                continue;
            }
            if (FoldAscii(ch) == u'r' && FoldAscii(at(i + 1)) == u'e' &&
                FoldAscii(at(i + 2)) == u'm' && (i + 3 >= len || IsScanSpace(at(i + 3)))) {
                blocks->Append(i, EDT_CLR_COMMENT);
                cookie |= EDT_CK_LINE_COMMENT;
                break;
            }
        }
        edtscan::WordStep(isWordChar(i), i, wordStart, run, classify);
    }
    if (wordStart >= 0)
        classify(wordStart, len);
    return 0;
}
