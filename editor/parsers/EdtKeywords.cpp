// The keyword lists of the NC, programming-language, markup and TeX parsers.
// Each list keeps its stored order and its duplicates; a few entries can
// never match a word of their parser (a blank, a "$" or "?" inside, a point
// at the start) and are kept verbatim all the same.

#include "editor/parsers/EdtKeywords.h"

const char16_t* const NcpDirectiveWords[] = {
    u"INL", u"DisplacementTable", u"AdditiveDisplacementTable", u"KOR", u"PAR", u"TCH", u"TCHL",
    u"MAC", u"CYC",
    nullptr,
};

const char16_t* const NcpAddressLetters[] = {
    u"N", u"/", u"G", u"D", u"X", u"Y", u"Z", u"U", u"V", u"W", u"I", u"J", u"K", u"R", u"F",
    u"S", u"L", u"Q", u"H", u"P", u"T", u"M", u"!",
    nullptr,
};

const char16_t* const CWordsA[] = {
    u"_asm", u"__asm", u"_far16", u"__far16", u"enum", u"__multiple_inheritance", u"template",
    u"auto", u"__except", u"__single_inheritance", u"this", u"__based", u"explicit",
    u"__virtual_inheritance", u"thread", u"bool", u"extern", u"mutable", u"throw", u"break",
    u"false", u"naked", u"true", u"case", u"_fastcall", u"__fastcall", u"namespace", u"try",
    u"catch", u"__finally", u"new", u"__try", u"__cdecl", u"__pascal", u"_cdecl", u"_pascal",
    u"float", u"operator", u"typedef", u"char", u"for", u"private", u"typeid", u"class",
    u"friend", u"protected", u"typename", u"const", u"goto", u"public", u"union", u"const_cast",
    u"if", u"register", u"unsigned", u"continue", u"inline", u"reinterpret_cast", u"using",
    u"__declspec", u"__inline", u"return", u"uuid", u"default", u"int", u"short", u"__uuidof",
    u"delete", u"__int8", u"signed", u"virtual", u"_export", u"__export", u"dllexport",
    u"__int16", u"sizeof", u"void", u"dllimport", u"__int32", u"static", u"volatile", u"do",
    u"__int64", u"static_cast", u"wmain", u"double", u"__leave", u"_stdcall", u"__stdcall",
    u"_syscall", u"__syscall", u"while", u"dynamic_cast", u"long", u"struct", u"xalloc",
    u"else", u"main", u"switch", u"interface", u"persistent", u"_persistent", u"transient",
    u"depend", u"ondemand", u"transient", u"cset", u"useindex", u"indexdef",
    nullptr,
};

const char16_t* const CWordsB[] = {
    u"LPTSTR", u"LPCTSTR", u"LPWSTR", u"LPCWSTR", u"LPTSTR", u"LPCTSTR", u"CHAR", u"WCHAR",
    u"TCHAR", u"BYTE", u"BOOL", u"TRUE", u"FALSE", u"INT", u"UINT", u"WORD", u"DWORD",
    u"WPARAM", u"LPARAM", u"LRESULT", u"CString",
    nullptr,
};

const char16_t* const JavaWordsA[] = {
    u"abstract", u"default", u"goto", u"null", u"synchronized", u"boolean", u"do", u"if",
    u"package", u"this", u"break", u"double", u"implements", u"private", u"threadsafe", u"byte",
    u"else", u"import", u"protected", u"throw", u"byvalue", u"extends", u"instanceof",
    u"public", u"transient", u"case", u"false", u"int", u"return", u"true", u"catch", u"final",
    u"interface", u"short", u"try", u"char", u"finally", u"long", u"static", u"void", u"class",
    u"float", u"native", u"super", u"while", u"const", u"for", u"new", u"switch", u"continue",
    nullptr,
};

const char16_t* const InstallShieldWordsA[] = {
    u"begin", u"call", u"case", u"declare", u"default", u"downto", u"else", u"elseif", u"end",
    u"endif", u"endswitch", u"endwhile", u"external", u"for", u"function", u"goto", u"if",
    u"program", u"prototype", u"repeat", u"return", u"step", u"switch", u"then", u"to",
    u"typedef", u"until", u"void", u"while", u"BOOL", u"BYREF", u"CHAR", u"HIWORD", u"HWND",
    u"INT", u"LIST", u"LONG", u"LOWORD", u"NUMBER", u"POINTER", u"QUAD", u"RGB", u"SHORT",
    u"STRING",
    nullptr,
};

const char16_t* const InstallShieldWordsB[] = {
    u"AFTER", u"APPEND", u"BACK", u"BEFORE", u"CANCEL", u"COMMAND", u"COMMANDEX", u"CONTINUE",
    u"DISABLE", u"DLG_ERR", u"ENABLE", u"EXCLUSIVE", u"EXISTS", u"FAILIFEXISTS", u"FALSE",
    u"FULL", u"NEXT", u"NO", u"NONEXCLUSIVE", u"NOSET", u"OFF", u"ON", u"PARTIAL", u"REPLACE",
    u"REPLACE_ITEM", u"RESET", u"RESTART", u"SET", u"TRUE", u"YES",
    nullptr,
};

const char16_t* const InstallShieldWordsC[] = {
    u"CMDLINE", u"ERRORFILENAME", u"INFOFILENAME", u"ISRES", u"ISUSER", u"ISVERSION", u"SRCDIR",
    u"SRCDISK", u"SUPPORTDIR", u"TARGETDIR", u"TARGETDISK", u"WINDIR", u"WINDISK", u"WINSYSDIR",
    u"WINSYSDISK",
    nullptr,
};

const char16_t* const ResourcesWordsA[] = {
    u"MENU", u"POPUP", u"MENUITEM", u"SEPARATOR", u"BEGIN", u"END",
    nullptr,
};

const char16_t* const ResourcesWordsB[] = {
    u"VK_F1", u"VK_F2",
    nullptr,
};

const char16_t* const RexxWordsA[] = {
    u"ADDRESS", u"ARG", u"CALL", u"DO", u"DROP", u"EXIT", u"IF", u"INTERPRET", u"ITERATE",
    u"LEAVE", u"NOP", u"NUMERIC", u"OPTIONS", u"PARSE", u"PROCEDURE", u"PULL", u"PUSH",
    u"QUEUE", u"RETURN", u"SAY", u"SELECT", u"OTHERWISE", u"SIGNAL", u"TRACE", u"END", u"WHEN",
    u"ELSE", u"WITH", u"TO", u"BY", u"ON", u"END", u"FOR", u"OFF", u"VAR", u"THEN", u"HALT",
    u"NAME", u"FORM", u"FUZZ", u"VALUE", u"WHILE", u"UNTIL", u"ERROR", u"UPPER", u"WITH",
    u"EXPOSE", u"DIGITS", u"FOREVER", u"FAILURE", u"VERSION", u"NOVALUE", u"SOURCE", u"SYNTAX",
    u"NOTREADY", u"SCIENTIFIC", u"ENGINEERING",
    nullptr,
};

