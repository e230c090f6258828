// Symbolic links below the chosen local folder, against the real
// file-operation engine and the simulator over UDP on 127.0.0.1: a copy or
// move of the remote folder x (lnk.txt, d/f.txt, dang.txt) into the local
// folder t never writes through a link that lies below t.  Each link gets
// its own line, the rest arrives, the operation fails, and a file and a
// folder outside t stay byte for byte as they were.  Every case runs with
// openat2 and with the step-by-step walk that replaces it on older kernels.
// Also the names: DEL refused, a name of 255 bytes copied, a name the local
// file system cannot take refused with the bad-name line.
#include "linkui_env.h"

#include "link/ui/FileOpEngine.h"
#include "platform/sys/Beneath.h"

#include <tuple>
#include <unistd.h>

using namespace linkuitest;
using linkui::FileOpEngine;

namespace {

const std::string kLinkLine = "Cíl je symbolický odkaz: ";
const std::string kBadLine = "Neplatné jméno souboru ze systému: ";

enum class Planted
{
    FileLink,     // t/x/lnk.txt -> outside/file.txt
    FolderLink,   // t/x/d -> outside/folder
    TopLink,      // t/x -> outside/folder
    DanglingLink, // t/x/dang.txt -> outside/new.txt (nothing there)
};

std::string ReadLink(const std::string& path)
{
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    return n < 0 ? std::string() : std::string(buf, size_t(n));
}

class FileOpLinks : public SimFixture
{
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        WriteFile(share / "x/lnk.txt", "peer lnk");
        WriteFile(share / "x/d/f.txt", "peer f");
        WriteFile(share / "x/dang.txt", "peer dang");
        target = local / "t";
        outside = local / "outside";
        fs::create_directories(target);
        WriteFile(outside + "/file.txt", "keep file");
        WriteFile(outside + "/folder/inner.txt", "keep inner");
    }
    void TearDown() override
    {
        sys::ForceBeneathWithoutOpenat2(false);
        SimFixture::TearDown();
    }

    bool Run(int op, const std::u16string& sourceFolder, std::vector<std::u16string> names)
    {
        FileOpEngine e;
        if (op == FileOpEngine::OpMove)
            e.SetupMove(fc, sourceFolder, W(target), names.data(), nullptr, int(names.size()), &lines,
                        &Lines::Callback);
        else
            e.SetupCopy(fc, sourceFolder, W(target), names.data(), nullptr, int(names.size()), &lines,
                        &Lines::Callback);
        e.Start();
        EXPECT_TRUE(WaitFor([&] { return e.Ended(); }, 60000, "the operation"));
        return e.Succeeded();
    }

    Lines lines;
    std::string target, outside;
};

class PlantedLink : public FileOpLinks, public ::testing::WithParamInterface<std::tuple<Planted, int, bool>>
{
};

} // namespace

TEST_P(PlantedLink, NothingOutsideTheTargetChangesAndTheLinkHasItsLine)
{
    const auto [planted, op, fallback] = GetParam();
    sys::ForceBeneathWithoutOpenat2(fallback);
    EXPECT_EQ(sys::BeneathUsesOpenat2(), !fallback);

    std::string link, pointsTo;
    if (planted == Planted::TopLink) {
        link = target + "/x";
        pointsTo = outside + "/folder";
    } else {
        fs::create_directories(target + "/x");
        link = planted == Planted::FileLink     ? target + "/x/lnk.txt"
               : planted == Planted::FolderLink ? target + "/x/d"
                                                : target + "/x/dang.txt";
        pointsTo = planted == Planted::FileLink     ? outside + "/file.txt"
                   : planted == Planted::FolderLink ? outside + "/folder"
                                                    : outside + "/new.txt";
    }
    fs::create_symlink(pointsTo, link);
    const auto before = Tree(outside);

    EXPECT_FALSE(Run(op, u"\\DATA\\", {u"x"}));

    // Outside: byte for byte as it was, nothing new (no new.txt, no f.txt).
    EXPECT_EQ(Tree(outside), before);
    EXPECT_EQ(ReadFile(outside + "/file.txt"), "keep file");
    EXPECT_EQ(ReadFile(outside + "/folder/inner.txt"), "keep inner");
    // The link itself stays as it was, and it is the one line.
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadLink(link), pointsTo);
    ASSERT_EQ(lines.lines.size(), 1u) << lines.All();
    EXPECT_EQ(lines.lines[0], kLinkLine + link + "\r\n");

    // The rest went on.
    if (planted != Planted::TopLink) {
        if (planted != Planted::FileLink) {
            EXPECT_EQ(ReadFile(target + "/x/lnk.txt"), "peer lnk");
        }
        if (planted != Planted::FolderLink) {
            EXPECT_EQ(ReadFile(target + "/x/d/f.txt"), "peer f");
        }
        if (planted != Planted::DanglingLink) {
            EXPECT_EQ(ReadFile(target + "/x/dang.txt"), "peer dang");
        }
    }
    // A move that failed removes no source.
    EXPECT_EQ(ReadFile(share / "x/lnk.txt"), "peer lnk");
    EXPECT_EQ(ReadFile(share / "x/d/f.txt"), "peer f");
    EXPECT_EQ(ReadFile(share / "x/dang.txt"), "peer dang");
    EXPECT_EQ(Received(2), 0u);
    EXPECT_EQ(Received(7), 0u);
}

