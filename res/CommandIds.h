#pragma once

// The program's command ids: the ids of menus/, accel/ and toolbars/ under
// res/, the status-bar panes and the framework's own commands, by name.
// Written by hand; the test platform_res_command_ids checks every id that a
// resource file uses against this header (see docs/resources.md).  Texts in
// quotes are the menu items.  A range is NAME_FIRST .. NAME_LAST (or
// NAME0 .. NAME9); a new command gets a name here before code uses it.

#include <cstdint>

// Image editor of the toolbar buttons (tools; images in toolbars/images/)
inline constexpr uint32_t ID_IMAGE_FILL = 16901;           // fill
inline constexpr uint32_t ID_IMAGE_PEN = 16902;            // pen
inline constexpr uint32_t ID_IMAGE_PICK = 16903;           // pick a colour
inline constexpr uint32_t ID_IMAGE_LINE = 16904;           // line
inline constexpr uint32_t ID_IMAGE_RECT = 16905;           // rectangle
inline constexpr uint32_t ID_IMAGE_ELLIPSE = 16906;        // ellipse
inline constexpr uint32_t ID_IMAGE_COPY = 16907;           // copy
inline constexpr uint32_t ID_IMAGE_PASTE = 16908;          // paste
inline constexpr uint32_t ID_IMAGE_CLEAR = 16909;          // clear

// Button context menu of the bars in customisation mode (menus/16102.menu)
inline constexpr uint32_t ID_BUTTON_RESET = 16910;         // "&Původní"
inline constexpr uint32_t ID_BUTTON_COPY_IMAGE = 16911;    // "&Kopírovat vzhled tlačítka"
inline constexpr uint32_t ID_BUTTON_DELETE = 16912;        // "&Odstranit"
inline constexpr uint32_t ID_BUTTON_APPEARANCE = 16913;    // "&Vzhled tlačítka..."
inline constexpr uint32_t ID_BUTTON_IMAGE = 16914;         // "&Ikona"
inline constexpr uint32_t ID_BUTTON_TEXT = 16915;          // "&Text"
inline constexpr uint32_t ID_BUTTON_IMAGE_TEXT = 16916;    // "Ikona &a Text"
inline constexpr uint32_t ID_BUTTON_BEGIN_GROUP = 16917;   // "&Začátek skupiny"
// (no menu item) a new, empty menu button
inline constexpr uint32_t ID_BUTTON_NEW_MENU = 16918;

// File
inline constexpr uint32_t ID_FILE_NEW = 57600;             // "&Nový"
inline constexpr uint32_t ID_FILE_OPEN = 57601;            // "&Otevřít..."
inline constexpr uint32_t ID_FILE_CLOSE = 57602;           // close the active file
inline constexpr uint32_t ID_FILE_SAVE = 57603;            // "&Uložit"
inline constexpr uint32_t ID_FILE_SAVE_AS = 57604;         // save under another name
inline constexpr uint32_t ID_FILE_PAGE_SETUP = 57605;      // "Nastavení str&ánky..."
inline constexpr uint32_t ID_FILE_PRINT_SETUP = 57606;     // "N&astavení tisku..."
inline constexpr uint32_t ID_FILE_PRINT = 57607;           // "&Tisk..."
inline constexpr uint32_t ID_FILE_PRINT_PREVIEW = 57609;   // "Ná&hled..."
inline constexpr uint32_t ID_FILE_MRU_FIRST = 57616;       // recent files 57616-57631
inline constexpr uint32_t ID_FILE_MRU_LAST = 57631;
inline constexpr uint32_t ID_FILE_SAVE_ALL = 33771;        // "Uložit &všechny"
inline constexpr uint32_t ID_PROJECT_NEW = 33772;          // "Nový p&rojekt..."
inline constexpr uint32_t ID_PROJECT_OPEN = 33773;         // "Ot&evřít projekt..."
inline constexpr uint32_t ID_PROJECT_CLOSE = 33774;        // "Uzavřít projekt"
inline constexpr uint32_t ID_PROJECT_MRU_FIRST = 33790;    // recent projects 33790-33805
inline constexpr uint32_t ID_PROJECT_MRU_LAST = 33805;