const char16_t* const RexxWordsB[] = {
    u"METHOD", u"CLASS", u"NULL", u"LOOP", u"CATCH", u"RETURNS", u"EXTENDS", u"IMPLEMENTS",
    u"CHAR", u"BOOLEAN",
    nullptr,
};

const char16_t* const SqlWordsA[] = {
    u"select", u"where", u"insert", u"into", u"update", u"from", u"in", u"order", u"by", u"and",
    u"or", u"not", u"union", u"distinct", u"join", u"all", u"group",
    nullptr,
};

const char16_t* const SqlWordsB[] = {
    u"CHAR", u"VARCHAR", u"INTEGER", u"REAL", u"DOUBLE", u"MEMO", u"BYTE", u"WORD", u"DATE",
    u"TIME",
    nullptr,
};

const char16_t* const PythonWordsA[] = {
    u"access", u"and", u"break", u"class", u"continue", u"def", u"del", u"elif", u"else",
    u"except", u"exec", u"finally", u"for", u"from", u"global", u"if", u"import", u"in", u"is",
    u"lambda", u"not", u"or", u"pass", u"print", u"raise", u"return", u"try", u"while",
    nullptr,
};

const char16_t* const PythonWordsB[] = {
    u"argv", u"builtin_module_names", u"exc_type", u"exc_value", u"exc_traceback", u"exit",
    u"exitfunc", u"last_type", u"last_value", u"last_traceback", u"modules", u"path", u"ps1",
    u"ps2", u"settrace", u"setprofile", u"stdin", u"stdout", u"stderr", u"tracebacklimit",
    u"AttributeError", u"EOFError", u"IOError", u"ImportError", u"IndexError", u"KeyError",
    u"KeyboardInterrupt", u"MemoryError", u"NameError", u"OverflowError", u"RuntimeError",
    u"SyntaxError", u"SystemError", u"SystemExit", u"TypeError", u"ValueError",
    u"ZeroDivisionError",
    nullptr,
};

const char16_t* const PythonWordsC[] = {
    u"id", u"__init__", u"__del__", u"__repr__", u"__str__", u"__cmp__", u"__hash__",
    u"__dict__", u"__methods__", u"__members__", u"__class__", u"__bases__", u"__add__",
    u"__mul__", u"__mod__", u"__sub__", u"__div__", u"divmod", u"__divmod__", u"pow",
    u"__pow__", u"__and__", u"__xor__", u"__or__", u"__lshift__", u"__rshift__", u"nonzero",
    u"__nonzero__", u"coerce", u"__coerce__", u"__neg__", u"__pos__", u"abs", u"__abs__",
    u"__invert__", u"int", u"__int__", u"float", u"__float__", u"long", u"__long__", u"float",
    u"__float__", u"oct", u"__oct__", u"hex", u"__hex__", u"range", u"round", u"xrange", u"len",
    u"__len__", u"__getitem__",
    nullptr,
};

const char16_t* const ShellWordsA[] = {
    u"case", u"do", u"done", u"elif", u"else", u"esac", u"fi", u"for", u"function", u"if",
    u"in", u"then", u"until", u"while", u"exec", u"export", u"set", u"echo", u"exit", u"select",
    u"source", u"unset", u"alias", u"unalias", u"shift", u"break", u"read", u"return",
    nullptr,
};

const char16_t* const ShellWordsB[] = {
    u"ls", u"pwd", u"chown", u"chmod", u"logout", u"ssh", u"telnet", u"who",
    nullptr,
};

const char16_t* const PerlWordsA[] = {
    u"q", u"qq", u"qw", u"qx", u"m", u"s", u"y", u"tr", u"if", u"sub", u"return", u"while",
    u"for", u"elsif", u"foreach", u"else", u"unless", u"eq", u"not", u"and", u"or", u"ne",
    u"until", u"abs", u"accept", u"alarm", u"atan2", u"bind", u"binmode", u"bless", u"caller",
    u"chdir", u"chmod", u"chomp", u"chop", u"chown", u"chr", u"chroot", u"close", u"closedir",
    u"connect", u"cos", u"crypt", u"dbmclose", u"dbmopen", u"defined", u"delete", u"die", u"do",
    u"dump", u"each", u"eof", u"eval", u"exec", u"exists", u"exit", u"exp", u"fcntl", u"fileno",
    u"flock", u"fork", u"formline", u"getc", u"getlogin", u"getpeername", u"getpgrp",
    u"getppid", u"getpriority", u"getpwnam", u"getgrname", u"gethostbyname", u"getnetbyname",
    u"getprotobyname", u"getpwuid", u"getgrgid", u"getservbyname", u"gethostbyaddr",
    u"getnetbyaddr", u"getprotobynumber", u"getservbyport", u"getpwent", u"getgrent",
    u"gethostent", u"getnetent", u"getprotoent", u"getservent", u"setpwent", u"setgrent",
    u"sethostent", u"setnetent", u"setprotoent", u"setservent", u"endpwent", u"endgrent",
    u"endhostent", u"endnetent", u"endprotoent", u"endservent", u"getsockname", u"getsockopt",
    u"glob", u"gmtime", u"goto", u"grep", u"hex", u"import", u"index", u"int", u"ioctl",
    u"join", u"keys", u"kill", u"last", u"lc", u"lcfirst", u"length", u"link", u"listen",
    u"local", u"localtime", u"log", u"lstat", u"map", u"mkdir", u"msgctl", u"msgget", u"msgsnd",
    u"msgrcv", u"my", u"next", u"no", u"oct", u"open", u"opendir", u"ord", u"pack", u"pipe",
    u"pop", u"pos", u"print", u"printf", u"push", u"quotemeta", u"rand", u"read", u"readdir",
    u"readlink", u"recv", u"redo", u"ref", u"rename", u"require", u"reset", u"return",
    u"reverse", u"rewinddir", u"rindex", u"rmdir", u"scalar", u"seek", u"seekdir", u"select",
    u"semctl", u"semget", u"semop", u"send", u"setpgrp", u"setpriority", u"setsockopt",
    u"shift", u"shmctl", u"sgmget", u"shmread", u"shmwrite", u"shutdown", u"sin", u"sleep",
    u"socket", u"socketpair", u"sort", u"splice", u"split", u"sprintf", u"sqrt", u"srand",
    u"stat", u"study", u"substr", u"symlink", u"syscall", u"sysread", u"system", u"syswrite",
    u"tell", u"telldir", u"tie", u"time", u"times", u"truncate", u"uc", u"ucfirst", u"umask",
    u"undef", u"unlink", u"unpack", u"untie", u"unshift", u"use", u"utime", u"values", u"vec",
    u"wait", u"waitpid", u"wantarray", u"warn", u"write", u"x", u"continue", u"package",
    u"bootstrap", u"getgrnam", u"tan",
    nullptr,
};

