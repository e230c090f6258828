#include "mainwnd/OutputCtrl.h"

#include "platform/sys/WinPath.h"
#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Menu.h"
#include "plcviews/StructuredTextDoc.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "uilib/KVTWorkspace.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include "platform/ui/LocalPath.h"
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace {
constexpr unsigned IDS_ITEM_TEXT = 4048;         // "Text"
constexpr unsigned IDS_ITEM_TAG = 4049;          // "Chyba/odkaz"
constexpr unsigned IDS_ITEM_SELECTEDTAG = 4050;  // "Aktivní chyba/odkaz"
const char* const kItemNames[3] = {"Text", "Tag", "SelectedTag"};

QString ToQString(std::u16string_view s) { return QString::fromUtf16(s.data(), qsizetype(s.size())); }

// "\r\n" and a lone "\r" become the control's line break.
QString ControlText(std::u16string_view text)
{
    QString s = ToQString(text);
    if (s.contains(QLatin1Char('\r'))) {
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    return s;
}

// The path made full the way the build checked the file; as written when
// that gives nothing.
QString FullPath(std::u16string_view path)
{
    if (auto native = sys::WinPath::ToNative(path)) {
        if (!native->empty())
            return ui::AbsoluteLocalPath(ui::LocalPathOfNative(*native));
    }
    return ToQString(path);
}
} // namespace

COutputCtrl::COutputCtrl(QWidget* parent) : CRichEdit20Ctrl(parent)
{
    MapCommand(ID_EDIT_COPY, [this] { copy(); });
    MapUpdate(ID_EDIT_COPY, [this](ui::CmdUI& cmd) { cmd.Enable(textCursor().hasSelection()); });
}

COutputCtrl::~COutputCtrl()
{
    CFontColorPage* registry = m_registry ? m_registry.data() : GetFontColorPage();
    if (registry)
        registry->RemoveListener(this);
}

bool COutputCtrl::Create(uint32_t style, const QRect& rect, QWidget* parent, uint32_t id, CFontColorPage* registry,
                         const QString& category)
{
    if (!CRichEdit20Ctrl::Create(kStyle | style, rect, parent, id))
        return false;
    m_registry = registry;
    m_category = category;
    if (registry && !registry->AddListener(this, 0))
        return false;
    BuildFormats();
    setCurrentCharFormat(m_formats[0]);
    ClearAll();
    return true;
}

bool COutputCtrl::RegisterFonts(const QString& category, const QString& displayName, CFontColorPage* registry)
{
    if (!registry)
        return false;
    using namespace ui;
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT);
    return registry->AddCategory(category, displayName, QStringLiteral("Courier New"), 10, 238, 0) &&
           registry->AddItem(category, QStringLiteral("Text"), LoadResString(IDS_ITEM_TEXT), 0x646464, window, 0,
                             0, 0, 0) &&
           registry->AddItem(category, QStringLiteral("Tag"), LoadResString(IDS_ITEM_TAG), windowText, window, 0, 0,
                             0, 0) &&
           registry->AddItem(category, QStringLiteral("SelectedTag"), LoadResString(IDS_ITEM_SELECTEDTAG),
                             windowText, 0x00FF00, 0, 0, 0, 0);
}

void COutputCtrl::BuildFormats()
{
    const CFontColorPage* registry = m_registry;
    const FontColorCategory* cat = registry ? registry->FindCategory(m_category) : nullptr;
    if (!cat)
        return; // nothing found: the formats stay as they were
    for (int i = 0; i < 3; ++i) {
        const FontColorItem* item = registry->FindItem(cat, QString::fromLatin1(kItemNames[i]));
        if (!item)
            continue;
        QTextCharFormat f;
        f.setFont(registry->CreateItemFont(*item, *cat), QTextCharFormat::FontPropertiesAll);
        f.setForeground(ui::ColorFromRef(item->textColor));
        f.setBackground(ui::ColorFromRef(item->backColor));
        m_formats[i] = f;
    }
    // Empty lines and the space after the text take the plain font.
    QFont font = m_formats[0].font();
    document()->setDefaultFont(font);
}

const OutputTag* COutputCtrl::Tag(int index) const
{
    return index >= 0 && index < TagCount() ? &m_tags[size_t(index)] : nullptr;
}

