// Printing of the text view to PDF files, checked with pdfinfo and
// pdftotext.

#include "TextViewTest.h"

#include "editor/dialogs/EdtPageSetup.h"
#include "editor/settings/EdtRegistry.h"
#include "editor/print/EdtTextPrinter.h"
#include "platform/ui/Print.h"

#include <QPageSetupDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

std::u16string NumberedLines(int n)
{
    std::u16string s;
    for (int i = 1; i <= n; ++i) {
        if (i > 1)
            s += u"\r\n";
        s += u"Line " + QString::number(i).toStdU16String();
    }
    return s;
}

QString Run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString& pdf)
{
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(Run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString PdfPageText(const QString& pdf, int page)
{
    return Run("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
}

// The smallest xMin and yMin of the words of page 1, in points.
QPointF FirstWordCorner(const QString& pdf)
{
    const QString html = Run("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"});
    QRegularExpression re(QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\""));
    double x = 1e9, y = 1e9;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        x = std::min(x, m.captured(1).toDouble());
        y = std::min(y, m.captured(2).toDouble());
    }
    return {x, y};
}

struct PdfJob
{
    QTemporaryDir dir;
    QString path = dir.filePath("out.pdf");
    QPrinter printer{QPrinter::HighResolution};
    PdfJob()
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPageSize(QPageSize(QPageSize::A4));
        ui::ResetPrinterMargins(printer);
    }
};

constexpr double MM = 72.0 / 25.4;

} // namespace

TEST(EditorPrint, ThreePagesWithFootersAndRange)
{
    auto v = MakeView(NumberedLines(150));
    {
        PdfJob job;
        EXPECT_EQ(ui::PrintView(*v, job.printer, false), 3);
        ASSERT_EQ(PdfPages(job.path), 3);
        for (int p = 1; p <= 3; ++p) {
            const QString text = PdfPageText(job.path, p);
            EXPECT_TRUE(text.contains(QStringLiteral("Strana %1/3").arg(p))) << text.toStdString();
            EXPECT_EQ(text.count(QStringLiteral("Strana")), 1);
        }
        EXPECT_TRUE(PdfPageText(job.path, 1).contains("Line 1\n"));
        EXPECT_TRUE(PdfPageText(job.path, 3).contains("Line 150"));
        EXPECT_EQ(v->Printer().GetPrintPageCount(), 0);  // the job is over
    }
    {
        PdfJob job;
        job.printer.setFromTo(2, 3);
        EXPECT_EQ(ui::PrintView(*v, job.printer, false), 2);
        ASSERT_EQ(PdfPages(job.path), 2);
        EXPECT_TRUE(PdfPageText(job.path, 1).contains("Strana 2/3"));
        EXPECT_TRUE(PdfPageText(job.path, 2).contains("Strana 3/3"));
    }
}

TEST(EditorPrint, LongWordWholeAndEmptyDocument)
{
    const std::u16string word(500, u'q');
    auto v = MakeView(u"before\r\n" + word + u"\r\nafter");
    PdfJob job;
    EXPECT_EQ(ui::PrintView(*v, job.printer, false), 1);
    QString text = PdfPageText(job.path, 1);
    text.remove('\n');
    EXPECT_TRUE(text.contains(QString::fromStdU16String(word))) << text.toStdString();
    EXPECT_TRUE(text.contains("after"));

    auto empty = MakeView(u"");
    PdfJob job2;
    EXPECT_EQ(ui::PrintView(*empty, job2.printer, false), 1);
    EXPECT_EQ(PdfPages(job2.path), 1);
    EXPECT_TRUE(PdfPageText(job2.path, 1).contains("Strana 1/1"));
}

TEST(EditorPrint, StoredMarginsMoveTheText)
{
    auto v = MakeView(NumberedLines(5));
    EdtPageSettings s;
    s.margins = {2000, 2000, 2000, 2000};
    ASSERT_TRUE(SavePageSettings(s));
    PdfJob job;
    ASSERT_EQ(ui::PrintView(*v, job.printer, false), 1);
    const QPointF c = FirstWordCorner(job.path);
    EXPECT_NEAR(c.x(), 20 * MM, 1.5);
    EXPECT_NEAR(c.y(), 20 * MM, 3.0);

    // Garbage in the store is ignored.
    CRegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, EDT_SETTINGS_KEY));
    key.SaveNumber(u"PageLeft", 5000000);
    key.SaveString(u"PageTop", u"12");
    const EdtPageSettings r = LoadPageSettings();
    EXPECT_EQ(r.margins.left, 1000);
    EXPECT_EQ(r.margins.top, 1000);
    EXPECT_EQ(r.margins.right, 2000);
    EXPECT_FALSE(r.width.has_value());
}

TEST(EditorPrint, PageSetupStoresMarginsAppliedOnce)
{
    auto v = MakeView(NumberedLines(5));
    EdtPageSettings s;
    s.margins = {2000, 2000, 2000, 2000};
    ASSERT_TRUE(SavePageSettings(s));
    OnNextModal<QPageSetupDialog>([](QPageSetupDialog* d) { d->accept(); });
    EXPECT_TRUE(RunPageSetup(v.get()));
    const EdtPageSettings r = LoadPageSettings();
    EXPECT_EQ(r.margins.left, 2000);
    EXPECT_EQ(r.margins.bottom, 2000);
    ASSERT_TRUE(r.width && r.height);
    EXPECT_GT(*r.width, 0);
    EXPECT_GT(*r.height, 0);
    // The printer's own margins are 0 again: the text starts 20 mm, not
    // 40 mm, from the edges.
    QPrinter& printer = EdtPrinter();
    EXPECT_EQ(printer.pageLayout().margins(QPageLayout::Millimeter), QMarginsF(0, 0, 0, 0));
    QTemporaryDir dir;
    const QString path = dir.filePath("setup.pdf");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    ASSERT_EQ(ui::PrintView(*v, printer, false), 1);
    const QPointF c = FirstWordCorner(path);
    EXPECT_NEAR(c.x(), 20 * MM, 1.5);
    EXPECT_NEAR(c.y(), 20 * MM, 3.0);
}