const char16_t* const TclWordsA[] = {
    u"case", u"do", u"done", u"elif", u"else", u"esac", u"fi", u"for", u"function", u"if",
    u"in", u"then", u"until", u"while",
    nullptr,
};

const char16_t* const PascalWordsA[] = {
    u"program", u"const", u"type", u"var", u"begin", u"end", u"array", u"set", u"record",
    u"string", u"if", u"then", u"else", u"while", u"for", u"to", u"downto", u"do", u"with",
    u"repeat", u"until", u"case", u"of", u"goto", u"exit", u"label", u"procedure", u"function",
    u"nil", u"file", u"and", u"or", u"not", u"xor", u"div", u"mod", u"unit", u"uses",
    u"implementation", u"interface", u"external", u"asm", u"inline", u"object", u"constructor",
    u"destructor", u"virtual", u"far", u"assembler", u"near", u"inherited",
    nullptr,
};

const char16_t* const BasicWordsA[] = {
    u"If", u"Function", u"Else", u"End", u"For", u"Next", u"While", u"Wend", u"SMDoMenu",
    u"GetAttrType", u"GetAttrName", u"GetAttrValString", u"GetAttrValFloat", u"GetAttrValInt",
    u"GetAttrValBool", u"GetAttrValEnumInt", u"GetAttrValEnumString", u"GetClassId",
    u"GetGeoType", u"SetAttrValString", u"SetAttrValInt", u"SetAttrValFloat", u"SetAttrValBool",
    u"SetAttrValEnumString", u"SetAttrValEnumInt", u"CreateVerifyItem", u"VerifyCardinalities",
    u"As", u"Abs", u"AppActivate", u"Asc", u"Atn", u"Beep", u"Call", u"CDbl", u"ChDir",
    u"ChDrive", u"CheckBox", u"Chr", u"CInt", u"CLng", u"Close", u"Const", u"Cos",
    u"CreateObject", u"CSng", u"CStr", u"CVar", u"CurDir", u"Date", u"Declare", u"Dialog",
    u"Dim", u"Dir", u"DlgEnable", u"DlgText", u"DlgVisible", u"Do", u"Double", u"Loop", u"End",
    u"EOF", u"Erase", u"Exit", u"Exp", u"FileCopy", u"FileLen", u"Fix", u"For", u"To", u"Step",
    u"Next", u"Format", u"Function", u"GetObject", u"Global", u"GoSub", u"Return", u"GoTo",
    u"Hex", u"Hour", u"If", u"Then", u"Else", u"Input", u"InputBox", u"InStr", u"Int",
    u"IsDate", u"IsEmpty", u"IsNull", u"IsNumeric", u"Kill", u"LBound", u"LCase", u"LCase$",
    u"Left", u"Left$", u"Len", u"Let", u"Line", u"Input#", u"Log", u"Long", u"Mid", u"Minute",
    u"MkDir", u"Month", u"MsgBox", u"Name", u"Now", u"Oct", u"On", u"Error", u"Open", u"Option",
    u"Base", u"Print", u"Print", u"Rem", u"Right", u"RmDir", u"Rnd", u"Second", u"Seek",
    u"Seek", u"Select Case", u"SendKeys", u"Set", u"Shell", u"Sin", u"Space", u"Sqr", u"Static",
    u"Stop", u"Str", u"StrComp", u"String", u"StringFunction", u"Sub", u"Tan", u"Text",
    u"TextBox", u"Time", u"TimeSerial", u"TimeValue", u"Trim", u"LTrim", u"RTrim", u"Type",
    u"UBound", u"UCase", u"Val", u"VarType", u"While", u"Wend", u"With", u"Write", u"Year",
    nullptr,
};

const char16_t* const FortranWordsA[] = {
    u"abs", u"achar", u"acos", u"adjustl", u"adjustr", u"aimag", u"aint", u"all",
    u"allocatable", u"allocate", u"allocated", u".and.", u"anint", u"any", u"asin",
    u"assignment", u"associated", u"atan", u"atan2", u"backspace", u"bit_size", u"block",
    u"blockdata", u"btest", u"call", u"random_number", u"random_seed", u"system_clock", u"call",
    u"case", u"ceiling", u"char", u"character", u"close", u"cmplx", u"common", u"complex",
    u"conjg", u"contains", u"continue", u"cos", u"cosh", u"count", u"cshift", u"cycle", u"data",
    u"date_and_time", u"dble", u"deallocate", u"default", u"digits", u"dim", u"dimension",
    u"do", u"dot_product", u"double", u"doubleprecision", u"dprod", u"else", u"elseif",
    u"elsewhere", u"end", u"endblock", u"endblockdata", u"enddo", u"endfile", u"endif",
    u"endinterface", u"endselect", u"endtype", u"endwhere", u"entry", u"eoshift", u"epsilon",
    u"equivalence", u"exit", u"exp", u"exponent", u"external", u"file", u"floor", u"format.",
    u"fraction", u"function", u"go", u"goto", u"huge", u"iachar", u"iand", u"ibclr", u"ibits",
    u"ibset", u"ichar", u"ieor", u"if", u"implicit", u"in", u"index", u"inout", u"inquire",
    u"int", u"integer", u"intent", u"interface", u"intrinsic", u"iolength", u"ior", u"ishftc",
    u"ishift", u"kind", u"lbound", u"len", u"len_trim", u"lge", u"lgt", u"lle", u"llt", u"log",
    u"log10", u"logical", u"matmul", u"max", u"maxexponent", u"maxloc", u"maxval", u"merge",
    u"min", u"minexponent", u"minloc", u"minval", u"mod", u"module", u"modulo", u"mvbits",
    u"namelist", u"nearest", u"nint", u"none", u".not.", u"nullify", u"only", u"open",
    u"operator", u"optional", u".or.", u"out", u"pack", u"parameter", u"pointer", u"precision",
    u"present", u"print", u"private", u"procedure", u"product", u"program", u"public", u"radix",
    u"rangereal", u"read", u"real", u"recursive", u"repeat", u"reshape", u"result", u"return",
    u"rewrind", u"rrspacing", u"save", u"scale", u"scan", u"select", u"selectcase",
    u"selected_int_kind", u"selected_real_kind", u"sequence", u"set_exponent", u"shape",
    u"sign", u"sin", u"sinh", u"size", u"spacing", u"spread", u"sqrt", u"stop", u"subroutine",
    u"sum", u"tan", u"tanh", u"target", u"then", u"tiny", u"to", u"transfer", u"transpose",
    u"trim", u"type", u"unbound", u"unpack", u"use", u"verify", u"where", u"while", u"write",
    nullptr,
};