// Edit
inline constexpr uint32_t ID_EDIT_CLEAR = 57632;           // "&Odstranit"
inline constexpr uint32_t ID_EDIT_COPY = 57634;            // "&Kopírovat"
inline constexpr uint32_t ID_EDIT_CUT = 57635;             // "&Vyjmout"
inline constexpr uint32_t ID_EDIT_FIND = 57636;            // "&Najít..."
inline constexpr uint32_t ID_EDIT_PASTE = 57637;           // "V&ložit"
inline constexpr uint32_t ID_EDIT_REPEAT = 57640;          // "Najít &další"
inline constexpr uint32_t ID_EDIT_REPLACE = 57641;         // "Na&hradit"
inline constexpr uint32_t ID_EDIT_SELECT_ALL = 57642;      // "Vybrat vš&e"
inline constexpr uint32_t ID_EDIT_UNDO = 57643;            // "&Zpět"
inline constexpr uint32_t ID_EDIT_REDO = 57644;            // "Znov&u"

// The editor's text and edit views (menus/1.menu, accel/22901.accel)
inline constexpr uint32_t ID_EDT_FIRST = 37000;            // the editor's own commands: 37000-37999
inline constexpr uint32_t ID_EDT_LAST = 37999;
inline constexpr uint32_t ID_EDT_RELOAD_FILE = 36999;      // "Znovu na&číst"
inline constexpr uint32_t ID_EDT_DELETE = 37001;           // Delete
inline constexpr uint32_t ID_EDT_DELETE_BACK = 37002;      // Backspace
inline constexpr uint32_t ID_EDT_DELETE_WORD_BACK = 37003; // Ctrl+Backspace
inline constexpr uint32_t ID_EDT_TAB = 37004;              // Tab
inline constexpr uint32_t ID_EDT_UNTAB = 37005;            // Shift+Tab
inline constexpr uint32_t ID_EDT_TOGGLE_OVERWRITE = 37006; // "Re&žim přepisování"
inline constexpr uint32_t ID_EDT_DELETE_WORD = 37007;      // Ctrl+Delete
inline constexpr uint32_t ID_EDT_TOGGLE_KEYBOARD_SELECTION = 37008; // keyboard selection on/off
// caret commands 37100-37125: each plain one, then the one that selects (Shift)
inline constexpr uint32_t ID_EDT_CARET_LEFT = 37100;
inline constexpr uint32_t ID_EDT_CARET_LEFT_SELECT = 37101;
inline constexpr uint32_t ID_EDT_CARET_RIGHT = 37102;
inline constexpr uint32_t ID_EDT_CARET_RIGHT_SELECT = 37103;
inline constexpr uint32_t ID_EDT_CARET_WORD_LEFT = 37104;
inline constexpr uint32_t ID_EDT_CARET_WORD_LEFT_SELECT = 37105;
inline constexpr uint32_t ID_EDT_CARET_WORD_RIGHT = 37106;
inline constexpr uint32_t ID_EDT_CARET_WORD_RIGHT_SELECT = 37107;
inline constexpr uint32_t ID_EDT_CARET_UP = 37108;
inline constexpr uint32_t ID_EDT_CARET_UP_SELECT = 37109;
inline constexpr uint32_t ID_EDT_CARET_DOWN = 37110;
inline constexpr uint32_t ID_EDT_CARET_DOWN_SELECT = 37111;
inline constexpr uint32_t ID_EDT_SCROLL_UP = 37112;        // Ctrl+Up: scrolls, the caret stays
inline constexpr uint32_t ID_EDT_SCROLL_DOWN = 37113;      // Ctrl+Down
inline constexpr uint32_t ID_EDT_CARET_PAGE_UP = 37114;
inline constexpr uint32_t ID_EDT_CARET_PAGE_UP_SELECT = 37115;
inline constexpr uint32_t ID_EDT_CARET_PAGE_DOWN = 37116;
inline constexpr uint32_t ID_EDT_CARET_PAGE_DOWN_SELECT = 37117;
inline constexpr uint32_t ID_EDT_CARET_LINE_END = 37118;
inline constexpr uint32_t ID_EDT_CARET_LINE_END_SELECT = 37119;
inline constexpr uint32_t ID_EDT_CARET_HOME = 37120;       // smart home
inline constexpr uint32_t ID_EDT_CARET_HOME_SELECT = 37121;
inline constexpr uint32_t ID_EDT_CARET_TEXT_START = 37122;
inline constexpr uint32_t ID_EDT_CARET_TEXT_START_SELECT = 37123;
inline constexpr uint32_t ID_EDT_CARET_TEXT_END = 37124;
inline constexpr uint32_t ID_EDT_CARET_TEXT_END_SELECT = 37125;
inline constexpr uint32_t ID_EDT_CARET_FIRST = 37100;      // the caret commands' range
inline constexpr uint32_t ID_EDT_CARET_LAST = 37125;
inline constexpr uint32_t ID_EDT_FIND_PREVIOUS = 37126;    // "Najít &předchozí"
// "Nastavit/zrušit záložku" 0-9: 37200-37209
inline constexpr uint32_t ID_EDT_TOGGLE_BOOKMARK0 = 37200;
inline constexpr uint32_t ID_EDT_TOGGLE_BOOKMARK9 = 37209;
inline constexpr uint32_t ID_EDT_GO_BOOKMARK0 = 37210;     // "Jdi na záložku" 0-9: 37210-37219
inline constexpr uint32_t ID_EDT_GO_BOOKMARK9 = 37219;
inline constexpr uint32_t ID_EDT_CLEAR_BOOKMARKS = 37220;  // "Zrušit &číslované záložky"
inline constexpr uint32_t ID_EDT_TOGGLE_BOOKMARK = 37223;  // "&Nastavit/zrušit"
inline constexpr uint32_t ID_EDT_NEXT_BOOKMARK = 37224;    // "&Další záložka"
inline constexpr uint32_t ID_EDT_PREV_BOOKMARK = 37225;    // "&Předchozí záložka"
inline constexpr uint32_t ID_EDT_CLEAR_ALL_BOOKMARKS = 37226; // "&Zrušit všechny"
inline constexpr uint32_t ID_EDT_GOTO_LAST_CHANGE = 37227; // "Jdi na poslední změnu"
inline constexpr uint32_t ID_EDT_INCREMENTAL_FORWARD = 37228; // "Přírůstkové hledání"
inline constexpr uint32_t ID_EDT_INCREMENTAL_BACKWARD = 37229; // "Zpětné přírůstkové hledání"
inline constexpr uint32_t ID_EDT_AUTO_COMPLETE = 37300;    // "Dopln&it slovo"
inline constexpr uint32_t ID_EDT_AUTO_EXPAND = 37301;      // "&Rozvinout zkratku"
inline constexpr uint32_t ID_EDT_MATCH_BRACE = 37302;      // "Jdi na odpovídající závorku"
inline constexpr uint32_t ID_EDT_LOWER_CASE = 37303;       // "Všechny malé"
inline constexpr uint32_t ID_EDT_UPPER_CASE = 37304;       // "Všechny velké"
inline constexpr uint32_t ID_EDT_CAPITALIZE = 37305;       // "První velké"
inline constexpr uint32_t ID_EDT_SENTENCE_CASE = 37306;    // "Velké na začátku &vět"
inline constexpr uint32_t ID_EDT_SWAP_CASE = 37307;        // "Prohodit malé/velké"
inline constexpr uint32_t ID_EDT_GOTO_LINE = 37308;        // "Jdi na řádek..."
inline constexpr uint32_t ID_EDT_WINDOW_OPTIONS = 37400;   // "&Možnosti..." of the window
inline constexpr uint32_t ID_EDT_SWITCH_HEADER = 37401;    // "Přepnou&t zdroj/hlavičku"
inline constexpr uint32_t ID_EDT_TOGGLE_MARGIN = 37402;    // "Levý okra&j"
inline constexpr uint32_t ID_EDT_TOGGLE_WORDWRAP = 37404;  // "Zal&amovat řádky"
inline constexpr uint32_t ID_EDT_READ_ONLY = 37405;        // "&Pouze pro čtení"
inline constexpr uint32_t ID_EDT_SOURCE_TYPE_FIRST = 37500; // source types 0-22: 37500-37522
inline constexpr uint32_t ID_EDT_SOURCE_TYPE_LAST = 37522;
inline constexpr uint32_t ID_EDT_INDICATOR_READONLY = 37901; // status pane: read-only
inline constexpr uint32_t ID_EDT_INDICATOR_CRLF = 37902;   // status pane: line ends
inline constexpr uint32_t ID_EDT_INDICATOR_POSITION = 37903; // status pane: caret position
inline constexpr uint32_t ID_EDT_INDICATOR_ENCODING = 37904; // status pane: the file's encoding
inline constexpr uint32_t ID_EDT_REDRAW = 37998;           // redraw the view
inline constexpr uint32_t ID_TOOLS_SPELLING = 32800;       // "&Kontrola pravopisu..."
inline constexpr uint32_t ID_EDT_CHANGE_CODEPAGE = 32803;  // "Převést kódování vý&běru..."

