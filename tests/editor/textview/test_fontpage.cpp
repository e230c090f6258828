// The font page and its face combo box.

#include "OptionsTest.h"

#include "editor/buffer/EdtCodePages.h"
#include "editor/view/EdtViewRenderer.h"

#include <QFontDatabase>
#include <QTest>

#include <gtest/gtest.h>

using namespace testsupport::ui;

TEST(FontPage, PureRules)
{
    EXPECT_EQ(edt::FontSizeText(-15, 96), QStringLiteral("11"));
    EXPECT_EQ(edt::FontSizeText(-13, 96), QStringLiteral("10"));  // 9.75 rounds up
    EXPECT_EQ(edt::FontSizeText(16, 96), QStringLiteral("-12"));
    EXPECT_EQ(edt::FontHeightOfSize(11, 96), -15);
    EXPECT_EQ(edt::AtoI(QStringLiteral("  12abc")), 12);
    EXPECT_EQ(edt::AtoI(QStringLiteral("x")), 0);
    EXPECT_EQ(edt::ScriptNameOfCharSet(238), QStringLiteral("Středoevropské"));
    EXPECT_EQ(edt::ScriptNameOfCharSet(0), QStringLiteral("Západní"));
    EXPECT_EQ(edt::ScriptNameOfCharSet(99), QStringLiteral("Západní"));
    EXPECT_EQ(edt::CharSetOfScriptName(QStringLiteral("Cyrilice")), 204);
    const auto faces = edt::FixedPitchFaces();
    ASSERT_FALSE(faces.empty());
    for (const auto& f : faces) {
        EXPECT_TRUE(QFontDatabase::isFixedPitch(f.name)) << f.name.toStdString();
        EXPECT_LE(f.name.size(), 31);
    }
    bool sans = false;
    for (const auto& f : faces)
        sans = sans || f.name == QStringLiteral("DejaVu Sans");
    EXPECT_FALSE(sans);
}

TEST(FontPage, LoadsPreviewsAndApplies)
{
    auto v = MakeView(u"x");
    EdtLogFont saved = GetEdtEditorFont();
    EdtLogFont lf = TestFont();
    lf.height = -15;
    lf.charSet = 238;
    GetEdtEditorFont() = lf;
    SetEdtDefaultEncoding(3);
    {
        OptionsSheet s(v.get(), 2);
        auto* face = s.font->Item<QComboBox>(1136);
        ASSERT_NE(qobject_cast<CFontComboBox*>(face), nullptr);
        EXPECT_EQ(face->currentText(), QStringLiteral("DejaVu Sans Mono"));
        EXPECT_EQ(s.font->Item<QComboBox>(1138)->currentText(), QStringLiteral("11"));
        EXPECT_EQ(s.font->Item<QComboBox>(1137)->currentText(), QStringLiteral("Středoevropské"));
        EXPECT_TRUE(s.font->Item<QCheckBox>(1046)->isChecked());
        EXPECT_EQ(s.font->Item<QComboBox>(1007)->currentIndex(), 3);
        EXPECT_EQ(s.font->Item<QComboBox>(1007)->itemText(14), QStringLiteral("UTF-8"));
        // A 20-character face is kept whole; a longer one is cut to 31.
        face->setEditText(QStringLiteral("Twenty Characters Mo"));
        EXPECT_EQ(QString::fromUtf16(s.font->PreviewLogFont().faceName), QStringLiteral("Twenty Characters Mo"));
        face->setEditText(QStringLiteral("DejaVu Sans Mono"));
        s.font->Item<QComboBox>(1138)->setEditText(QStringLiteral("14"));
        EXPECT_EQ(s.font->PreviewLogFont().height, -19);
        // Clearing the encoding switch gives -1 whatever the combo shows.
        s.font->Item<QCheckBox>(1046)->setChecked(false);
        EXPECT_FALSE(s.font->Item<QComboBox>(1007)->isEnabled());
        s.sheet.accept();
    }
    EXPECT_EQ(GetEdtDefaultEncoding(), -1);
    EXPECT_EQ(GetEdtEditorFont().height, -19);
    EXPECT_EQ(v->Renderer().m_logFont.height, -19);
    EXPECT_EQ(QString::fromUtf16(v->Renderer().m_logFont.faceName), QStringLiteral("DejaVu Sans Mono"));
    GetEdtEditorFont() = saved;
}

TEST(FontPage, SizeAndFaceTakeWhatWasTyped)
{
    auto v = MakeView(u"x");
    EdtLogFont saved = GetEdtEditorFont();
    GetEdtEditorFont() = TestFont();
    {
        OptionsSheet s(v.get(), 2);
        s.sheet.activateWindow();
        auto* size = s.font->Item<QComboBox>(1138);
        auto* face = s.font->Item<QComboBox>(1136);
        // "1" is no "10" of the list, a partial face name no other face.
        size->setFocus();
        size->lineEdit()->selectAll();
        QTest::keyClicks(size, QStringLiteral("1"));
        EXPECT_EQ(size->currentText(), QStringLiteral("1"));
        QTest::keyClick(size, Qt::Key_Tab);
        EXPECT_EQ(size->currentText(), QStringLiteral("1"));
        const int32_t one = s.font->PreviewLogFont().height;
        size->setEditText(QStringLiteral("10"));
        EXPECT_NE(s.font->PreviewLogFont().height, one);
        face->setFocus();
        face->lineEdit()->selectAll();
        QTest::keyClicks(face, QStringLiteral("DejaVu"));
        QTest::keyClick(face, Qt::Key_Tab);
        EXPECT_EQ(face->currentText(), QStringLiteral("DejaVu"));
        EXPECT_EQ(QString::fromUtf16(s.font->PreviewLogFont().faceName), QStringLiteral("DejaVu"));
        s.sheet.reject();
    }
    GetEdtEditorFont() = saved;
}