const char16_t* const DclWordsA[] = {
    u"boxed_column", u"boxed_radio_column", u"boxed_radio_row", u"boxed_row", u"button",
    u"column", u"concatenation", u"dialog", u"edit_box", u"image", u"list_box", u"paragraph",
    u"popup_list", u"radio_button", u"row", u"slider", u"spacer", u"text_part", u"text",
    u"toggle",
    nullptr,
};

const char16_t* const DclWordsB[] = {
    u"spacer_0", u"spacer_1", u"default_button", u"retirement_button",
    u"ok_cancel_help_errtile", u"ok_cancel_help_info", u"ok_cancel", u"ok_cancel_err",
    u"ok_cancel_help", u"ok_only", u"ok_button", u"cancel_button", u"help_button",
    u"info_button", u"errtile", u"image_button", u"radio_column", u"radio_row",
    nullptr,
};

const char16_t* const DclWordsC[] = {
    u"action", u"alignment", u"allow_accept", u"aspect_ratio", u"big_increment",
    u"children_alignment", u"children_fixed_height", u"children_fixed_width", u"edit_limit",
    u"edit_width", u"fixed_height", u"fixed_width", u"height", u"initial_focus", u"is_bold",
    u"is_cancel", u"is_default", u"is_enabled", u"is_tab_stop", u"key", u"label", u"layout",
    u"list", u"max_value", u"min_value", u"mnemonic", u"multiple_select", u"small_increment",
    u"tabs", u"value", u"width",
    nullptr,
};

const char16_t* const AutoLispWordsA[] = {
    u"abs", u"acad_colordlg", u"acad_helpdlg", u"acad_strlsort", u"action_tile", u"add_list",
    u"ads", u"alert", u"alloc", u"and", u"angle", u"angtof", u"angtos", u"append", u"apply",
    u"arxload", u"arxunload", u"arx", u"ascii", u"assoc", u"atan", u"atof", u"atoi",
    u"atoms-family", u"atom", u"autoarxload", u"autoload", u"autoxload", u"boole", u"boundp",
    u"caaaar", u"caaadr", u"caaar", u"caadar", u"caaddr", u"caadr", u"caar", u"cadaar",
    u"cadadr", u"cadar", u"caddar", u"cadddr", u"caddr", u"cadr", u"car", u"cdaaar", u"cdaadr",
    u"cdaar", u"cdadar", u"cdaddr", u"cdadr", u"cdar", u"cddaar", u"cddadr", u"cddar",
    u"cdddar", u"cddddr", u"cdddr", u"cddr", u"cdr", u"chr", u"client_data_tile", u"close",
    u"command", u"cond", u"cons", u"cos", u"cvunit", u"defun", u"dictnext", u"dictsearch",
    u"dimx_tile", u"dimy_tile", u"distance", u"distof", u"done_dialog", u"end_image",
    u"end_list", u"entdel", u"entget", u"entlast", u"entmake", u"entmod", u"entnext", u"entsel",
    u"entupd", u"equal", u"eq", u"eval", u"exit", u"expand", u"expt", u"exp", u"fill_image",
    u"findfile", u"fix", u"float", u"foreach", u"gcd", u"gc", u"get_attr", u"get_tile",
    u"getangle", u"getcfg", u"getcorner", u"getdist", u"getenv", u"getfield", u"getint",
    u"getkword", u"getorient", u"getpoint", u"getreal", u"getstring", u"getvar", u"graphscr",
    u"grclear", u"grdraw", u"grread", u"grtext", u"grvecs", u"handent", u"if", u"help",
    u"initget", u"inters", u"itoa", u"lambda", u"last", u"length", u"listp", u"list",
    u"load_dialog", u"load", u"logand", u"logior", u"log", u"lsh", u"mapcar", u"max", u"member",
    u"mem", u"menucmd", u"minusp", u"min", u"mode_tile", u"namedobjdict", u"nentsel",
    u"nentselp", u"new_dialog", u"not", u"nth", u"null", u"numberp", u"open", u"or", u"osnap",
    u"polar", u"prin1", u"princ", u"print", u"progn", u"prompt", u"quit", u"quote",
    u"read-char", u"read-line", u"read", u"redraw", u"regapp", u"rem", u"repeat", u"reverse",
    u"rtos", u"setcfg", u"setfunhelp", u"setq", u"setvar", u"set_tile", u"set", u"sin",
    u"slide_image", u"snvalid", u"sqrt", u"ssadd", u"ssdel", u"ssget", u"sslength", u"ssmemb",
    u"ssname", u"startapp", u"start_dialog", u"start_image", u"start_list", u"strcase",
    u"strcat", u"strlen", u"substr", u"subst", u"tablet", u"tblnext", u"tblobjname",
    u"tblsearch", u"term_dialog", u"terpri", u"textbox", u"textpage", u"textscr", u"trace",
    u"trans", u"type", u"unload_dialog", u"untrace", u"vector_image", u"ver", u"vmon",
    u"vports", u"wcmatch", u"while", u"write-char", u"write-line", u"xdroom", u"xdsize",
    u"xload", u"xunload", u"zerop",
    nullptr,
};

const char16_t* const SiodWordsA[] = {
    u"abs", u"alarm", u"and", u"append", u"apply", u"ass", u"assoc", u"assq", u"assv",
    u"base64decode", u"base64encode", u"begin", u"caaar", u"caadr", u"caar", u"cadar", u"caddr",
    u"cadr", u"car", u"cdaar", u"cdadr", u"cdar", u"cddar", u"cdddr", u"cddr", u"cdr", u"cond",
    u"cons-array", u"define", u"eq?", u"equal?", u"eqv?", u"eval", u"exec", u"exit", u"fclose",
    u"fopen", u"if", u"lambda", u"length", u"let", u"let*", u"letrec", u"list", u"load", u"max",
    u"min", u"member", u"memq", u"memv", u"nil", u"not", u"null?", u"number?",
    u"number->string", u"or", u"pair?", u"quit", u"quote", u"set!", u"set-car!", u"set-cdr!",
    u"string->number", u"string-length", u"string?", u"string-append", u"substring", u"symbol?",
    u"read", u"reverse",
    nullptr,
};

const char16_t* const SiodWordsB[] = {
    u"acos", u"asin", u"atan", u"cos", u"exp", u"log", u"sin", u"tan", u"sqrt",
    nullptr,
};

