#include "tests/support/ui/ShownTexts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTabBar>
#include <QTextDocument>
#include <QWidget>

namespace testsupport::ui {

namespace {

QString Name(const QWidget* w)
{
    return QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
}

void Add(std::vector<ShownText>& out, const QWidget* w, const QString& part, const QString& text,
         bool literal)
{
    if (!text.isEmpty())
        out.push_back({Name(w) + QLatin1Char(' ') + part, text, literal});
}

void Collect(QWidget* w, std::vector<ShownText>& out)
{
    if (auto* label = qobject_cast<QLabel*>(w)) {
        const bool rich =
            label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        if (!rich)
            Add(out, w, QStringLiteral("text"), label->text(), label->buddy() == nullptr);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        Add(out, w, QStringLiteral("text"), button->text(), false);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        Add(out, w, QStringLiteral("title"), group->title(), false);
    } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
        for (int i = 0; i < tabs->count(); ++i)
            Add(out, w, QStringLiteral("tab %1").arg(i), tabs->tabText(i), false);
    } else if (auto* header = qobject_cast<QHeaderView*>(w)) {
        if (header->model() && !header->isHidden())
            for (int i = 0; i < header->count(); ++i)
                Add(out, w, QStringLiteral("section %1").arg(i),
                    header->model()->headerData(i, header->orientation()).toString(), true);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        for (int i = 0; i < combo->count(); ++i)
            Add(out, w, QStringLiteral("item %1").arg(i), combo->itemText(i), true);
    }
    if (w->isWindow())
        Add(out, w, QStringLiteral("window title"), w->windowTitle(), true);
}

} // namespace

std::vector<ShownText> ShownTexts(QWidget* root)
{
    std::vector<ShownText> out;
    if (!root)
        return out;
    Collect(root, out);
    for (QWidget* w : root->findChildren<QWidget*>())
        Collect(w, out);
    return out;
}

QString DrawnText(const ShownText& t)
{
    if (t.literalAmpersand)
        return t.text;
    QString out;
    for (qsizetype i = 0; i < t.text.size(); ++i) {
        if (t.text[i] == QLatin1Char('&') && i + 1 < t.text.size())
            ++i;
        out += t.text[i];
    }
    return out;
}

const QStringList& KnownEnglishTexts()
{
    static const QStringList texts = {
        // Qt's defaults of buttons and file dialogs.
        QStringLiteral("Cancel"),
        QStringLiteral("Close"),
        QStringLiteral("Apply"),
        QStringLiteral("Help"),
        QStringLiteral("Yes"),
        QStringLiteral("No"),
        QStringLiteral("Open"),
        QStringLiteral("Save"),
        QStringLiteral("Save As"),
        QStringLiteral("Choose"),
        QStringLiteral("Look in:"),
        QStringLiteral("File name:"),
        QStringLiteral("Files of type:"),
        QStringLiteral("Directory:"),
        QStringLiteral("Name"),
        QStringLiteral("Size"),
        QStringLiteral("Type"),
        QStringLiteral("Date Modified"),
        QStringLiteral("Folder"),
        QStringLiteral("Find Directory"),
        QStringLiteral("Back"),
        QStringLiteral("Forward"),
        QStringLiteral("Parent Directory"),
        QStringLiteral("Create New Folder"),
        QStringLiteral("List View"),
        QStringLiteral("Detail View"),
        QStringLiteral("Computer"),
        QStringLiteral("unknown"),
        QStringLiteral("plain text document"),
        // Texts that were once English in the program.
        QStringLiteral("No recoding"),
        QStringLiteral("Select a directory:"),
        QStringLiteral("Spellchecking finished."),
        QStringLiteral("Error"),
        QStringLiteral("Copy"),
        QStringLiteral("Move"),
        QStringLiteral("Delete"),
        QStringLiteral("Create dir"),
        QStringLiteral("More Buttons"),
        QStringLiteral("Page Setup"),
        QStringLiteral("Western"),
        QStringLiteral("Central European"),
        QStringLiteral("Cyrillic"),
        QStringLiteral("Unexpected file format."),
    };
    return texts;
}

QStringList TextProblems(QWidget* root)
{
    QStringList problems;
    for (const ShownText& t : ShownTexts(root)) {
        const QString drawn = DrawnText(t);
        if (t.literalAmpersand && t.text.contains(QLatin1Char('&')))
            problems.append(t.where + QStringLiteral(": \"") + t.text +
                            QStringLiteral("\" shows its \"&\""));
        if (KnownEnglishTexts().contains(drawn.trimmed(), Qt::CaseInsensitive))
            problems.append(t.where + QStringLiteral(": \"") + drawn +
                            QStringLiteral("\" is English"));
    }
    return problems;
}

} // namespace testsupport::ui