// View (menus/1.menu "&Zobrazit")
inline constexpr uint32_t ID_VIEW_EXPLORER = 33870;        // "&Projekt"
inline constexpr uint32_t ID_VIEW_DEBUG_TOOLBAR = 33871;   // "Panel nástrojů &Ladění"
inline constexpr uint32_t ID_VIEW_OUTPUT = 33872;          // "Okno &výstupu"
inline constexpr uint32_t ID_VIEW_WATCH = 33873;           // "Okno Sl&edování"
inline constexpr uint32_t ID_VIEW_CONINFO = 33874;         // "&Sledování sp&ojení"
inline constexpr uint32_t ID_NEXT_ERROR = 33875;           // "&Následující chyba" (F4)
inline constexpr uint32_t ID_PREV_ERROR = 33876;           // "Pře&dchozí chyba" (Shift+F4)
inline constexpr uint32_t ID_VIEW_FULLSCREEN = 33877;      // "Na &celou obrazovku"
inline constexpr uint32_t ID_VIEW_PROPERTIES = 33878;      // "Vl&astnosti..."
inline constexpr uint32_t ID_VIEW_DEFAULT_LAYOUT = 33879;  // "&Obnovit výchozí uspořádání"

// Project (menus/1.menu "&Projekt")
// "Přidat do projektu > Nový > ..." and "Přidat do projektu > ...": a new or an existing file
inline constexpr uint32_t ID_PROJECT_NEW_SOURCE = 33840;   // "&Zdrojový soubor PLC"
inline constexpr uint32_t ID_PROJECT_NEW_HEADER = 33841;   // "&Hlavičkový soubor PLC"
inline constexpr uint32_t ID_PROJECT_NEW_SUPPORT = 33842;  // "&Podpurný soubor"
inline constexpr uint32_t ID_PROJECT_ADD_SOURCE = 33843;   // "&Zdrojový soubor PLC"
inline constexpr uint32_t ID_PROJECT_ADD_HEADER = 33844;   // "&Hlavičkový soubor PLC"
inline constexpr uint32_t ID_PROJECT_ADD_SUPPORT = 33845;  // "&Podpůrný soubor"
inline constexpr uint32_t ID_PROJECT_BUILD = 33846;        // "Př&eklad"
inline constexpr uint32_t ID_PROJECT_BUILD_IF_CHANGED = 33847; // "P&odmíněný překlad"
inline constexpr uint32_t ID_PROJECT_STOP_BUILD = 33848;   // "Přer&ušit překlad"
inline constexpr uint32_t ID_PROJECT_CLEAN = 33849;        // "&Vyčistit"
inline constexpr uint32_t ID_TRANSFER_PLC = 33850;         // "Přenést PL&C"
inline constexpr uint32_t ID_TRANSFER_SUPPORT_FILES = 33851; // "Přenést podpůrné soubor&y"
inline constexpr uint32_t ID_DEBUG_TOGGLE = 33852;         // debugging on/off (debug toolbar)
inline constexpr uint32_t ID_DEBUG_START = 33853;          // "&Ladit"
inline constexpr uint32_t ID_DEBUG_STOP = 33854;           // "Ukončit l&adění"
inline constexpr uint32_t ID_CONNECT_TOGGLE = 33855;       // "Spo&jení"
inline constexpr uint32_t ID_PROJECT_SETTINGS = 33856;     // "Nastavení proj&ektu..."
inline constexpr uint32_t ID_TRANSFER_CASSETTE_SOFTWARE = 33857; // "Přenést software \"kazety\""
inline constexpr uint32_t ID_TRANSFER_COMPILER_FILES = 33858; // "Získat překladač &Tarvane"
inline constexpr uint32_t ID_PROJECT_FIRST = 33840;        // the project commands' range
inline constexpr uint32_t ID_PROJECT_LAST = 33858;