const char16_t* const SiodWordsC[] = {
    u"%%%memref", u"%%closure", u"%%closure-code", u"%%closure-env", u"%%stack-limit",
    u"*after-gc*", u"*args*", u"*catch", u"*env*", u"*eval-history-ptr*", u"*pi*", u"*plists*",
    u"*throw", u"*traced*", u"F_GETLK", u"F_SETLK", u"F_SETLKW", u"access-problem?",
    u"allocate-heap", u"apropos", u"aref", u"array->hexstr", u"aset", u"ash", u"atan2",
    u"benchmark-eval", u"benchmark-funcall1", u"benchmark-funcall2", u"bit-and", u"bit-not",
    u"bit-or", u"bit-xor", u"butlast", u"bytes-append", u"chdir", u"chmod", u"chown",
    u"closedir", u"copy-list", u"cpu-usage-limits", u"crypt", u"current-resource-usage",
    u"datlength", u"datref", u"decode-file-mode", u"delete-file", u"delq", u"encode-file-mode",
    u"encode-open-flags", u"endpwent", u"env-lookup", u"eof-val", u"errobj", u"error",
    u"fast-load", u"fast-print", u"fast-read", u"fast-save", u"fchmod", u"fflush",
    u"file-times", u"first", u"fmod", u"fnmatch", u"fork", u"fread", u"fseek", u"fstat",
    u"ftell", u"fwrite", u"gc", u"gc-info", u"gc-status", u"get", u"getc", u"getcwd", u"getenv",
    u"getgid", u"getgrgid", u"getpass", u"getpgrp", u"getpid", u"getppid", u"getpwent",
    u"getpwnam", u"getpwuid", u"gets", u"getuid", u"gmtime", u"hexstr->bytes", u"href", u"hset",
    u"html-encode", u"intern", u"kill", u"larg-default", u"last", u"last-c-error", u"lchown",
    u"link", u"lkey-default", u"load-so", u"localtime", u"lref-default", u"lstat", u"make-list",
    u"mapcar", u"md5-final", u"md5-init", u"md5-update", u"mkdatref", u"mkdir", u"mktime",
    u"nconc", u"nice", u"nreverse", u"nth", u"opendir", u"os-classification", u"parse-number",
    u"pclose", u"popen", u"pow", u"prin1", u"print", u"print-to-string", u"prog1", u"putc",
    u"putenv", u"putprop", u"puts", u"qsort", u"rand", u"random", u"read-from-string",
    u"readdir", u"readline", u"readlink", u"realtime", u"rename", u"require", u"require-so",
    u"rest", u"rld-pathnames", u"rmdir", u"runtime", u"save-forms", u"sdatref",
    u"set-eval-history", u"set-symbol-value!", u"setprop", u"setpwent", u"setuid", u"siod-lib",
    u"sleep", u"so-ext", u"srand", u"srandom", u"stat", u"strbreakup", u"strcat", u"strcmp",
    u"strcpy", u"strcspn", u"strftime", u"string-dimension", u"string-downcase",
    u"string-lessp", u"string-search", u"string-trim", u"string-trim-left",
    u"string-trim-right", u"string-upcase", u"strptime", u"strspn", u"subset",
    u"substring-equal?", u"swrite", u"sxhash", u"symbol-bound?", u"symbol-value", u"symbolconc",
    u"symlink", u"system", u"t", u"the-environment", u"trace", u"trunc", u"typeof",
    u"unbreakupstr", u"ungetc", u"unix-ctime", u"unix-time", u"unix-time->strtime", u"unlink",
    u"untrace", u"url-decode", u"url-encode", u"utime", u"verbose", u"wait", u"while",
    u"writes",
    nullptr,
};

const char16_t* const BatchWordsA[] = {
    u"?", u"CALL", u"CD", u"CDD", u"CHCP", u"CLS", u"COLOR", u"COPY", u"CTTY", u"DATE", u"DEL",
    u"DELAY", u"DESCRIBE", u"DIR", u"DIRHISTORY", u"DIRS", u"DO", u"DRAWBOX", u"DRAWHLINE",
    u"DRAWVLINE", u"ECHO", u"ECHOERR", u"ECHOS", u"ECHOSERR", u"ENDLOCAL", u"ERASE", u"ESET",
    u"EXCEPT", u"EXIT", u"FFIND", u"FOR", u"FREE", u"GLOBAL", u"GOSUB", u"GOTO", u"HELP",
    u"HISTORY", u"IF", u"IFF", u"INKEY", u"INPUT", u"KEYBD", u"KEYSTACK", u"LH", u"LOADHIGH",
    u"LIST", u"LOADBTM", u"LOCK", u"LOG", u"MD", u"MKDIR", u"MEMORY", u"MOVE", u"ON", u"OPTION",
    u"PATH", u"PAUSE", u"POPD", u"PROMPT", u"PUSHD", u"QUIT", u"RD", u"REBOOT", u"REM", u"REN",
    u"RENAME", u"RETURN", u"SCREEN", u"SCRPUT", u"SELECT", u"SET", u"SETDOS", u"SETLOCAL",
    u"SHIFT", u"START", u"SWAPPING", u"SWITCH", u"TEE", u"TEXT", u"TIME", u"TIMER", u"TOUCH",
    u"TREE", u"TRUENAME", u"TYPE", u"UNALIAS", u"UNLOCK", u"UNSET", u"VER", u"VERIFY", u"VOL",
    u"VSCRPUT", u"Y",
    nullptr,
};

const char16_t* const BatchWordsB[] = {
    u"APPEND", u"ATTRIB", u"BUSETUP", u"CHKDSK", u"CHOICE", u"COMMAND", u"DEBUG", u"DEFRAG",
    u"DELOLDOS", u"DELTREE", u"DISKCOMP", u"DISKCOPY", u"DOSKEY", u"DRVSPACE", u"EDIT",
    u"EMM386", u"EXPAND", u"FASTHELP", u"FASTOPEN", u"FC", u"FDISK", u"FIND", u"FORMAT",
    u"GRAPHICS", u"HELP", u"INTERLNK", u"INTERSVR", u"KEYB", u"LABEL", u"LOADFIX", u"MEM",
    u"MEMMAKER", u"MODE", u"MORE", u"MOUSE", u"MOVE", u"MSAV", u"MSBACKUP", u"MSCDEX", u"MSD",
    u"MWAV", u"MWAVTSR", u"MWBACKUP", u"MWUNDEL", u"NLSFUNC", u"POWER", u"PRINT", u"QBASIC",
    u"REPLACE", u"RESTORE", u"SCANDISK", u"SETUP", u"SETVER", u"SHARE", u"SIZER", u"SMARTDRV",
    u"SMARTMON", u"SORT", u"SUBST", u"SYS", u"TREE", u"UNDELETE", u"UNFORMAT", u"UNINSTAL",
    u"VSAFE", u"XCOPY",
    nullptr,
};

