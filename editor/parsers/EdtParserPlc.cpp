// The PLC parser: colours from a token pass over the line (label, opcode,
// operands, numbers, arithmetic signs, strings, ";" comments), the cookie
// from the shared C-style scan.  See docs/editor-sourcetypes.md.

#include "editor/parsers/EdtParser.h"

// Section and directive words of the PLC language (colour 7).
const char16_t* const PlcSectionWords[] = {
    u"APPEND_T_MACRO", u"CONTROL_T_MACRO", u"CPU04", u"DATA", u"DATA_END", u"DATA_LOCAL",
    u"DATA_LOCAL_END", u"DEBUG", u"DEF_T_MACRO", u"DFM", u"DFTM01", u"DFTM01_END", u"DFTM1",
    u"DFTM10", u"DFTM100", u"DFTM1_END", u"DFTM10_END", u"DFTM100_END", u"DS", u"END_T_MACRO",
    u"EQUI", u"INTERSTACK", u"MECH_BEGIN", u"MECH_END", u"MODULE_BLOCK_DONE",
    u"MODULE_BLOCK_DONE_END", u"MODULE_BLOCK_INIT", u"MODULE_BLOCK_INIT_END", u"MODULE_CLEAR",
    u"MODULE_CLEAR_END", u"MODULE_CONT", u"MODULE_CONT_END", u"MODULE_DONE", u"MODULE_DONE_END",
    u"MODULE_FAR", u"MODULE_FAR_END", u"MODULE_FAST", u"MODULE_FAST_END", u"MODULE_HALT",
    u"MODULE_HALT_END", u"MODULE_INIT", u"MODULE_INIT_END", u"MODULE_INPUT",
    u"MODULE_INPUT_END", u"MODULE_MAIN", u"MODULE_MAIN_END", u"P386", u"PIS_CLEAR",
    u"PIS_CLEAR_END", u"PIS_CONT", u"PIS_CONT_END", u"PIS_FAR", u"PIS_FAR_END", u"PIS_FAST",
    u"PIS_FAST_END", u"PIS_HALT", u"PIS_HALT_END", u"PIS_INIT", u"PIS_INIT_END", u"PIS_SFAST",
    u"PIS_SFAST_END", u"PRIPRAVNE_FUNKCE", u"PRIPRAVNE_FUNKCE_END", u"PROC_BEGIN", u"PROC_END",
    u"PROVOZ_VYSTUP", u"PROVOZ_VYSTUP_END", u"SEKV", u"SEKV_END", u"START", u"STOP",
    u"SYMBOLTAB", u"T_INCLUDE", u"T_LOCAL", u"VERINSTRU", u"VSTUP", u"VSTUP_END",
    u"ZAVERECNE_FUNKCE", u"ZAVERECNE_FUNKCE_END",
    nullptr,
};

// PLC instructions (colour 15).
const char16_t* const PlcInstructions[] = {
    u"ABS", u"AD", u"ANALOG", u"ANALOG_PORT", u"ANALOG_SPI", u"ANALOG_SPI_4", u"ANALOG_SPI_5",
    u"ANALOG_SPI_6", u"ANALOG_SPI_X", u"ANALOG_SPI_Y", u"ANALOG_SPI_Z", u"ANDB", u"AX_SPI",
    u"AX_SPI_4", u"AX_SPI_5", u"AX_SPI_6", u"AX_SPI_X", u"AX_SPI_Y", u"AX_SPI_Z", u"BCD",
    u"BCDSTR", u"BEX", u"BIN", u"BINSTR", u"CA", u"CAN_AX_SEND", u"CAN_CLOSE", u"CNF_GET_BIN",
    u"CNF_GET_BIT", u"CNF_GET_INT", u"CNF_GET_REAL", u"CNF_GET_STR", u"CAN_INIT", u"CAN_READ",
    u"CAN_RECV", u"CAN_RECV_END", u"CAN_RECV_REQ", u"CAN_REGISTERMSG", u"CAN_SEND",
    u"CAN_STATUS", u"CAN_SYSIO_READ", u"CAN_SYSIO_WRITE", u"CAN_WRITE", u"CD", u"CHECK",
    u"CLEAR", u"COM_CONTROL", u"COM_RECV", u"COM_SEND", u"CONDBL", u"CONDR", u"CONRD",
    u"CONST_GET", u"CU", u"CUBCD", u"DCR", u"DEB_XCHG", u"DFCOND", u"DIVB", u"EQ", u"EQ1",
    u"ESET", u"ESET1", u"EX", u"EX0", u"EX1", u"FL", u"FL0", u"FL1", u"GE", u"GT", u"INP",
    u"INR", u"INRBCD", u"INV", u"IN_FAST", u"IN_MUX", u"JL0", u"JL1", u"JUM", u"LA", u"LDR",
    u"LDR_BLOCK", u"LE", u"LO", u"LOD", u"LOD_DWRD_BLOCK", u"LOD_REAL_BLOCK", u"LT", u"LX",
    u"MAP_AIN", u"MAP_AOUT", u"MAP_IN", u"MAP_OUT", u"MECH_INIT", u"MEMCMP", u"MEMCPY",
    u"MODULE_DONE_FINISHED", u"MODULE_INIT_FINISHED", u"MSET", u"MSET1", u"MULB", u"MV",
    u"NLCNTM", u"NOPT", u"NSA", u"NULY", u"ORB", u"OUTP", u"PLCT_CHANGED", u"PLCT_COL_ID",
    u"PLCT_COL_INDEX", u"PLCT_COL_TYPE", u"PLCT_GET_BIN", u"PLCT_GET_INT", u"PLCT_GET_REAL",
    u"PLCT_GET_SELLINE", u"PLCT_GET_STR", u"PLCT_SET_BIN", u"PLCT_SET_INT", u"PLCT_SET_REAL",
    u"PLCT_SET_SELLINE", u"PLCT_SET_STR", u"POS_CONTROL", u"POS_CONTROL_4", u"POS_CONTROL_5",
    u"POS_CONTROL_6", u"POS_CONTROL_X", u"POS_CONTROL_Y", u"POS_CONTROL_Z", u"POS_INIT",
    u"POS_INIT_4", u"POS_INIT_5", u"POS_INIT_6", u"POS_INIT_X", u"POS_INIT_Y", u"POS_INIT_Z",
    u"POS_MODE", u"POS_MODE_4", u"POS_MODE_5", u"POS_MODE_6", u"POS_MODE_X", u"POS_MODE_Y",
    u"POS_MODE_Z", u"POS_PREPROG", u"POS_PREPROG_4", u"POS_PREPROG_5", u"POS_PREPROG_6",
    u"POS_PREPROG_X", u"POS_PREPROG_Y", u"POS_PREPROG_Z", u"POS_RESET", u"POS_RESET_4",
    u"POS_RESET_5", u"POS_RESET_6", u"POS_RESET_X", u"POS_RESET_Y", u"POS_RESET_Z",
    u"PROC_CALL", u"RAMP", u"REAL", u"REGUL_4", u"REGUL_5", u"REGUL_6", u"REGUL_X", u"REGUL_Y",
    u"REGUL_Z", u"RL", u"RR", u"SA", u"SA_READ", u"SA_WRITE", u"SGE", u"SGT", u"SHARE_BIT",
    u"SHARE_VAR", u"SLE", u"SLT", u"SPI_AX", u"SPI_AX_4", u"SPI_AX_5", u"SPI_AX_6", u"SPI_AX_X",
    u"SPI_AX_Y", u"SPI_AX_Z", u"SPI_FILTER", u"SPI_MAIN", u"STO", u"STO0", u"STO1", u"STR",
    u"STRADD", u"STRCMP", u"STRCPY", u"STRLOAD", u"SU", u"TEX0", u"TEX1", u"TIM", u"TM",
    u"TSET", u"TSET1", u"TSETM", u"TSETM1", u"V2FL", u"WR", u"XORB",
    nullptr,
};

