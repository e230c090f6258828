// The file-operation dialog: what it shows and how it is cancelled.
#include "linkui_env.h"

#include "link/ui/FileOpDlg.h"

#include <QLabel>
#include <QProgressBar>

using namespace linkuitest;
using linkui::CFileOpDlg;

namespace {

class Dlg : public SimFixture
{
protected:
    // Runs act on the dialog once cond holds (polled while its loop runs).
    void When(CFileOpDlg& dlg, std::function<bool()> cond, std::function<void()> act)
    {
        auto* timer = new QTimer(&dlg);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, cond, act] {
            if (cond()) {
                timer->stop();
                act();
            }
        });
        timer->start(2);
    }
    QString Text(CFileOpDlg& dlg, int id) { return dlg.Item<QLabel>(id)->text(); }
    Lines lines;
};

} // namespace

TEST_F(Dlg, CaptionsAndFirstHeadlinesAndTheWaysToCancel)
{
    WriteFile(share / "s/f.txt", "f");
    cssim::FileScript slow;
    slow.delayMs = 400;
    sim->scriptFile(5, "", slow);
    sim->scriptFile(1, "", slow);
    std::vector<std::u16string> names{u"f.txt"};
    const std::u16string dst = W(local.Path());
    struct Seen
    {
        QString caption, headline;
    };

    {
        CFileOpDlg dlg;
        Seen seen;
        When(dlg, [&] { return dlg.isVisible(); }, [&] {
            seen = {dlg.windowTitle(), Text(dlg, 1106)};
            ClickButton(&dlg, "c11081");
        });
        EXPECT_FALSE(dlg.Copy(fc, u"\\DATA\\s", dst, names.data(), nullptr, 1, &lines, &Lines::Callback));
        EXPECT_EQ(seen.caption, QStringLiteral("Kopírování..."));
        EXPECT_EQ(seen.headline, QString::fromStdU16String(u"Připravuje se kopírování souborů z \\DATA\\s\\ do " + dst + u"/..."));
        EXPECT_EQ(lines.All(), "Operace byla stornována uživatelem...\r\n");
    }
    {
        CFileOpDlg dlg;
        Seen seen;
        When(dlg, [&] { return dlg.isVisible(); }, [&] {
            seen = {dlg.windowTitle(), Text(dlg, 1106)};
            PressKey(&dlg, Qt::Key_Escape);
        });
        EXPECT_FALSE(dlg.Move(fc, u"\\DATA\\s", dst, names.data(), nullptr, 1, &lines, &Lines::Callback));
        EXPECT_EQ(seen.caption, QStringLiteral("Přesun..."));
        EXPECT_EQ(seen.headline, QStringLiteral("Připravuje se  přesun souborů..."));
    }
    {
        CFileOpDlg dlg;
        Seen seen;
        When(dlg, [&] { return dlg.isVisible(); }, [&] {
            seen = {dlg.windowTitle(), Text(dlg, 1106)};
            dlg.close();
        });
        EXPECT_FALSE(dlg.Delete(fc, u"\\DATA\\s", names.data(), 1, &lines, &Lines::Callback));
        EXPECT_EQ(seen.caption, QStringLiteral("Mazání..."));
        EXPECT_EQ(seen.headline, QStringLiteral("Připravuje se mazání souborů..."));
    }
    {
        CFileOpDlg dlg;
        Seen seen;
        When(dlg, [&] { return dlg.isVisible(); }, [&] { seen = {dlg.windowTitle(), Text(dlg, 1106)}; });
        EXPECT_TRUE(dlg.CreateDir(fc, u"\\DATA\\nova", &lines, &Lines::Callback));
        EXPECT_EQ(seen.caption, QStringLiteral("Vytváření adresáře..."));
        EXPECT_EQ(seen.headline, QStringLiteral("Vytváří se adresář..."));
    }
    EXPECT_EQ(ReadFile(share / "s/f.txt"), "f");
    EXPECT_TRUE(fs::is_directory(share / "nova"));
    // The late answers of the cancelled operations are dropped: delayed
    // alike, they came before the answer that ended the folder's creation.
    EXPECT_EQ(lines.lines.size(), 3u) << lines.All();
}

TEST_F(Dlg, NoDialogForNothingOrALocalFolder)
{
    CFileOpDlg dlg;
    EXPECT_TRUE(dlg.Copy(fc, u"\\DATA\\", u"/nowhere", nullptr, nullptr, 0, nullptr, nullptr));
    EXPECT_TRUE(dlg.Delete(fc, u"\\DATA\\", nullptr, 0, nullptr, nullptr));
    EXPECT_TRUE(dlg.CreateDir(fc, W(local / "new"), nullptr, nullptr));
    EXPECT_TRUE(fs::is_directory(local / "new"));
    EXPECT_FALSE(dlg.CreateDir(fc, W(local / "new"), nullptr, nullptr));
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(Dlg, TheBarAfterACopy)
{
    WriteFile(local / "a.bin", Pattern(70000, 1));
    WriteFile(local / "b.bin", Pattern(30000, 2));
    fs::create_directories(share / "t");
    CFileOpDlg dlg;
    std::vector<std::u16string> names{u"a.bin", u"b.bin"};
    EXPECT_TRUE(dlg.Copy(fc, W(local.Path()), u"\\DATA\\t\\", names.data(), nullptr, 2, &lines, &Lines::Callback));
    // The last stage counts items: two, none removed by a copy.
    auto* bar = dlg.Item<QProgressBar>(1103);
    EXPECT_EQ(bar->maximum(), 2);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(ReadFile(share / "t/a.bin"), Pattern(70000, 1));
    EXPECT_EQ(CFileOpDlg::ProgressShift(uint64_t(INT_MAX)), 0);
    EXPECT_EQ(CFileOpDlg::ProgressShift(uint64_t(INT_MAX) + 1), 1);
    EXPECT_EQ(CFileOpDlg::ProgressShift(uint64_t(1) << 40), 10);
}

TEST_F(Dlg, StornoDuringABigLocalCopyLeavesTheTargetAsItWas)
{
    const std::string src = local / "src", dst = local / "dst";
    fs::create_directories(src);
    {
        std::ofstream f(src + "/big.bin", std::ios::binary);
        const std::string mib(1 << 20, 'b');
        for (int i = 0; i < 64; ++i)
            f << mib;
    }
    WriteFile(dst + "/big.bin", "old");
    CFileOpDlg dlg;
    dlg.Engine().SetSliceMilliseconds(1); // one chunk a slice
    std::vector<std::u16string> names{u"big.bin"};
    uint64_t doneAtClick = 0;
    int polls = 0;
    When(dlg,
         [&] {
             ++polls;
             const auto& items = dlg.Engine().Items();
             return dlg.isVisible() && !items.empty() && items[0].done > 0;
         },
         [&] {
             doneAtClick = dlg.Engine().Items()[0].done;
             ClickButton(&dlg, "c11081");
         });
    EXPECT_FALSE(dlg.Copy(fc, W(src), W(dst), names.data(), nullptr, 1, &lines, &Lines::Callback));
    EXPECT_GT(doneAtClick, 0u) << "polls " << polls;
    EXPECT_LT(doneAtClick, uint64_t(64u << 20));
    EXPECT_TRUE(ReadFile(dst + "/big.bin") == "old");
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dst))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"big.bin"});
    EXPECT_EQ(lines.All(), "Operace byla stornována uživatelem...\r\n");
}