namespace {
std::string CaseName(const ::testing::TestParamInfo<PlantedLink::ParamType>& info)
{
    static const char* const kNames[] = {"FileLink", "FolderLink", "TopLink", "DanglingLink"};
    return std::string(kNames[int(std::get<0>(info.param))]) +
           (std::get<1>(info.param) == FileOpEngine::OpMove ? "Move" : "Copy") +
           (std::get<2>(info.param) ? "Walk" : "Openat2");
}
} // namespace

INSTANTIATE_TEST_SUITE_P(CopyAndMove, PlantedLink,
                         ::testing::Combine(::testing::Values(Planted::FileLink, Planted::FolderLink,
                                                              Planted::TopLink, Planted::DanglingLink),
                                            ::testing::Values(int(FileOpEngine::OpCopy),
                                                              int(FileOpEngine::OpMove)),
                                            ::testing::Bool()),
                         CaseName);

TEST_F(FileOpLinks, TheChosenFolderItselfMayBeALink)
{
    // The user chose the folder: a link to it is followed, and the copy
    // lands in the folder it names.
    const std::string real = local / "real";
    fs::create_directories(real);
    fs::create_symlink(real, local / "chosen");
    target = local / "chosen";
    EXPECT_TRUE(Run(FileOpEngine::OpCopy, u"\\DATA\\", {u"x"})) << lines.All();
    EXPECT_EQ(ReadFile(real + "/x/d/f.txt"), "peer f");
    EXPECT_TRUE(lines.lines.empty()) << lines.All();
}

TEST_F(FileOpLinks, ALocalCopyAndMoveRefuseALinkBelowTheTargetToo)
{
    // Local to local: the same rule for the target; the source's own link
    // is a file item that a move renames itself.
    WriteFile(local / "src/a.txt", "a");
    WriteFile(local / "src/b.txt", "b");
    fs::create_directories(target);
    fs::create_symlink(outside + "/file.txt", target + "/a.txt");
    const auto before = Tree(outside);
    const std::vector<std::u16string> names{u"a.txt", u"b.txt"};
    for (int op : {int(FileOpEngine::OpCopy), int(FileOpEngine::OpMove)}) {
        lines.lines.clear();
        EXPECT_FALSE(Run(op, W(local / "src"), names));
        ASSERT_EQ(lines.lines.size(), 1u) << lines.All();
        EXPECT_EQ(lines.lines[0], kLinkLine + target + "/a.txt\r\n");
        EXPECT_EQ(Tree(outside), before);
        EXPECT_TRUE(fs::is_symlink(target + "/a.txt"));
        EXPECT_EQ(ReadFile(target + "/b.txt"), "b");
        fs::remove(target + "/b.txt");
    }
    EXPECT_EQ(ReadFile(local / "src/a.txt"), "a");
    EXPECT_FALSE(fs::exists(local / "src/b.txt")); // moved
}

TEST_F(FileOpLinks, NamesWithDelAreRefusedLongNamesCopiedAndNamesTheDiskRefusesNamed)
{
    // A share with a short name leaves room for a name of 255 bytes in a
    // path of at most 259.
    testsupport::TempDir second;
    link.reset();
    sim.reset();
    moreShares = {{"D", second.Path()}};
    Open(false);

    const std::string long255(255, 'n');
    const std::string tooLongHere(255, '\x9A'); // "š" in code page 1250: 510 bytes in UTF-8
    cssim::FileScript fsc;
    fsc.listing = std::vector<cssim::ListedEntry>{{"del\x7F.txt", false, {'E'}},
                                                  {long255, false, {'L'}},
                                                  {tooLongHere, false, {'T'}},
                                                  {"ok.txt", false, {'o', 'k'}}};
    sim->scriptFile(3, "\\D\\*.*", fsc);
    // The listing of the share's root is scripted; its files are served
    // from the folder.
    WriteFile(second / long255, "L");
    WriteFile(second / "ok.txt", "ok");
    EXPECT_FALSE(Run(FileOpEngine::OpCopy, u"\\", {u"D"}));
    EXPECT_TRUE(lines.Has(kBadLine + "del?.txt\r\n")) << lines.All();
    std::string tooLongUtf8;
    for (int i = 0; i < 255; ++i)
        tooLongUtf8 += "\xC5\xA1";
    EXPECT_TRUE(lines.Has(kBadLine + target + "/D/" + tooLongUtf8 + "\r\n")) << lines.All();
    EXPECT_EQ(lines.lines.size(), 2u) << lines.All();
    EXPECT_EQ(ReadFile(target + "/D/" + long255), "L");
    EXPECT_EQ(ReadFile(target + "/D/ok.txt"), "ok");
    EXPECT_FALSE(fs::exists(target + "/D/del\x7F.txt"));
}