// PLC (menus/1.menu "P&LC")
inline constexpr uint32_t ID_PLC_STATUS = 33890;           // "&Status..."
inline constexpr uint32_t ID_PLC_INFO = 33891;             // "&Informace o PLC..."
inline constexpr uint32_t ID_PLC_RESET = 33892;            // "&Nulování interfacu"
inline constexpr uint32_t ID_PLC_SLEEP = 33893;            // "Spánkový &režim"
inline constexpr uint32_t ID_PLC_WAKE = 33894;             // "&Konec spánkového režimu"
inline constexpr uint32_t ID_PLC_RUN = 33895;              // "Sp&ustit"
inline constexpr uint32_t ID_PLC_STOP = 33896;             // "&Zastavit"
inline constexpr uint32_t ID_PLC_STEP = 33897;             // "Kr&ok"
inline constexpr uint32_t ID_PLC_BREAK = 33898;            // "&Přerušit"
inline constexpr uint32_t ID_PLC_BACKUP_DATA = 33899;      // "Zálohovat data P&LC"
inline constexpr uint32_t ID_PLC_FIRST = 33890;            // the PLC commands' range
inline constexpr uint32_t ID_PLC_LAST = 33899;

// Debugging (menus/1.menu "La&dění", menus/1029.menu)
inline constexpr uint32_t ID_DEBUG_TOGGLE_BREAKPOINT = 33820; // "&Nastavit/zrušit breakpoint"
inline constexpr uint32_t ID_DEBUG_CLEAR_ALL_BREAKPOINTS = 33821; // "Zrušit &všechny breakpointy"
// "Nastavit/zrušit &sledování mechanismu"
inline constexpr uint32_t ID_DEBUG_TOGGLE_MECH_WATCH = 33822;
inline constexpr uint32_t ID_VIEW_MECHANISMS = 33823;      // "&Mechanismy..."
inline constexpr uint32_t ID_VIEW_VARIABLE = 33824;        // "&Proměnná..."
inline constexpr uint32_t ID_DEBUG_GO_TO_CURRENT_LINE = 33825; // "&Jdi na aktuální řádek"

