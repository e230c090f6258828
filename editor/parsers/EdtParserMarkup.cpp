// The markup rows (HTML, Sgml, PHP, ASP), which share one scan over tags,
// comments, character entities, strings and embedded code regions, and the
// TEX row with a small scan of its own.  See docs/editor-sourcetypes.md.

#include "editor/parsers/EdtKeywords.h"
#include "editor/parsers/EdtParser.h"
#include "editor/parsers/EdtScanSteps.h"

using edtscan::IsScanSpace;

namespace {

// Cookie bits of the markup scan.
constexpr uint32_t kLineComment = 1;    // PHP and ASP code: to the line end
constexpr uint32_t kTag = 2;
constexpr uint32_t kComment = 4;        // "<!--" ... "-->"; in PHP code "/*" ... "*/"
constexpr uint32_t kString = EDT_CK_STRING;
constexpr uint32_t kChar = EDT_CK_CHAR;
constexpr uint32_t kEntity = 32;
constexpr uint32_t kScript = 64;        // HTML, ASP: script region; PHP: variable name
constexpr uint32_t kCode = 128;         // PHP: code region

enum class Markup { Html, Sgml, Php, Asp };

struct MarkupRules
{
    Markup kind;
    uint32_t ownBits;    // cleared on entry: the bits the language never sets
    uint32_t shortBits;  // returned by a line shorter than two characters
    uint32_t carryBits;  // returned by every other line
};

constexpr MarkupRules kHtml{Markup::Html, kTag | kComment | kString | kChar | kEntity | kScript,
                            kComment | kScript, kTag | kComment | kString | kScript};
constexpr MarkupRules kSgml{Markup::Sgml, kTag | kComment | kString | kChar | kEntity, kComment,
                            kTag | kComment | kString};
constexpr MarkupRules kPhp{Markup::Php,
                           kLineComment | kTag | kComment | kString | kChar | kEntity | kScript |
                               kCode,
                           kComment | kCode, kTag | kComment | kString | kCode};
constexpr MarkupRules kAsp{Markup::Asp,
                           kLineComment | kTag | kComment | kString | kChar | kEntity | kScript,
                           kComment | kScript, kTag | kComment | kString | kScript};

struct MarkupLists
{
    EdtKeywordIndex htmlTags{HtmlTags, true};
    EdtKeywordIndex htmlAttributes{HtmlAttributes, true};
    EdtKeywordIndex entities{HtmlEntities, true};
    EdtKeywordIndex sgmlTags{SgmlTags, true};
    EdtKeywordIndex sgmlAttributes{SgmlAttributes, true};
    EdtKeywordIndex phpKeywords{PhpKeywords, true};
    EdtKeywordIndex phpOperators{PhpOperatorWords, true};
    EdtKeywordIndex phpConstants{PhpConstants, true};
    EdtKeywordIndex basic{BasicWordsA, true};
};

const MarkupLists& Lists()
{
    static const MarkupLists lists;
    return lists;
}

uint32_t ScanMarkup(const MarkupRules& rules, std::u16string_view text, uint32_t cookie,
                    TextBlockList* blocks)
{
    cookie &= rules.ownBits;
    if (text.size() < 2)
        return cookie & rules.shortBits;
    const MarkupLists& lists = Lists();
    const Markup kind = rules.kind;
    const bool sgml = kind == Markup::Sgml;
    const bool php = kind == Markup::Php;
    const bool asp = kind == Markup::Asp;
    // The code region of PHP and the script region of ASP hold code that
    // is scanned word by word; the HTML script region is skipped whole.
    const uint32_t codeBit = php ? kCode : (asp ? kScript : 0);
    const edtscan::ScanLine at(text);
    const int len = at.len;
    auto lay = [&](int p, int colour) {
        if (blocks)
            blocks->Append(p, colour);
    };
    auto isWordChar = [](char16_t c) { return IsIdentifierChar(c) || c == u'.'; };

    edtscan::PendingRun run;
    bool justOpened = false;
    int wordStart = -1;

    auto classify = [&](int start, int end, bool atLineEnd) {
        std::u16string_view word = text.substr(static_cast<size_t>(start),
                                               static_cast<size_t>(end - start));
        int colour = -1;
        if (codeBit && (cookie & codeBit)) {
            if (php && (cookie & kScript))
                colour = EDT_CLR_KEYWORD2;
            else if (php ? lists.phpKeywords.Contains(word) : lists.basic.Contains(word))
                colour = EDT_CLR_KEYWORD;
            else if (php && lists.phpOperators.Contains(word))
                colour = EDT_CLR_OPERATOR;
            else if (php && lists.phpConstants.Contains(word))
                colour = EDT_CLR_KEYWORD3;
            else if (IsNumberToken(word))
                colour = EDT_CLR_NUMBER;
            else if (!atLineEnd) {
                int j = end;
                while (j < len && IsScanSpace(text[static_cast<size_t>(j)]))
                    ++j;
                if (at(j) == u'(')
                    colour = EDT_CLR_FUNCNAME;
            }
        } else if (cookie & kTag) {
            const char16_t before = at(start - 1);
            if ((sgml || before == u'<' || before == u'/') &&
                (sgml ? lists.sgmlTags : lists.htmlTags).Contains(word))
                colour = EDT_CLR_KEYWORD;
            else if ((sgml ? lists.sgmlAttributes : lists.htmlAttributes).Contains(word))
                colour = EDT_CLR_KEYWORD2;
            else if (atLineEnd && lists.entities.Contains(word))
                colour = EDT_CLR_KEYWORD3;
            else if (IsNumberToken(word))
                colour = EDT_CLR_NUMBER;
        } else if (cookie & kEntity) {
            if (lists.entities.Contains(word))
                colour = EDT_CLR_KEYWORD3;
        } else if (sgml && IsNumberToken(word)) {
            colour = EDT_CLR_NUMBER;
        }
        if (colour >= 0)
            blocks->Append(start, colour);
    };
    auto closeWord = [&](int i) {
        if (blocks && wordStart >= 0)
            classify(wordStart, i, false);
        wordStart = -1;
        run.AfterOperator();
    };

    for (int i = 0;; ++i) {
        // 1. The pending redefinition.
        if (run.pending && blocks) {
            const int p = run.Position(i);
            int colour;
            if (cookie & (kLineComment | kComment))
                colour = EDT_CLR_COMMENT;
            else if (cookie & (kString | kChar))
                colour = EDT_CLR_STRING;
            else if (cookie & kTag)
                colour = EDT_CLR_PREPROCESSOR;
            else if (kind == Markup::Html && (cookie & kScript))
                colour = EDT_CLR_FUNCNAME;
            else if (codeBit && (cookie & codeBit))
                colour = EDT_CLR_TEXT;
            else if (isWordChar(at(p)))
                colour = EDT_CLR_TEXT;
            else
                colour = EDT_CLR_OPERATOR;
            run.Lay(*blocks, p, colour);
        }
        // 2.
        if (i == len)
            break;
        const char16_t ch = text[static_cast<size_t>(i)];
        const bool inCode = codeBit && (cookie & codeBit);
        // The end of a PHP variable name: the word is classified (18) and
        // closed, then the character is handled like any other.
        if (php && (cookie & kScript) && !IsIdentifierChar(ch)) {
            if (inCode) {
                closeWord(i);
            }
            cookie &= ~kScript;
        }
        // 3. States that end at a closing character.
        if (cookie & kLineComment) {
            lay(i, EDT_CLR_COMMENT);
            break;
        }
        if (cookie & (kString | kChar)) {
            edtscan::QuotedStep(at, i, ch, cookie, run);
            continue;
        }
        if (cookie & kComment) {
            bool closes;
            if (php && inCode) {
                closes = ch == u'/' && at(i - 1) == u'*' && !justOpened;
                justOpened = false;
            } else if (asp && inCode) {
                closes = false;
            } else {
                closes = ch == u'>' && i >= 2 && at(i - 1) == u'-' && at(i - 2) == u'-';
            }
            if (closes) {
                cookie &= ~kComment;
                run.AfterStateEnd();
            }
            continue;
        }
        if (kind == Markup::Html && (cookie & kScript)) {
            if (ch == u'>' && (at(i - 1) == u'?' || at(i - 1) == u'%')) {
                cookie &= ~kScript;
                run.AfterStateEnd();
            }
            continue;
        }
        if (inCode && ch == u'>' && (at(i - 1) == u'?' || at(i - 1) == u'%')) {
            // The "?" before has closed any open word.
            cookie &= ~codeBit;
            run.AfterStateEnd();
            continue;
        }
        // Comment starts in code; an open word stays unclassified.
        if (inCode) {
            int start = -1;
            if (php && ch == u'/' && at(i - 1) == u'/')
                start = i - 1;
            else if ((php && ch == u'#') || (asp && ch == u'\''))
                start = i;
            if (start >= 0) {
                lay(start, EDT_CLR_COMMENT);
                cookie |= kLineComment;
                wordStart = -1;
                break;
            }
            if (php && ch == u'*' && at(i - 1) == u'/') {
                lay(i - 1, EDT_CLR_COMMENT);
                cookie |= kComment;
                justOpened = true;
                continue;
            }
        }
        // 4. Strings.
        const bool inTag = (cookie & kTag) != 0;
        const bool dqOpens = sgml || inTag || inCode;
        const bool sqOpens = sgml || inTag || (php && inCode);
        if (edtscan::OpenQuote(at, i, ch, cookie, dqOpens, sqOpens)) {
            lay(i, EDT_CLR_STRING);
            continue;
        }
        // 5. "<!--" (outside code), all four characters in the line.
        if (!inCode && ch == u'<' && at(i + 1) == u'!' && at(i + 2) == u'-' &&
            at(i + 3) == u'-') {
            wordStart = -1;
            lay(i, EDT_CLR_COMMENT);
            cookie = (cookie | kComment) & ~kTag;
            run.pending = false;
            run.oneBack = false;
            i += 3;
            continue;
        }
        // 6. Words.
        if (isWordChar(ch)) {
            if (wordStart < 0)
                wordStart = i;
            continue;
        }
        // 7. Any other character closes an open word.
        closeWord(i);
        // 8. Tags, entities and code regions.
        if (inCode) {
            if (php && ch == u'$')
                cookie |= kScript;
            continue;
        }
        if (ch == u'<' && !sgml && (at(i + 1) == u'?' || at(i + 1) == u'%')) {
            if (kind == Markup::Html) {
                lay(i, EDT_CLR_FUNCNAME);
                cookie |= kScript;
            } else {
                lay(i, EDT_CLR_TEXT);
                cookie |= codeBit;
            }
        } else if (ch == u'<' || (sgml && ch == u'{')) {
            lay(i + 1, EDT_CLR_PREPROCESSOR);
            cookie |= kTag;
        } else if ((ch == u'>' || (sgml && ch == u'}')) && inTag) {
            cookie &= ~kTag;
        } else if (ch == u'&') {
            cookie |= kEntity;
        } else if (ch == u';' && (cookie & kEntity)) {
            cookie &= ~kEntity;
        }
    }
    if (blocks && wordStart >= 0)
        classify(wordStart, len, true);
    return cookie & rules.carryBits;
}

} // namespace

