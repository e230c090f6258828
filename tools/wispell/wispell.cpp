// The spelling checker "wispell" over Hunspell: reads the lines the editor
// hands over, finds words no dictionary knows, and asks the user in its
// own dialog to change, ignore or ignore them for the rest of the run.

#include "editor/EdtWispell.h"

#include <hunspell.h>

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <iconv.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#define WISPELL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// One loaded dictionary with its conversions.
struct Dictionary
{
    QString aff, dic;
    Hunhandle* handle = nullptr;
    iconv_t toDict = reinterpret_cast<iconv_t>(-1);
    iconv_t fromDict = reinterpret_cast<iconv_t>(-1);
    ~Dictionary()
    {
        if (handle)
            Hunspell_destroy(handle);
        if (toDict != reinterpret_cast<iconv_t>(-1))
            iconv_close(toDict);
        if (fromDict != reinterpret_cast<iconv_t>(-1))
            iconv_close(fromDict);
    }
};

std::vector<std::unique_ptr<Dictionary>> g_dicts;
QString g_dictFolder;
bool g_loaded = false;
QStringList g_looked;
std::set<std::u16string> g_ignoreAll;  // for the rest of the run

bool Convert(iconv_t cd, const std::string& in, std::string& out)
{
    out.clear();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string src = in;
    char* ip = src.data();
    size_t il = src.size();
    std::string buf(in.size() * 4 + 16, '\0');
    char* op = buf.data();
    size_t ol = buf.size();
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1))
        return false;
    out.assign(buf.data(), buf.size() - ol);
    return true;
}

void LoadDictionaries(const QString& folder)
{
    if (g_loaded && folder == g_dictFolder)
        return;
    g_dicts.clear();
    g_looked.clear();
    g_dictFolder = folder;
    g_loaded = true;
    for (const char* lang : {"cs_CZ", "en_US"}) {
        for (const QString& base : {folder + QLatin1String(lang), QStringLiteral("/usr/share/hunspell/") + QLatin1String(lang)}) {
            const QString aff = base + QStringLiteral(".aff"), dic = base + QStringLiteral(".dic");
            g_looked << dic;
            if (!QFileInfo::exists(aff) || !QFileInfo::exists(dic))
                continue;
            auto d = std::make_unique<Dictionary>();
            d->handle = Hunspell_create(aff.toLocal8Bit().constData(), dic.toLocal8Bit().constData());
            if (!d->handle)
                continue;
            const char* enc = Hunspell_get_dic_encoding(d->handle);
            const std::string e = enc && *enc ? enc : "ISO8859-1";
            d->toDict = iconv_open(e.c_str(), "UTF-8");
            d->fromDict = iconv_open("UTF-8", e.c_str());
            if (d->toDict == reinterpret_cast<iconv_t>(-1) || d->fromDict == reinterpret_cast<iconv_t>(-1))
                continue;
            d->aff = aff;
            d->dic = dic;
            g_dicts.push_back(std::move(d));
            break;
        }
    }
}

QString BlockFolder(const WispellBlock* b)
{
    size_t n = 0;
    while (n < sizeof b->folder / sizeof b->folder[0] && b->folder[n])
        ++n;
    return QString::fromUtf16(b->folder, qsizetype(n));
}

// 1 right, 0 wrong, -1 no dictionary can represent the word.
int CheckWord(const std::u16string& word)
{
    const std::string utf8 = QString::fromStdU16String(word).toStdString();
    bool represented = false;
    for (const auto& d : g_dicts) {
        std::string w;
        if (!Convert(d->toDict, utf8, w))
            continue;
        represented = true;
        if (Hunspell_spell(d->handle, w.c_str()))
            return 1;
    }
    return represented ? 0 : -1;
}

QStringList Suggestions(const std::u16string& word)
{
    QStringList out;
    const std::string utf8 = QString::fromStdU16String(word).toStdString();
    for (const auto& d : g_dicts) {
        std::string w;
        if (!Convert(d->toDict, utf8, w))
            continue;
        char** list = nullptr;
        const int n = Hunspell_suggest(d->handle, &list, w.c_str());
        for (int i = 0; i < n && out.size() < 10; ++i) {
            std::string s;
            if (Convert(d->fromDict, list[i], s)) {
                const QString q = QString::fromStdString(s);
                if (!out.contains(q))
                    out << q;
            }
        }
        if (list)
            Hunspell_free_list(d->handle, &list, n);
    }
    return out;
}

bool IsWordChar(char16_t c)
{
    return c == u'_' || QChar::isLetterOrNumber(c);
}

// Identifiers and keywords are not words to check.
bool Skipped(const std::u16string& w)
{
    if (w.size() < 2)
        return true;
    bool lower = false;
    for (char16_t c : w) {
        if (c == u'_' || QChar::isDigit(c))
            return true;
        if (QChar::isLower(c))
            lower = true;
    }
    return !lower;
}

// A message box of the library, on the heap for the same reason as the dialog.
void ShowBox(QMessageBox::Icon icon, const QString& text, QWidget* owner, const char* name)
{
    QPointer<QMessageBox> box = new QMessageBox(icon, QStringLiteral("WIspell"), text, QMessageBox::Ok, owner);
    box->setObjectName(QLatin1String(name));
    box->exec();
    delete box;
}

enum class Answer { change, ignore, ignoreAll, cancel };