// Tools and help (menus/1.menu "&Nástroje", "Nápo&věda")
inline constexpr uint32_t ID_VIEW_CUSTOMIZE = 33910;       // "&Vlastní..."
inline constexpr uint32_t ID_TOOLS_OPTIONS = 33911;        // "&Možnosti..."
inline constexpr uint32_t ID_TOOLS_FILEMANAGER = 33912;    // "&Správce souborů..."
inline constexpr uint32_t ID_LANGUAGE_DEFAULT = 33913;     // "Jazyk (Language) > &Výchozí"
inline constexpr uint32_t ID_LANGUAGE_CSY = 33914;         // "... > Č&eština"
inline constexpr uint32_t ID_LANGUAGE_ENU = 33915;         // "... > &Angličtina (English)"
inline constexpr uint32_t ID_HELP_PLC = 33980;             // "Nápověda &PLC"
inline constexpr uint32_t ID_HELP_TIPS = 33981;            // "&Tipy..."
inline constexpr uint32_t ID_HELP_SYSCONFIG = 33982;       // "Systémová &konfigurace"
inline constexpr uint32_t ID_HELP_MACHINE = 33983;         // "&Strojní konstanty"
inline constexpr uint32_t ID_APP_ABOUT = 57664;            // "&O Aplikaci..."
inline constexpr uint32_t ID_HELP_INDEX = 57667;           // help contents
// Shift+F1: the next click names what help is asked for
inline constexpr uint32_t ID_CONTEXT_HELP = 57669;
inline constexpr uint32_t ID_HELP = 57670;                 // F1
inline constexpr uint32_t ID_DEFAULT_HELP = 57671;         // help without a topic