const char16_t* const HtmlTags[] = {
    u"DOCTYPE", u"PUBLIC", u"FRAME", u"FRAMESET", u"NOFRAMES", u"HEAD", u"TITLE", u"ISINDEX",
    u"META", u"LINK", u"BASE", u"SCRIPT", u"STYLE", u"BODY", u"H1", u"H2", u"H3", u"H4", u"H5",
    u"H6", u"UL", u"OL", u"DIR", u"MENU", u"LI", u"DL", u"DT", u"DD", u"P", u"PRE",
    u"BLOCKQUOTE", u"ADDRESS", u"DIV", u"SPAN", u"CENTER", u"HR", u"FORM", u"TABLE", u"LEFT",
    u"RIGHT", u"TOP", u"EM", u"STRONG", u"DFN", u"CODE", u"SAMP", u"KBD", u"VAR", u"CITE",
    u"TT", u"I", u"B", u"U", u"STRIKE", u"BIG", u"SMALL", u"SUB", u"SUP", u"A", u"BASEFONT",
    u"IMG", u"APPLET", u"PARAM", u"FONT", u"BR", u"MAP", u"AREA", u"INPUT", u"SELECT",
    u"OPTION", u"TEXTAREA", u"ONCLICK", u"CAPTION", u"TR", u"TH", u"TD", u"HTML",
    nullptr,
};

const char16_t* const HtmlAttributes[] = {
    u"ACTION", u"ALIGN", u"ALINK", u"BACKGROUND", u"BGCOLOR", u"COLOR", u"COMPACT", u"CONTENT",
    u"ENCTYPE", u"FACE", u"HEIGHT", u"HREF", u"HTTP-EQUIV", u"LINK", u"METHOD", u"NAME",
    u"PROMPT", u"REL", u"REV", u"START", u"TEXT", u"TYPE", u"VALUE", u"VLINK", u"WIDTH",
    u"ADD_DATE", u"ALT", u"BORDER", u"CELLPADDING", u"CELLSPACING", u"CHECKED", u"CLEAR",
    u"CODE", u"CODEBASE", u"COLS", u"COLSPAN", u"COORDS", u"FOLDED", u"HSPACE", u"ISMAP",
    u"LAST_MODIFIED", u"LAST_VISIT", u"MAXLENGTH", u"MULTIPLE", u"NORESIZE", u"NOSHADE",
    u"NOWRAP", u"ROWS", u"ROWSPAN", u"SELECTED", u"SHAPE", u"SIZE", u"SRC", u"TARGET",
    u"USEMAP", u"VALIGN", u"VSPACE",
    nullptr,
};

const char16_t* const HtmlEntities[] = {
    u"nbsp", u"quot", u"amp", u"lt", u"lt", u"gt", u"copy", u"reg", u"acute", u"laquo",
    u"raquo", u"iexcl", u"iquest", u"Agrave", u"agrave", u"Aacute", u"aacute", u"Acirc",
    u"acirc", u"Atilde", u"atilde", u"Auml", u"auml", u"Aring", u"aring", u"AElig", u"aelig",
    u"Ccedil", u"ccedil", u"ETH", u"eth", u"Egrave", u"egrave", u"Eacute", u"eacute", u"Ecirc",
    u"ecirc", u"Euml", u"euml", u"Igrave", u"igrave", u"Iacute", u"iacute", u"Icirc", u"icirc",
    u"Iuml", u"iuml", u"Ntilde", u"ntilde", u"Ograve", u"ograve", u"Oacute", u"oacute",
    u"Ocirc", u"ocirc", u"Otilde", u"otilde", u"Ouml", u"ouml", u"Oslash", u"oslash", u"Ugrave",
    u"ugrave", u"Uacute", u"uacute", u"Ucirc", u"ucirc", u"Uuml", u"uuml", u"Yacute", u"yacute",
    u"yuml", u"THORN", u"thorn", u"szlig", u"sect", u"para", u"micro", u"brvbar", u"plusmn",
    u"middot", u"uml", u"cedil", u"ordf", u"ordm", u"not", u"shy", u"macr", u"deg", u"sup1",
    u"sup2", u"sup3", u"frac14", u"frac12", u"frac34", u"times", u"divide", u"cent", u"pound",
    u"curren", u"yen",
    nullptr,
};

const char16_t* const SgmlTags[] = {
    u"ABSTRACT", u"ARTICLE", u"AUTHOR", u"BF", u"BOOK", u"CHAPT", u"CODE", u"COPYRIGHT",
    u"DATE", u"DEBIANDOC", u"DESCRIP", u"DOCTYPE", u"EM", u"EMAIL", u"ENUM", u"ENUMLIST",
    u"EXAMPLE", u"FOOTNOTE", u"FTPSITE", u"FTPPATH", u"HEADING", u"HTMLURL", u"HTTPSITE",
    u"HTTPPATH", u"IT", u"ITEM", u"ITEMIZE", u"LABEL", u"LIST", u"MANREF", u"NAME", u"P",
    u"PRGN", u"PUBLIC", u"QREF", u"QUOTE", u"REF", u"SECT", u"SECT1", u"SECT2", u"SECT3",
    u"SECT4", u"STRONG", u"SYSTEM", u"TAG", u"TAGLIST", u"TITLE", u"TITLEPAG", u"TOC",
    u"TSCREEN", u"TT", u"URL", u"VAR", u"VERB", u"VERSION",
    nullptr,
};

const char16_t* const SgmlAttributes[] = {
    u"COMPACT", u"ID", u"NAME", u"SECTION",
    nullptr,
};

const char16_t* const PhpKeywords[] = {
    u"exit", u"die", u"old_function", u"function", u"cfunction", u"const", u"return", u"if",
    u"elseif", u"endif", u"else", u"while", u"endwhile", u"do", u"for", u"endfor", u"foreach",
    u"endforeach", u"as", u"switch", u"endswitch", u"case", u"default", u"break", u"continue",
    u"echo", u"print", u"class", u"extends", u"new", u"var", u"int", u"integer", u"real",
    u"double", u"float", u"string", u"array", u"object", u"bool", u"boolean", u"eval",
    u"include", u"require", u"global", u"isset", u"empty", u"static", u"unset", u"list",
    u"array",
    nullptr,
};

const char16_t* const PhpOperatorWords[] = {
    u"OR", u"AND", u"XOR",
    nullptr,
};

const char16_t* const PhpConstants[] = {
    u"__LINE__", u"__FILE__",
    nullptr,
};