uint32_t ParseLineHtml(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    return ScanMarkup(kHtml, text, cookie, blocks);
}

uint32_t ParseLineSgml(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    return ScanMarkup(kSgml, text, cookie, blocks);
}

uint32_t ParseLinePhp(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    return ScanMarkup(kPhp, text, cookie, blocks);
}

uint32_t ParseLineAsp(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    return ScanMarkup(kAsp, text, cookie, blocks);
}

// --- TeX --------------------------------------------------------------------

uint32_t ParseLineTex(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    static const EdtKeywordIndex texWords(TexWords, true);
    static const EdtKeywordIndex latexWords(LatexWords, true);
    // Nothing carries over: every line returns bit 4, which TeX never sets.
    if (text.size() < 2 || !blocks)
        return 0;
    cookie &= EDT_CK_LINE_COMMENT | EDT_CK_STRING | EDT_CK_CHAR;
    const edtscan::ScanLine at(text);
    const int len = at.len;
    auto isWordChar = [](char16_t c) { return IsIdentifierChar(c) || c == u'.'; };
    auto classify = [&](int start, int end) {
        std::u16string_view word = text.substr(static_cast<size_t>(start),
                                               static_cast<size_t>(end - start));
        if (texWords.Contains(word))
            blocks->Append(start, EDT_CLR_KEYWORD);
        else if (latexWords.Contains(word))
            blocks->Append(start, EDT_CLR_KEYWORD2);
        else if (IsNumberToken(word))
            blocks->Append(start, EDT_CLR_NUMBER);
        else if (at(end) == u'$')
            blocks->Append(start, EDT_CLR_FUNCNAME);
    };
    edtscan::PendingRun run;
    int wordStart = -1;
    for (int i = 0;; ++i) {
        if (run.pending) {
            const int p = run.Position(i);
            run.Lay(*blocks, p, edtscan::RunColour(cookie, EDT_CK_LINE_COMMENT, 0, [&] {
                        return isWordChar(at(p));
                    }));
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
        if (ch == u'%') {
            blocks->Append(i, EDT_CLR_COMMENT);
            wordStart = -1;
            break;
        }
        if (edtscan::OpenQuote(at, i, ch, cookie)) {
            blocks->Append(i, EDT_CLR_STRING);
            continue;
        }
        edtscan::WordStep(isWordChar(ch), i, wordStart, run, classify);
    }
    if (wordStart >= 0)
        classify(wordStart, len);
    return 0;
}
