// The watch-expression language of CMapFile::FindSymbol.
//
//   Expression := [Minus] Term End
//   Term   := Dollar Plus (Number | Name8) Dot Name6
//           | TypeWord Dot Factor
//           | Cnst Dot Number
//           | Name0to6 Tail
//           | Name7or8 [ Dot Name6 ]
//   Tail   := { (Plus | Dot) (Number | Name7or8) } [ Dot Name6 ]
//   Factor := LParen Sum RParen | Sum
//   Sum    := Name0to6 { (Plus | Dot) (Number | Name7or8) }
//           | (Number | Name7or8) (Plus | Dot) Sum
//
// NameN is a map name whose entry has type N.  See docs/compiler-output.md.

#include "core/compout/MapFile.h"
#include "core/compout/NameCompare.h"
#include "platform/sys/HexDigit.h"

namespace compout {

namespace {

enum class Tok { End, Dollar, LParen, RParen, Plus, Minus, Dot, Number, TypeWord, Cnst, Name, Invalid };

// Type words in the order of their codes: BYTE, WORD, HIGH, DWRD, QWRD, REAL.
constexpr std::u16string_view kTypeWords[] = {u"BYTE", u"WORD", u"HIGH", u"DWRD", u"QWRD", u"REAL"};
// The entry type that each type word gives.
constexpr uint32_t kTypeOfTypeWord[] = {kTypeByte, kTypeWord, kTypeByte, kTypeDword, kTypeQword, kTypeReal};
constexpr unsigned kHigh = 2;

bool EndsWord(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'.' || c == u'+' || c == u'-' || c == u'(' || c == u')';
}

class Parser
{
public:
    Parser(const CMapFile& map, std::u16string_view text) : m_map(map), m_text(text) { Next(); }

    bool Expression(SymbolInfo& out)
    {
        bool negate = false;
        if (m_tok == Tok::Minus) {
            negate = true;
            Next();
        }
        if (!Term(out) || m_tok != Tok::End)
            return false;
        if (negate) {
            out.negate = 1;
            if (out.type == kTypeOffset || out.type == kTypeConstant)
                out.address = 0u - out.address;
            else if (out.type == kTypeMech)
                return false;
        }
        return true;
    }

private:
    bool IsName(uint32_t lo, uint32_t hi) const
    {
        return m_tok == Tok::Name && m_entry->type >= lo && m_entry->type <= hi;
    }
    // Number or Name7or8: its value.
    bool TakeAddend(uint32_t& value)
    {
        if (m_tok == Tok::Number)
            value = m_value;
        else if (IsName(kTypeOffset, kTypeConstant))
            value = m_entry->address;
        else
            return false;
        Next();
        return true;
    }
    static void FromEntry(const MapEntry& e, SymbolInfo& out)
    {
        out.type = e.type;
        out.selector = e.selector;
        out.address = e.address;
        if (e.type == kTypeByte)
            out.bitSlots = e.bitSlots;
        if (e.type == kTypeBit) {
            out.bitNumber = e.bitNumber;
            out.parent = e.parent;
        }
    }
    static void SelectBit(const MapEntry& bit, SymbolInfo& out)
    {
        out.type = kTypeBit;
        out.bitNumber = bit.bitNumber;
        out.parent = bit.parent;
    }

    bool Term(SymbolInfo& out)
    {
        switch (m_tok) {
        case Tok::Dollar: {
            Next();
            if (m_tok != Tok::Plus)
                return false;
            Next();
            uint32_t add = 0;
            if (m_tok == Tok::Number)
                add = m_value;
            else if (IsName(kTypeConstant, kTypeConstant))
                add = m_entry->address;
            else
                return false;
            Next();
            if (m_tok != Tok::Dot)
                return false;
            Next();
            if (!IsName(kTypeBit, kTypeBit))
                return false;
            const MapEntry& bit = *m_entry;
            Next();
            out.type = kTypeBit;
            out.selector = bit.selector;
            out.bitNumber = bit.bitNumber;
            out.parent = bit.parent;
            out.address = bit.address + add;
            return true;
        }
        case Tok::TypeWord: {
            const unsigned word = m_typeWord;
            Next();
            if (m_tok != Tok::Dot)
                return false;
            Next();
            if (!Factor(out) || out.type > kTypeBit)
                return false;
            out.type = kTypeOfTypeWord[word];
            if (word == kHigh)
                out.address += 1;
            return true;
        }
        case Tok::Cnst:
            Next();
            if (m_tok != Tok::Dot)
                return false;
            Next();
            if (m_tok != Tok::Number)
                return false;
            out.type = kTypeConstant;
            out.address = m_value;
            Next();
            return true;
        case Tok::Name:
            if (m_entry->type <= kTypeBit) {
                FromEntry(*m_entry, out);
                Next();
                return Tail(out);
            }
            if (m_entry->type == kTypeOffset || m_entry->type == kTypeConstant) {
                FromEntry(*m_entry, out);
                Next();
                if (m_tok == Tok::Dot) {
                    Next();
                    if (!IsName(kTypeBit, kTypeBit))
                        return false;
                    SelectBit(*m_entry, out);
                    Next();
                }
                return true;
            }
            return false;
        default:
            return false;
        }
    }