const char16_t* const TexWords[] = {
    u"documentstyle", u"document", u"documentclass", u"pagestyle", u"pagenumbering",
    u"thispagestyle", u"title", u"author", u"date", u"maketitle", u"begin", u"end", u"part",
    u"chapter", u"section", u"subsection", u"subsubsection", u"paragraph", u"subparagraph",
    u"appendix", u"tableofcontents", u"listoffigures", u"listoftables", u"rm", u"em", u"bf",
    u"sc", u"it", u"sl", u"sf", u"tt", u"tiny", u"scriptsize", u"footnotesize", u"small",
    u"normalsize", u"large", u"Large", u"LARGE", u"huge", u"HUGE", u"bibitem", u"cite",
    u"label", u"ref", u"pageref", u"footnote", u"item", u"caption", u"kill", u"hline", u"cline",
    u"multicolumn", u"def", u"hspace", u"vspace", u"linebreak", u"nolinebreak", u"newpage",
    u"clearpage", u"pagebreak", u"nopagebreak", u"samepage", u"newcommand", u"renewcommand",
    u"newenvironment", u"newtheorem", u"newcounter", u"setcounter", u"addtocounter", u"value",
    u"stepcounter", u"newlength", u"setlength", u"addtolength", u"settowidth", u"textheight",
    u"textwidth", u"topmargin", u"hoffset", u"voffset", u"oddsidemargin", u"evensidemargin",
    u"mbox", u"makebox", u"fbos", u"framebox", u"newsavebox", u"sbox", u"savebox", u"usebox",
    u"raisebox", u"put", u"framebox", u"dashbox", u"line", u"vector", u"circle", u"oval",
    u"frame", u"shortstack", u"multiput", u"thinlines", u"thicklines", u"linethickness",
    u"font", u"magnification", u"magstephalf", u"magstep", u"hsize", u"vsize", u"voffset",
    u"hoffset", u"topskip", u"leftskip", u"rightskip", u"eject", u"vfill", u"eject",
    u"goodbreak", u"nobreak", u"nopagenumbers", u"headline", u"headheight", u"headsep",
    u"footnote", u"pageno", u"folio", u"par", u"parindent", u"noindent", u"break", u"hfill",
    u"break", u"line", u"rightline", u"centerline", u"includegraphics", u"enskip", u"hskip",
    u"hfil", u"hfill", u"hss", u"smallskip", u"vskip", u"vglue", u"vfil", u"vfill", u"vss",
    u"baselineskip", u"parskip", u"topinsert", u"midinsert", u"handindent", u"footnote",
    u"hrule", u"vrule", u"leaders", u"hrulefill", u"settabs", u"haling", u"hbox", u"vbox",
    u"newbox", u"setbox", u"arccos", u"cos", u"csc", u"exp", u"ker", u"limsup", u"min", u"sinh",
    u"arcsin", u"cosh", u"deg", u"gcd", u"lg", u"ln", u"Pr", u"sup", u"arctan", u"cot", u"det",
    u"hom", u"lim", u"log", u"sec", u"tan", u"arg", u"coth", u"dim", u"inf", u"liminfo", u"max",
    u"sin", u"tanh", u"displaystyle", u"textstyle", u"alpha", u"beta", u"gamma", u"delta",
    u"epsilon", u"varepsilon", u"zeta", u"eta", u"theta", u"vartheta", u"iota", u"kappa",
    u"lambda", u"mu", u"nu", u"xi", u"o", u"pi", u"varpi", u"rho", u"varrho", u"sigma",
    u"varsigma", u"tau", u"upsilon", u"phi", u"varphi", u"chi", u"psi", u"omega", u"Gamma",
    u"Delta", u"Theta", u"Lambda", u"Xi", u"Pi", u"Sigma", u"Upsilon", u"Phi", u"Psi", u"Omega",
    u"aleph", u"hbar", u"imath", u"jmath", u"ell", u"wp", u"Re", u"Im", u"partial", u"infty",
    u"backslash", u"prime", u"emptyset", u"nabla", u"surd", u"triangle", u"angle", u"bot",
    u"top", u"forall", u"exists", u"neg", u"lnot", u"flat", u"natural", u"sharp", u"clubsuit",
    u"diamondsuit", u"heartsuit", u"spadesuit", u"pm", u"mp", u"setminus", u"cdot", u"times",
    u"ast", u"star", u"diamond", u"circ", u"bullet", u"triangleleft", u"cap", u"cup", u"uplus",
    u"sqcap", u"sqcup", u"amalg", u"div", u"wr", u"bigcirc", u"vee", u"lor", u"wedge", u"land",
    u"oplus", u"ominus", u"otimes", u"oslash", u"odot", u"dagger", u"ddagger",
    u"bigtriangleleft", u"bigtriangledown", u"sum", u"prod", u"coprod", u"int", u"oint",
    u"bigcap", u"bigcup", u"bigsqcup", u"bigvee", u"bigwedge", u"bigodot", u"bigotimes",
    u"bigoplus", u"biguplus", u"hat", u"acute", u"ddot", u"vec", u"check", u"grave", u"breve",
    u"tilde", u"dot", u"bar", u"widehat", u"widetilde", u"ldots", u"vdots", u"cdots", u"ddots",
    u"leq", u"le", u"prec", u"preceq", u"ll", u"subset", u"subsetqe", u"supsetqe", u"in",
    u"vdash", u"smile", u"frown", u"geq", u"ge", u"succ", u"succeq", u"gg", u"supset",
    u"sqsubseteq", u"sqsupsetqe", u"ni", u"owns", u"dashv", u"mid", u"parallel", u"equiv",
    u"sim", u"simeq", u"asymp", u"approx", u"cong", u"bowtie", u"propto", u"models", u"doteq",
    u"perp", u"not", u"leftarrow", u"Leftarrow", u"gets", u"longleftarrow", u"Longleftarrow",
    u"rightarrow", u"Rightarrow", u"to", u"longrightarrow", u"Longrightarrow",
    u"leftrightarrow", u"Leftrightarrow", u"longleftrightarrow", u"Longleftrightarrow",
    u"mapsto", u"longmapsto", u"hookleftarrow", u"hookrightarrow", u"leftharpoonup",
    u"rightharpoonup", u"leftharpoondown", u"rightharpoondown", u"uparrow", u"Uparrow",
    u"downarrow", u"Downarrow", u"updownarrow", u"Updownarrow", u"nearrow", u"searrow",
    u"swarrow", u"nwarrow", u"lbrack", u"lfloor", u"rbrack", u"rfloor", u"lceil", u"lbrace",
    u"langle", u"rceil", u"rbrace", u"rangle", u"quad", u"qquad", u"Biggl", u"biggl", u"Bigl",
    u"bigl", u"bigr", u"Bigr", u"biggr", u"Biggr", u"lgroup", u"rgroup", u"langle", u"rangle",
    u"vert", u"Vert", u"uparrow", u"left", u"right", u"overline", u"overrightarrow",
    u"overleftarrow", u"overbrace", u"underbrace", u"atop", u"choose", u"brack", u"above",
    u"brace", u"pmatrix", u"matrix", u"bordermatrix", u"eqalign", u"eqno", u"eqalignno",
    u"quad", u"def", u"gdef", u"edef", u"newcount", u"advance", u"multiply", u"divide",
    u"number", u"romannumeral", u"newdimen", u"newread", u"openin", u"closein", u"input",
    u"endinput", u"newwrite", u"openouput", u"closeout", u"write", u"jobname", u"if", u"else",
    u"fi", u"ifx", u"ifeof", u"ifhmode", u"ifvmode", u"ifmmode", u"ifcat", u"ifnum", u"ifdim",
    u"ifodd", u"ifcase", u"or", u"loop", u"repeat", u"beginpicture", u"setcoordinatesystem",
    u"endpicture", u"plotheading", u"lines", u"putrule", u"linethickness", u"setlinear",
    u"setquadratic", u"sethistograms", u"setsolid", u"setdashes", u"setdots", u"setdashpattern",
    u"setplotsymbol", u"plot", u"arrow", u"put", u"multiput", u"circulararc", u"ellipticarc",
    u"startrotation", u"stoprotation", u"setshadegrid", u"setshadesymbol", u"shaderectangleson",
    u"sharerectanglesoff", u"vshade", u"setquadratic", u"hshade", u"setplotarea",
    u"inboundscheckon", u"inboundscheckoff", u"axis", u"setbox", u"endpicturesave", u"newdimen",
    nullptr,
};