int COutputCtrl::TagAt(int position) const
{
    // Tags lie in text order: find the last one starting at or before position.
    auto it = std::upper_bound(m_tags.begin(), m_tags.end(), position,
                               [](int pos, const OutputTag& t) { return pos < t.start; });
    if (it == m_tags.begin())
        return -1;
    --it;
    bool inside = position < it->end;
    // The end of a last line without a line break still belongs to it.
    if (!inside && position == it->end && position > it->start && position == document()->characterCount() - 1 &&
        !document()->toPlainText().endsWith(QLatin1Char('\n')))
        inside = true;
    return inside ? int(it - m_tags.begin()) : -1;
}

void COutputCtrl::Insert(std::u16string_view text, const QTextCharFormat& format, int* start, int* end)
{
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    if (start)
        *start = c.position();
    c.insertText(ControlText(text), format);
    if (end)
        *end = c.position();
    FollowEnd();
}

void COutputCtrl::FollowEnd()
{
    // The caret follows the text by itself once it is at the end.
    const QTextCursor cur = textCursor();
    if (cur.hasSelection() || cur.position() != document()->characterCount() - 1) {
        QTextCursor c(document());
        c.movePosition(QTextCursor::End);
        setTextCursor(c);
    }
    // Scroll to the last line.  Without updates the scroll does not copy the
    // window's pixels line by line; the view is drawn once at the next paint.
    QScrollBar* bar = verticalScrollBar();
    if (bar->value() != bar->maximum()) {
        viewport()->setUpdatesEnabled(false);
        bar->setValue(bar->maximum());
        viewport()->setUpdatesEnabled(true);
    }
}

void COutputCtrl::AppendText(std::u16string_view text)
{
    if (m_current >= 0)
        SelectTag(-1);
    Insert(text, m_formats[0], nullptr, nullptr);
}

void COutputCtrl::AppendTaggedLine(std::u16string_view lineText, std::u16string_view filePath, int line, int column,
                                   std::u16string_view name, std::u16string_view shortText,
                                   std::u16string_view message)
{
    if (TagCount() >= kMaxTags || filePath.size() >= kTooLongName || name.size() >= kTooLongName) {
        AppendText(lineText);
        return;
    }
    if (m_current >= 0)
        SelectTag(-1);
    OutputTag tag;
    tag.path = FullPath(filePath);
    tag.line = line;
    tag.column = column;
    tag.name = ToQString(name);
    tag.shortText = ToQString(shortText.substr(0, kMaxShortText));
    tag.message = ToQString(message.substr(0, kMaxMessage));
    Insert(lineText, m_formats[1], &tag.start, &tag.end);
    m_tags.push_back(std::move(tag));
}

void COutputCtrl::ClearAll()
{
    m_tags.clear();
    m_current = -1;
    clear();
    setCurrentCharFormat(m_formats[0]);
}

void COutputCtrl::FormatRange(int start, int end, const QTextCharFormat& format)
{
    const int last = document()->characterCount() - 1;
    start = std::clamp(start, 0, last);
    end = std::clamp(end, start, last);
    if (start == end)
        return;
    QTextCursor c(document());
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    c.setCharFormat(format);
}

void COutputCtrl::JumpTo(const OutputTag& tag)
{
    ui::Application* app = ui::Application::Instance();
    ui::Document* doc = app ? app->OpenDocumentFile(tag.path) : nullptr;
    if (!doc)
        return;
    QWidget* focus = nullptr;
    if (auto* st = qobject_cast<CStructuredTextDoc*>(doc)) {
        if (auto* view = qobject_cast<CStructuredTextView*>(st->FirstView())) {
            view->ClampTextPos(EdtPoint{tag.column - 1, tag.line - 1});
            focus = view;
        }
    } else if (auto* rich = qobject_cast<CRichEditDoc2*>(doc)) {
        if (CRichEditView2* view = rich->GetView()) {
            QTextEdit* edit = view->GetRichEditCtrl();
            QTextDocument* text = edit->document();
            QTextBlock block = text->findBlockByNumber(std::clamp(tag.line - 1, 0, text->blockCount() - 1));
            int pos = block.position() + std::clamp(tag.column - 1, 0, std::max(0, block.length() - 1));
            QTextCursor c(text);
            c.setPosition(pos);
            edit->setTextCursor(c);
            edit->ensureCursorVisible();
            focus = view;
        }
    } else {
        focus = doc->FirstView();
    }
    if (focus) {
        if (auto* v = qobject_cast<ui::View*>(focus))
            if (ui::ChildFrame* frame = v->GetParentFrame())
                if (frame->mdiArea())
                    frame->mdiArea()->setActiveSubWindow(frame);
        focus->setFocus(Qt::OtherFocusReason);
    }
}