namespace {

inline bool IsAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

inline bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

inline bool IsPlcWordChar(char16_t c)
{
    return IsAsciiLetter(c) || IsDigit(c) || c >= 0x80 || c == u'_' || c == u'@' || c == u'?';
}

bool IsPlcNumber(std::u16string_view token)
{
    return !token.empty() && IsDigit(token[0]);
}

const EdtCStyleOptions& PlcScanOptions()
{
    static const EdtCStyleOptions options = [] {
        EdtCStyleOptions o;
        o.listA = PlcSectionWords;
        o.listB = PlcInstructions;
        o.ignoreCase = true;
        o.isNumber = IsPlcNumber;
        return o;
    }();
    return options;
}

void PlcTokenPass(std::u16string_view text, TextBlockList* blocks)
{
    static const EdtKeywordIndex sectionWords(PlcSectionWords, true);
    static const EdtKeywordIndex instructions(PlcInstructions, true);

    const size_t len = text.size();
    blocks->Append(0, EDT_CLR_TEXT);
    int state = 0;         // 0 line start, 1 after a label, 2 after the opcode
    bool assembler = false;
    size_t i = 0;
    for (;;) {
        while (i < len && text[i] <= 0x20)
            ++i;
        if (i >= len)
            break;
        const char16_t c = text[i];
        size_t j = i + 1;
        int colour;
        if (IsDigit(c)) {
            while (j < len && (IsAsciiLetter(text[j]) || IsDigit(text[j]) || text[j] >= 0x80))
                ++j;
            colour = EDT_CLR_NUMBER;
        } else if (IsAsciiLetter(c) || c == u'_' || c == u'@' || c == u'?' || c >= 0x80) {
            while (j < len && IsPlcWordChar(text[j]))
                ++j;
            if (state == 0 && j < len && text[j] == u':') {
                ++j;
                colour = EDT_CLR_LABEL;
                state = 1;
            } else if (state <= 1) {
                std::u16string_view word = text.substr(i, j - i);
                if (sectionWords.Contains(word)) {
                    colour = EDT_CLR_KEYWORD;
                } else if (instructions.Contains(word)) {
                    colour = EDT_CLR_PLCINSTR;
                } else {
                    colour = EDT_CLR_ASM;
                    assembler = true;
                }
                state = 2;
            } else {
                colour = assembler ? EDT_CLR_ASM : EDT_CLR_TEXT;
            }
        } else if (c == u'+' || c == u'-' || c == u'*' || c == u'/') {
            colour = EDT_CLR_OPERATOR;
        } else if (c == u'"' || c == u'\'') {
            size_t close = text.find(c, i + 1);
            j = close == std::u16string_view::npos ? len : close + 1;
            colour = EDT_CLR_STRING;
        } else if (c == u';') {
            j = len;
            colour = EDT_CLR_COMMENT;
        } else {
            colour = EDT_CLR_TEXT;
        }
        blocks->Append(static_cast<int>(i), colour);
        i = j;
    }
    blocks->Append(static_cast<int>(len), EDT_CLR_TEXT);
}

} // namespace

uint32_t ParseLinePlc(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    if (text.size() < 2)
        return cookie & EDT_CK_BLOCK_COMMENT;
    if (blocks)
        PlcTokenPass(text, blocks);
    // Every block of the scan falls at or before the token pass's last one,
    // so the scan only supplies the cookie.
    return EdtScanCStyle(text, cookie, nullptr, PlcScanOptions());
}