// Windows (accel/1.accel, accel/2.accel)
inline constexpr uint32_t ID_NEXT_WINDOW = 33960;          // Ctrl+Tab, Ctrl+F6
inline constexpr uint32_t ID_PREV_WINDOW = 33961;          // Ctrl+Shift+Tab, Ctrl+Shift+F6
inline constexpr uint32_t ID_NEXT_PANE = 33962;            // F6 in a split window
inline constexpr uint32_t ID_PREV_PANE = 33963;            // Shift+F6
inline constexpr uint32_t ID_WINDOW_NEW = 57648;           // a new window of the active document
inline constexpr uint32_t ID_WINDOW_ARRANGE = 57649;
inline constexpr uint32_t ID_WINDOW_CASCADE = 57650;
inline constexpr uint32_t ID_WINDOW_TILE_HORZ = 57651;
inline constexpr uint32_t ID_WINDOW_TILE_VERT = 57652;
inline constexpr uint32_t ID_WINDOW_FIRST = 57648;         // the Window menu's commands 57648-57663
inline constexpr uint32_t ID_WINDOW_LAST = 57663;
// the Window menu's list of children: 65281-65535
inline constexpr uint32_t ID_MDI_CHILD_FIRST = 65281;
inline constexpr uint32_t ID_MDI_CHILD_LAST = 65535;

// Context menus of the bars, the explorer, the watch and the output (menus/4108, 543, 1027, 555)
inline constexpr uint32_t ID_BAR_DOCKABLE = 34000;         // "&Zakotvitelné"
inline constexpr uint32_t ID_BAR_HIDE = 34001;             // "&Skrýt"
inline constexpr uint32_t ID_BAR_PROPERTIES = 34002;       // the bar's properties
inline constexpr uint32_t ID_EXPLORER_INSERT_FILE = 34020; // "Vložit soubor do složky..." (Insert)
inline constexpr uint32_t ID_EXPLORER_REMOVE_FILE = 34021; // "Odstranit soubor" (Delete)
inline constexpr uint32_t ID_WATCH_HEX_DISPLAY = 34022;    // "Zobrazovat hexadecimálně"
inline constexpr uint32_t ID_CLEAR_OUTPUT = 34023;         // "&Vymazat"

// The hex view (menus/3.menu "F&ormát")
inline constexpr uint32_t ID_HEX_ADDRESS = 40001;          // "&Adresa"
inline constexpr uint32_t ID_HEX_HEX = 40002;              // "&Hex kód"
inline constexpr uint32_t ID_HEX_ASCII = 40003;            // "As&cii"
inline constexpr uint32_t ID_HEX_WIDE = 40004;             // "Š&iroká adresa"
// bytes a row: the handler's range; 40012-40027 are 1..16
inline constexpr uint32_t ID_HEX_BPR_FIRST = 40011;
inline constexpr uint32_t ID_HEX_BPR_LAST = 40028;

// Status-bar panes
inline constexpr uint32_t ID_INDICATOR_CAPS = 59137;
inline constexpr uint32_t ID_INDICATOR_NUM = 59138;
inline constexpr uint32_t ID_INDICATOR_OVR = 59140;

// Commands of the framework itself (never on the toolbar's usage list)
inline constexpr uint32_t ID_VERB_FIRST = 57872;           // 57872-57887
inline constexpr uint32_t ID_VERB_LAST = 57887;
inline constexpr uint32_t ID_SYSTEM_FIRST = 61440;         // window-menu commands 61440-61935
inline constexpr uint32_t ID_SYSTEM_LAST = 61935;
// 65280-65535: made while the program runs
inline constexpr uint32_t ID_TRANSIENT_FIRST = 65280;
inline constexpr uint32_t ID_TRANSIENT_LAST = 65535;