Answer Ask(QWidget* owner, const QString& word, QString& replacement)
{
    // On the heap: the owner may go while the dialog runs (the program ended
    // from outside), and takes the dialog with it.
    QPointer<QDialog> guard = new QDialog(owner);
    QDialog& dlg = *guard;
    dlg.setObjectName(QStringLiteral("wispellDialog"));
    dlg.setWindowTitle(QStringLiteral("WIspell"));
    dlg.setModal(true);
    auto* grid = new QGridLayout;
    auto* notFound = new QLineEdit(word);
    notFound->setObjectName(QStringLiteral("wispellWord"));
    notFound->setReadOnly(true);
    auto* changeTo = new QLineEdit;
    changeTo->setObjectName(QStringLiteral("wispellChangeTo"));
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("wispellSuggestions"));
    const QStringList sugg = Suggestions(word.toStdU16String());
    list->addItems(sugg);
    changeTo->setText(sugg.isEmpty() ? word : sugg.first());
    auto* label1 = new QLabel(QStringLiteral("Nenalezeno:"));
    auto* label2 = new QLabel(QStringLiteral("Změnit &na:"));
    label2->setBuddy(changeTo);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(notFound, 0, 1);
    grid->addWidget(label2, 1, 0);
    grid->addWidget(changeTo, 1, 1);
    grid->addWidget(list, 2, 1);
    auto* buttons = new QVBoxLayout;
    Answer answer = Answer::cancel;
    auto button = [&buttons, &dlg, &answer](const char* name, const QString& text, Answer a) {
        auto* b = new QPushButton(text);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, &dlg, [&dlg, &answer, a] {
            answer = a;
            if (a == Answer::cancel)
                dlg.reject();
            else
                dlg.accept();
        });
        buttons->addWidget(b);
        return b;
    };
    button("wispellChange", QStringLiteral("&Změnit"), Answer::change)->setDefault(true);
    button("wispellIgnore", QStringLiteral("&Ignorovat"), Answer::ignore);
    button("wispellIgnoreAll", QStringLiteral("Ignorovat &vše"), Answer::ignoreAll);
    button("wispellCancel", QStringLiteral("Storno"), Answer::cancel);
    buttons->addStretch();
    QObject::connect(list, &QListWidget::currentTextChanged, changeTo, &QLineEdit::setText);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dlg, [&](QListWidgetItem* item) {
        changeTo->setText(item->text());
        answer = Answer::change;
        dlg.accept();
    });
    auto* top = new QHBoxLayout(&dlg);
    top->addLayout(grid, 1);
    top->addLayout(buttons);
    changeTo->setFocus();
    const int result = dlg.exec();
    if (!guard)
        return Answer::cancel;
    if (result != QDialog::Accepted)
        answer = Answer::cancel;  // Esc or the window's close
    replacement = changeTo->text();
    delete guard;
    return answer;
}

} // namespace

WISPELL_EXPORT int SpellInit(WispellBlock* block)
{
    (void)block;
    return 0;
}

WISPELL_EXPORT int SpellCheck(WispellBlock* block)
{
    if (!block || !block->nextLine || !block->action || !qApp)
        return 1;
    auto* owner = static_cast<QWidget*>(block->ownerWindow);
    LoadDictionaries(BlockFolder(block));
    if (g_dicts.empty()) {
        ShowBox(QMessageBox::Warning, QStringLiteral("Nenalezen žádný slovník. Hledáno:\n") + g_looked.join(u'\n'),
                owner, "wispellNoDictionary");
        return 1;
    }
    std::u16string text, word, replacement;
    while (true) {
        const int index = block->line;
        const int n = block->nextLine(block);
        if (n <= 0 || !block->lineText)
            break;
        text.assign(block->lineText, size_t(n));
        int shift = 0;
        size_t i = 0;
        while (i < text.size()) {
            if (!IsWordChar(text[i])) {
                ++i;
                continue;
            }
            size_t e = i;
            while (e < text.size() && IsWordChar(text[e]))
                ++e;
            word = text.substr(i, e - i);
            const size_t at = i;
            i = e;
            if (Skipped(word) || g_ignoreAll.count(word) || CheckWord(word) != 0)
                continue;
            block->column = int(at) + shift;
            block->line = index + 1;
            block->word = word.c_str();
            block->action(1, block);
            QString chosen;
            switch (Ask(owner, QString::fromStdU16String(word), chosen)) {
            case Answer::cancel:
                return 2;
            case Answer::ignore:
                break;
            case Answer::ignoreAll:
                g_ignoreAll.insert(word);
                break;
            case Answer::change:
                replacement = chosen.toStdU16String();
                if (replacement != word) {
                    block->word = replacement.c_str();
                    block->action(2, block);
                    shift += int(replacement.size()) - int(word.size());
                }
                break;
            }
            block->line = index + 1;
        }
    }
    block->action(3, block);
    return 0;
}

WISPELL_EXPORT int SpellConfig(WispellBlock* block)
{
    LoadDictionaries(block ? BlockFolder(block) : QString());
    QStringList files;
    for (const auto& d : g_dicts)
        files << d->aff << d->dic;
    ShowBox(QMessageBox::Information,
            files.isEmpty() ? QStringLiteral("Nenalezen žádný slovník.") : QStringLiteral("Slovníky:\n") + files.join(u'\n'),
            block ? static_cast<QWidget*>(block->ownerWindow) : nullptr, "wispellConfig");
    return 0;
}