std::optional<QString> COutputCtrl::SelectTag(int index)
{
    const OutputTag* tag = Tag(index);
    if (tag)
        JumpTo(*tag);
    // The jump may have run a nested loop (a message): the tag list is ours
    // alone, but look the tag up again all the same.
    tag = Tag(index);
    if (const OutputTag* old = Tag(m_current))
        FormatRange(old->start, old->end, m_formats[1]);
    if (!tag) {
        m_current = -1;
        return std::nullopt;
    }
    FormatRange(tag->start, tag->end, m_formats[2]);
    QTextCursor c(document());
    c.setPosition(std::min(tag->start + 1, document()->characterCount() - 1));
    setTextCursor(c);
    ensureCursorVisible();
    m_current = index;
    return tag->message;
}

std::optional<QString> COutputCtrl::NextTag()
{
    if (!HasTags())
        return std::nullopt;
    int next = m_current + 1;
    if (next >= TagCount())
        next = 0;
    return SelectTag(next);
}

std::optional<QString> COutputCtrl::PrevTag()
{
    if (!HasTags())
        return std::nullopt;
    int prev = m_current < 0 ? TagCount() - 1 : m_current - 1;
    if (prev < 0)
        prev = TagCount() - 1;
    return SelectTag(prev);
}

void COutputCtrl::OnFontColorChange(uint32_t)
{
    BuildFormats();
    ReapplyFormats();
}

void COutputCtrl::ReapplyFormats()
{
    QTextCursor saved = textCursor();
    QTextCursor all(document());
    all.beginEditBlock();
    all.select(QTextCursor::Document);
    all.setCharFormat(m_formats[0]);
    for (const OutputTag& t : m_tags) {
        all.setPosition(t.start);
        all.setPosition(std::min(t.end, document()->characterCount() - 1), QTextCursor::KeepAnchor);
        all.setCharFormat(m_formats[1]);
    }
    if (const OutputTag* cur = Tag(m_current)) {
        all.setPosition(cur->start);
        all.setPosition(std::min(cur->end, document()->characterCount() - 1), QTextCursor::KeepAnchor);
        all.setCharFormat(m_formats[2]);
    }
    all.endEditBlock();
    setCurrentCharFormat(m_formats[0]);
    setTextCursor(saved);
}

void COutputCtrl::JumpOrBeep(int position)
{
    int index = TagAt(position);
    if (index < 0) {
        ui::MessageBeep(0);
        return;
    }
    SelectTag(index);
}

void COutputCtrl::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        CRichEdit20Ctrl::mouseDoubleClickEvent(e);
        return;
    }
    QTextCursor c = cursorForPosition(e->position().toPoint());
    setTextCursor(c);
    JumpOrBeep(c.position());
}

void COutputCtrl::keyPressEvent(QKeyEvent* e)
{
    const auto mods = e->modifiers() & ~Qt::KeypadModifier;
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !mods) {
        JumpOrBeep(textCursor().position());
        return;
    }
    if ((e->key() == Qt::Key_Menu && !mods) ||
        (e->key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
        ShowContextMenu(CaretPoint());
        return;
    }
    CRichEdit20Ctrl::keyPressEvent(e);
}

void COutputCtrl::contextMenuEvent(QContextMenuEvent* e)
{
    ShowContextMenu(e->reason() == QContextMenuEvent::Keyboard ? CaretPoint() : e->globalPos());
}

QPoint COutputCtrl::CaretPoint()
{
    ensureCursorVisible();
    return viewport()->mapToGlobal(cursorRect().bottomLeft());
}

void COutputCtrl::ShowContextMenu(const QPoint& screenPoint)
{
    setFocus(Qt::PopupFocusReason);
    if (CKVTWorkspace* workspace = CKVTWorkspace::Instance())
        workspace->ShowPopupMenu(kContextMenu, screenPoint, this);
}
