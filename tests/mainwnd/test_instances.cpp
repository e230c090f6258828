// Two instances on one settings folder.  A (another process) changes an
// entry of each stored kind and ends first; B, which started before, does
// nothing, changes another entry, changes the same entry or runs without a
// display, and ends later.  The file keeps A's change unless B changed the
// same entry (the later write wins), and B's own changes.
#include "app/StrandworkApp.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/MainFrame.h"
#include "platform/sys/Registry.h"
#include "res/CommandIds.h"
#include "res/Resources.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTKeyboardManager.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarStore.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

using namespace mainwndtest;
namespace fs = std::filesystem;

namespace {

enum Second
{
    Nothing,
    Other,
    Same,
    NoDisplay
};
const char* const kSecond[] = {"B does nothing", "B changes another entry",
                               "B changes the same entry", "B runs without a display"};

constexpr uint8_t kCtrlShift = 0x0D; // virtual key, Ctrl, Shift
constexpr uint16_t kF7 = 0x76, kF8 = 0x77;
const std::u16string kOutput = u"EdtLib\\IDE\\OutputBar",
                     kExplorer = u"EdtLib\\IDE\\ProjectExplorerBar";
const std::string kFrame = "FramePlacement = 1, -1, -1, -1, -1, 10, 20, 610, 420\r\n";

// Runs body in another process on the same settings file; true when it
// wrote.
bool OtherInstance(const std::function<bool()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        sys::RegistryStore::Reset();
        ::_exit(body() && sys::RegistryStore::Flush() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

bool WriteButtons(const QString& path, const sys::Table& table)
{
    std::vector<uint8_t> bytes;
    CKVTRegistryKey key;
    return CKVTToolbarStore::ButtonsTable().join(table, bytes) && key.CreateKey(path) &&
           key.Write(QStringLiteral("Buttons"), bytes);
}

// The stored buttons of a bar by command (a popup menu by its text): "text"
// or "image", what each shows.
std::map<QString, QString> StoredButtons(const QString& path)
{
    std::map<QString, QString> out;
    CKVTRegistryKey key(false, true);
    std::vector<uint8_t> bytes;
    sys::Table table;
    if (!key.Open(path) || !key.Read(QStringLiteral("Buttons"), bytes) ||
        !CKVTToolbarStore::ButtonsTable().split(bytes, table))
        return out;
    for (const sys::TableEntry& e : table.entries) {
        sys::ObjectArchive ar(e.data);
        const auto b = ar.ReadObjectOf<CKVTToolbarButton>();
        out[b->m_id ? QString::number(b->m_id) : b->m_text] =
            b->m_showText ? QStringLiteral("text") : QStringLiteral("image");
    }
    return out;
}

std::string Line(const std::string& file, const std::string& key)
{
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return line + '\n';
    return "(none)";
}

class Instances : public RegistryTest
{
protected:
    std::unique_ptr<CStrandworkApp> app;
    void TearDown() override
    {
        app.reset();
        res::UnloadLanguage();
        RegistryTest::TearDown();
    }
};

struct Kind
{
    const char* name;
    // A's change: made ready here (from what B's window holds), written by A.
    std::function<std::function<bool()>(CMainFrame*)> first;
    std::function<void(CMainFrame*)> other, same;
    // A's entry and B's other entry as the file holds them.
    std::function<std::string(CMainFrame*)> stored;
    const char* expected[4]; // by Second; null: not asked
};

} // namespace

TEST_F(Instances, AStoredSettingChangesOnlyByWhatTheUserDid)
{
    const QString toolbarPath =
        GetRegPath(QStringLiteral("KVTToolBars")) + QStringLiteral("KVTToolBar-59392");
    const QString menuPath =
        GetRegPath(QStringLiteral("KVTMenuBar")) + QStringLiteral("KVTToolBar-593980");
    const QString usagePath =
        GetRegPath(QStringLiteral("KVTToolBars")) + QStringLiteral("KVTToolbarParameters");
    const QString keysPath =
        GetRegPath(QStringLiteral("KVTKeyboardManager")) + QStringLiteral("KVTKeyboard-0");
    const QString print = QString::number(ID_FILE_PRINT), save = QString::number(ID_FILE_SAVE);
    const auto table = [](CKVTToolBar* bar) {
        sys::Table t;
        CKVTToolbarStore::ButtonsTable().split(bar->Store().StoreButtons(), t);
        return t;
    };
    const auto button = [](CKVTToolBar* bar, uint32_t id) {
        return bar->GetButton(bar->Items().CommandToIndex(id));
    };
    const auto addKey = [](CMainFrame* f, uint16_t key, uint32_t command) {
        std::vector<ui::Accel> keys = f->Accelerators()->Entries();
        std::erase_if(keys,
                      [key](const ui::Accel& a) { return a.flags == kCtrlShift && a.key == key; });
        keys.push_back({kCtrlShift, key, uint16_t(command)});
        return keys;
    };
    const auto keyOf = [&](uint16_t key) {
        CKVTRegistryKey k(false, true);
        std::vector<uint8_t> bytes;
        if (k.Open(keysPath) && k.Read(QStringLiteral("Accelerators"), bytes))
            for (const ui::Accel& a : CKVTKeyboardManager::Decode(bytes))
                if (a.flags == kCtrlShift && a.key == key)
                    return std::to_string(a.command);
        return std::string("-");
    };
    const auto text = [](const std::map<QString, QString>& m, const QString& k) {
        return m.count(k) ? m.at(k).toStdString() : std::string("-");
    };
    const auto setPlacement = [](CMainFrame* f) { f->setGeometry(30, 30, 900, 640); };
    const Kind kinds[] = {
        {"an option",
         [](CMainFrame*) {
             return [] { return sys::Profile::WriteString(u"Options", u"PathTarvane", u"/a/"); };
         },
         [](CMainFrame*) { sys::Profile::WriteString(u"Options", u"PathBorlandBin", u"/b/"); },
         [](CMainFrame*) { sys::Profile::WriteString(u"Options", u"PathTarvane", u"/b/"); },
         [](CMainFrame*) {
             return QString::fromStdU16String(
                        sys::Profile::GetString(u"Options", u"PathTarvane", u"-") + u" " +
                        sys::Profile::GetString(u"Options", u"PathBorlandBin", u"-"))
                 .toStdString();
         },
         {"/a/ -", "/a/ /b/", "/b/ -", "/a/ -"}},
        {"a key",
         [&](CMainFrame* f) {
             return [bytes = CKVTKeyboardManager::Encode(addKey(f, kF7, ID_FILE_PRINT)), keysPath] {
                 CKVTRegistryKey key;
                 return key.CreateKey(keysPath) && key.Write(QStringLiteral("Accelerators"), bytes);
             };
         },
         [&](CMainFrame* f) {
             CKVTKeyboardManager::Instance()->UpdateAcceleratorTableFromArray(
                 nullptr, addKey(f, kF8, ID_FILE_PRINT_PREVIEW), f);
         },
         [&](CMainFrame* f) {
             CKVTKeyboardManager::Instance()->UpdateAcceleratorTableFromArray(
                 nullptr, addKey(f, kF7, ID_FILE_PRINT_PREVIEW), f);
         },
         [&](CMainFrame*) { return keyOf(kF7) + " " + keyOf(kF8); },
         {"57607 -", "57607 57609", "57609 -", "57607 -"}},
        {"a toolbar's buttons",
         [&](CMainFrame* f) {
             sys::Table t = table(f->GetMainToolBar());
             t.entries.erase(t.entries.begin() +
                             f->GetMainToolBar()->Items().CommandToIndex(ID_FILE_PRINT));
             return [t, toolbarPath] { return WriteButtons(toolbarPath, t); };
         },
         [&](CMainFrame* f) {
             f->GetMainToolBar()->RemoveButton(
                 f->GetMainToolBar()->Items().CommandToIndex(ID_FILE_SAVE));
         },
         [&](CMainFrame* f) { button(f->GetMainToolBar(), ID_FILE_PRINT)->m_showText = true; },
         [&](CMainFrame*) {
             return text(StoredButtons(toolbarPath), print) + " " +
                    text(StoredButtons(toolbarPath), save);
         },
         {"- image", "- -", "text image", "- image"}},
        {"a menu",
         [&](CMainFrame* f) {
             sys::Table t = table(f->GetMenuBar());
             t.entries.pop_back();
             return [t, menuPath] { return WriteButtons(menuPath, t); };
         },
         [](CMainFrame* f) { f->GetMenuBar()->RemoveButton(0); },
         [](CMainFrame* f) {
             f->GetMenuBar()->GetButton(f->GetMenuBar()->Items().Count() - 1)->m_text = "&Pomoc";
         },
         [&](CMainFrame*) {
             const auto m = StoredButtons(menuPath);
             return (m.count("Nápo&věda") ? "Nápověda"
                     : m.count("&Pomoc")  ? "Pomoc"
                                          : "-") +
                    std::string(" ") + text(m, QStringLiteral("&Soubor"));
         },
         {"- text", "- -", "Pomoc text", "- text"}},
        {"a bar's visibility and size",
         [](CMainFrame*) {
             return [] { return sys::Profile::WriteInt(kOutput, u"horzHeight", 222); };
         },
         [](CMainFrame* f) { f->ShowControlBar(f->ExplorerBar(), false, false); },
         [](CMainFrame* f) {
             f->OutputBar()->SetHorzSize({f->OutputBar()->HorzSize().width(), 333});
         },
         [](CMainFrame*) {
             const int status = sys::Profile::GetInt(kExplorer, u"status", 0);
             return std::to_string(sys::Profile::GetInt(kOutput, u"horzHeight", -1)) +
                    (status == 0                       ? " -"
                     : status & CAppBar::StatusVisible ? " shown"
                                                       : " hidden");
         },
         {"222 shown", "222 hidden", "333 shown", "222 -"}},
        {"the command usage",
         [&](CMainFrame*) {
             return [&] {
                 sys::ObjectArchive ar;
                 ar.WriteU32(5), ar.WriteDwordMap({{ID_FILE_PRINT, 5}});
                 CKVTRegistryKey key;
                 return key.CreateKey(usagePath) &&
                        key.Write(QStringLiteral("CommandsUsage"), ar.Bytes());
             };
         },
         [](CMainFrame*) { CKVTCommandUsage::Instance().AddCommand(ID_FILE_SAVE); },
         [](CMainFrame*) { CKVTCommandUsage::Instance().AddCommand(ID_FILE_PRINT); },
         [&](CMainFrame*) {
             CKVTCommandUsage usage;
             CKVTRegistryKey key(false, true);
             if (!key.Open(usagePath) || !key.ReadObject(QStringLiteral("CommandsUsage"), usage))
                 return std::string("(none)");
             const auto count = [&](uint32_t id) {
                 return usage.Counts().count(id) ? std::to_string(usage.Counts().at(id)) : "-";
             };
             return count(ID_FILE_PRINT) + " " + count(ID_FILE_SAVE) + " " +
                    std::to_string(usage.Total());
         },
         {"5 - 5", "5 1 6", "1 - 1", "5 - 5"}},
        {"the window placement",
         [](CMainFrame*) {
             return [] {
                 return sys::Profile::WriteInt(u"AppWindow", u"Left", 128) &&
                        sys::Profile::WriteInt(u"AppWindow", u"Right", 1152);
             };
         },
         nullptr,
         setPlacement,
         [](CMainFrame*) {
             return std::to_string(sys::Profile::GetInt(u"AppWindow", u"Left", -1)) + " " +
                    std::to_string(sys::Profile::GetInt(u"AppWindow", u"Right", -1));
         },
         {"20 920", nullptr, "30 930", "128 1152"}},
    };
    const fs::path fixture = fs::path(std::getenv("SW_FIXTURES")) / "build" / "ok";
    for (const Kind& kind : kinds)
        for (Second second : {Nothing, Other, Same, NoDisplay}) {
            if (!kind.expected[second])
                continue;
            SCOPED_TRACE(std::string(kind.name) + ", " + kSecond[second]);
            // A fresh settings folder, and a project (whose workspace holds
            // a window for the window placement).
            sys::RegistryStore::Reset();
            CKVTCommandUsage::Instance().Reset();
            fs::remove_all(fs::path(config.Path()) / "ORNA");
            fs::remove_all(dir.Path());
            fs::copy(fixture, dir.Path(), fs::copy_options::recursive);
            std::ostringstream kxw;
            kxw << std::ifstream(dir / "Lis.kxw").rdbuf();
            std::string workspace = kxw.str();
            if (kind.expected[Other] == nullptr)
                workspace.replace(
                    workspace.find("PLCDocumentsCount = 0\r\n"), 23,
                    "PLCDocumentsCount = 1\r\nDocumentPath = Main.plc\r\nFrameCount = 1\r\n" +
                        kFrame + "SplitterConfig = 1, 1, 600, 400\r\nCursorPos = 0, 0\r\n");
            std::ofstream(dir / "Lis.kxw", std::ios::binary) << workspace;

            app = std::make_unique<CStrandworkApp>();
            app->SetArguments({QString::fromStdString(dir / "Lis.kxp")});
            app->SetNoDisplay(second == NoDisplay);
            ASSERT_TRUE(app->InitInstance());
            CMainFrame* f = app->MainFrame();
            if (second != NoDisplay)
                f->setGeometry(20, 20, 900, 640);
            QApplication::processEvents(); // the start state is written
            ASSERT_TRUE(OtherInstance(kind.first(f)));
            if (second == Other)
                kind.other(f);
            if (second == Same)
                kind.same(f);
            QTimer::singleShot(0, f, [f] { f->close(); });
            QApplication::exec();
            app->ExitInstance();
            app.reset();
            sys::RegistryStore::Reset();
            EXPECT_EQ(kind.stored(nullptr), kind.expected[second]);
            if (second == NoDisplay && kind.expected[Other] == nullptr) {
                EXPECT_EQ(Line(dir / "Lis.kxw", "FramePlacement"), kFrame);
            }
        }
}