const char16_t* const LatexWords[] = {
    u"Alph", u"AtBeginDocument", u"AtBeginDvi", u"AtEndDocument", u"AtEndOfPackage", u"Big",
    u"Bigg", u"Box", u"CheckCommand", u"ClassError", u"ClassInfo", u"ClassWarning",
    u"ClassWarningNoLine", u"DeclareErrorFont", u"DeclareFixedFont", u"DeclareFontEncoding",
    u"DeclareFontEncodingDefaults", u"DeclareFontFamily", u"DeclareFontShape",
    u"DeclareFontSubstitution", u"DeclareMathAccent", u"DeclareMathAlphabet",
    u"DeclareMathDelimiter", u"DeclareMathRadical", u"DeclareMathSizes", u"DeclareMathSymbol",
    u"DeclareMathVersion", u"DeclareOldFontCommand", u"DeclareOption", u"DeclarePreloadSizes",
    u"DeclareRobustCommand", u"DeclareSizeFunction", u"DeclareSymbolFont",
    u"DeclareSymbolFontAlphabet", u"DeclareTextAccent", u"DeclareTextAccentDefault",
    u"DeclareTextCommand", u"DeclareTextCommandDefault", u"DeclareTextComposite",
    u"DeclareTextCompositeCommand", u"DeclareTextFontCommand", u"DeclareTextSymbol",
    u"DeclareTextSymbolDefault", u"ExecuteOptions", u"IfFileExists", u"InputIfFileExists",
    u"Join", u"LoadClass", u"LoadClassWithOptions", u"MessageBreak", u"NeedsTeXFormat",
    u"OptionNotUsed", u"PackageError", u"PackageInfo", u"PackageWarning",
    u"PackageWarningNoLine", u"PassOptionsToClass", u"PassOptionsToPackage", u"ProcessOptions",
    u"ProvideTextCommand", u"ProvideTextCommandDefault", u"ProvidesFile", u"ProvidesPackage",
    u"RequirePackage", u"RequirePackageWithOptions", u"Roman", u"SetMathAlphabet",
    u"SetSymbolFont", u"TeX", u"TextSymbolUnavailable", u"UseTextAccent", u"UseTextSymbol",
    u"addcontentsline", u"addpenalty", u"addtocontents", u"addtoversion", u"addvspace",
    u"afterassignment", u"allocationnumber", u"allowbreak", u"alph", u"arrayrulewidth",
    u"arraystretch", u"baselinestretch", u"bezier", u"bfdefault", u"bfseries", u"bibcite",
    u"bibliography", u"bibliographystyle", u"big", u"bigbreak", u"bigg", u"bigskip",
    u"bigskipamount", u"bigskipamount", u"bmod", u"boldmath", u"buildrel", u"cases", u"catcode",
    u"center", u"centering", u"chardef", u"cleardoublepage", u"contentsline", u"countdef",
    u"cr", u"csname", u"depth", u"discretionary", u"displaymath", u"dospecials", u"dotfill",
    u"encodingdefault", u"endcsname", u"everycr", u"expandafter", u"expandafter",
    u"extracolsep", u"familydefault", u"familydefault", u"fbox", u"filbreak", u"flushleft",
    u"flushright", u"fmtname", u"fmtversion", u"fontencoding", u"fontfamily", u"fontseries",
    u"fontshape", u"footnotemark", u"footnoterule", u"footnotetext", u"frac", u"frenchspacing",
    u"fussy", u"futurelet", u"global", u"glossary", u"halign", u"height", u"hphantom",
    u"ifinner", u"immediate", u"include", u"includeonly", u"itdefault", u"iterate", u"kern",
    u"lastskip", u"leadsto", u"leavevmode", u"lefteqn", u"leftline", u"leftmark", u"let",
    u"lhd", u"liminf", u"lineskip", u"lower", u"lowercase", u"makeatletter", u"makeatother",
    u"makeglossary", u"makeindex", u"marginpar", u"markboth", u"markright", u"mathclose",
    u"mathop", u"mathopen", u"mathrel", u"mathstrut", u"mddefault", u"medbreak", u"medmuskip",
    u"medskip", u"mho", u"minipage", u"mskip", u"multispan", u"narrower", u"negthinspace",
    u"newfont", u"newhelp", u"newif", u"newinsert", u"newlabel", u"newlanguage", u"newline",
    u"newmathalphabet", u"newmuskip", u"newskip", u"newtoks", u"nocite", u"nocorrlist",
    u"noexpand", u"nointerlineskip", u"nolimits", u"nonfrenchspacing", u"nonumber",
    u"normalbaselines", u"normallineskip", u"normalmarginpar", u"null", u"numberline",
    u"obeylines", u"obeyspaces", u"offinterlineskip", u"onecolumn", u"openup", u"pagenumberin",
    u"parbox", u"penalty", u"phantom", u"pmod", u"protect", u"providecommand", u"raggedbottom",
    u"raggedleft", u"raggedright", u"refstepcounter", u"relax", u"removelastskip",
    u"renewenvironment", u"reversemarginpar", u"rhd", u"rightmark", u"rlap", u"rmdefault",
    u"roman", u"root", u"rq", u"rule", u"scdefault", u"secdef", u"selectfont", u"seriesdefault",
    u"settodepth", u"settoheight", u"sfdefault", u"shapedefault", u"showhyphens", u"showoutput",
    u"showoverfull", u"sldefault", u"sloppy", u"sloppypar", u"smallbreak", u"space",
    u"spacefactor", u"sqsubset", u"stackrel", u"stretch", u"strut", u"suppressfloats",
    u"symbol", u"tabskip", u"thanks", u"thefootnote", u"thickmuskip", u"thinmuskip",
    u"thinspace", u"today", u"tracingfonts", u"tracingoutput", u"trivlist", u"ttdefault",
    u"twocolumn", u"typein", u"typeout", u"unboldmath", u"undefinedpagestyle", u"underbar",
    u"underline", u"unlhd", u"unrhd", u"updefault", u"usecounter", u"usefont", u"usepackage",
    u"vcenter", u"verb", u"verbatim", u"vline", u"vphantom", u"width", u"wlog", u"xdef",
    nullptr,
};