    bool Tail(SymbolInfo& out)
    {
        while (m_tok == Tok::Plus || m_tok == Tok::Dot) {
            const bool dot = m_tok == Tok::Dot;
            Next();
            if (dot && IsName(kTypeBit, kTypeBit)) {
                SelectBit(*m_entry, out);
                Next();
                return true;  // nothing may follow the bit; Expression checks End
            }
            uint32_t add = 0;
            if (!TakeAddend(add))
                return false;
            out.address += add;
        }
        return true;
    }

    bool Factor(SymbolInfo& out)
    {
        if (m_tok == Tok::LParen) {
            Next();
            if (!Sum(out) || m_tok != Tok::RParen)
                return false;
            Next();
            return true;
        }
        if (m_tok == Tok::Number || m_tok == Tok::Name)
            return Sum(out);
        return false;
    }

    bool Sum(SymbolInfo& out)
    {
        if (IsName(kTypeByte, kTypeBit)) {
            FromEntry(*m_entry, out);
            Next();
            while (m_tok == Tok::Plus || m_tok == Tok::Dot) {
                Next();
                uint32_t add = 0;
                if (!TakeAddend(add))
                    return false;
                out.address += add;
            }
            return true;
        }
        uint32_t add = 0;
        if (!TakeAddend(add))
            return false;
        if (m_tok != Tok::Plus && m_tok != Tok::Dot)
            return false;
        Next();
        if (!Sum(out))
            return false;
        out.address += add;
        return true;
    }

    void Next()
    {
        while (m_pos < m_text.size() && (m_text[m_pos] == u' ' || m_text[m_pos] == u'\t'))
            ++m_pos;
        if (m_pos >= m_text.size()) {
            m_tok = Tok::End;
            return;
        }
        const char16_t c = m_text[m_pos];
        switch (c) {
        case u'$': m_tok = Tok::Dollar; ++m_pos; return;
        case u'(': m_tok = Tok::LParen; ++m_pos; return;
        case u')': m_tok = Tok::RParen; ++m_pos; return;
        case u'+': m_tok = Tok::Plus; ++m_pos; return;
        case u'-': m_tok = Tok::Minus; ++m_pos; return;
        case u'.': m_tok = Tok::Dot; ++m_pos; return;
        default: break;
        }
        if (c >= u'0' && c <= u'9') {
            LexNumber();
            return;
        }
        const size_t start = m_pos;
        while (m_pos < m_text.size() && !EndsWord(m_text[m_pos]))
            ++m_pos;
        const std::u16string_view word = m_text.substr(start, m_pos - start);
        for (unsigned i = 0; i < 6; ++i) {
            if (NamesEqual(word, kTypeWords[i])) {
                m_tok = Tok::TypeWord;
                m_typeWord = i;
                return;
            }
        }
        if (NamesEqual(word, u"CNST")) {
            m_tok = Tok::Cnst;
            return;
        }
        m_entry = m_map.FindName(word);
        m_tok = m_entry ? Tok::Name : Tok::Invalid;
    }

    void LexNumber()
    {
        const size_t start = m_pos;
        while (m_pos < m_text.size() && sys::HexDigitValue(m_text[m_pos]) >= 0)
            ++m_pos;
        const std::u16string_view run = m_text.substr(start, m_pos - start);
        unsigned base = 10;
        if (m_pos < m_text.size() && m_text[m_pos] == u'H') {
            base = 16;
            ++m_pos;
        } else if (m_pos < m_text.size() && m_text[m_pos] == u'O') {
            base = 8;
            ++m_pos;
        }
        uint64_t v = 0;
        m_tok = Tok::Number;
        for (char16_t ch : run) {
            const int d = sys::HexDigitValue(ch);
            if (d >= static_cast<int>(base)) {
                if (base == 10)
                    break;  // decimal takes the run's leading decimal digits
                m_tok = Tok::Invalid;
                return;
            }
            v = v * base + static_cast<unsigned>(d);
            if (v > 0xFFFFFFFFu) {
                m_tok = Tok::Invalid;
                return;
            }
        }
        m_value = static_cast<uint32_t>(v);
    }

    const CMapFile& m_map;
    std::u16string_view m_text;
    size_t m_pos = 0;
    Tok m_tok = Tok::End;
    uint32_t m_value = 0;
    unsigned m_typeWord = 0;
    const MapEntry* m_entry = nullptr;
};

} // namespace

bool CMapFile::FindSymbol(const char16_t* text, SymbolInfo* info) const
{
    if (!text || !info)
        return false;
    return FindSymbol(std::u16string_view(text), info);
}

bool CMapFile::FindSymbol(std::u16string_view text, SymbolInfo* info) const
{
    if (!info)
        return false;
    *info = SymbolInfo{};
    Parser parser(*this, text);
    return parser.Expression(*info);
}

} // namespace compout
