#include "plcviews/PLCDoc.h"

#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/ui/Beep.h"
#include "platform/ui/SysColor.h"
#include "plcviews/InspectDlg.h"
#include "plcviews/LinkNotices.h"
#include "plcviews/PlcViewLogic.h"
#include "res/StringTable.h"

#include <QFileInfo>
#include "platform/ui/LocalPath.h"
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace {
constexpr unsigned IDS_BRK_RESULT = 4243;        // "Chyba příkazu Set Breakpoint %d\r\n"
constexpr unsigned IDS_MECH_RESULT = 4244;       // "Chyba příkazu Watch Mechanisms %d\r\n"
constexpr unsigned IDS_BRK_FAILED = 4245;
constexpr unsigned IDS_MECH_FAILED = 4246;
constexpr unsigned IDS_REGS_RESULT = 4438;       // "Chyba příkazu WatchRegsOnLine %d\r\n"
constexpr int kTipDelayMs = 200;
constexpr int kPollSpacingMs = 100;

struct PlcItemDef
{
    const char* name;
    unsigned description;
    ui::COLORREF text, back;
};
const PlcItemDef kPlcItems[CPLCView::PlcItemCount] = {
    {"PLCRegsAct", 4440, 0x000000, 0x0000FF},   {"PLCRegsInact", 4442, 0x000000, 0xC8FFFF},
    {"EnabledBreakpoint", 4259, 0x0000FF, 0},   {"DisabledBreakpoint", 4260, 0xFFFFFF, 0},
    {"Current", 4261, 0x00FFFF, 0},             {"MechErr", 4262, 0x8080FF, 0},
    {"Mech", 4263, 0x808080, 0},                {"MechWatch", 4264, 0xFF8080, 0},
    {"MechRun", 4265, 0x80FF80, 0},             {"MechCurrent", 4266, 0x00FFFF, 0},
};

QColor C(ui::COLORREF c) { return ui::ColorFromRef(c); }
} // namespace

CPLCView::CPLCView()
{
    for (int i = 0; i < PlcItemCount; ++i) {
        m_plcItems[size_t(i)].name = QString::fromLatin1(kPlcItems[i].name);
        m_plcItems[size_t(i)].textColor = kPlcItems[i].text;
        m_plcItems[size_t(i)].backColor = kPlcItems[i].back;
    }
    m_link = std::make_unique<linkui::LinkWindow>(
        this, [this](uint32_t msg, uintptr_t wParam, intptr_t lParam, ui::MessageRecord*) {
            return OnLinkMessage(msg, wParam, lParam);
        });
    m_showTimer = new QTimer(this);
    m_showTimer->setSingleShot(true);
    connect(m_showTimer, &QTimer::timeout, this, [this] { ShowTipNow(); });
    m_pollTimer = new QTimer(this);
    m_pollTimer->setSingleShot(true);
    connect(m_pollTimer, &QTimer::timeout, this, [this] {
        if (m_tipState == TipValue)
            SendValueRead();
        else if (m_tipState == TipRegisters)
            SendRegisterRead();
    });
    setMouseTracking(true);
    MapCommand(ID_DEBUG_TOGGLE_BREAKPOINT, [this] { OnToggleBreakpoint(); });
    MapCommand(ID_DEBUG_TOGGLE_MECH_WATCH, [this] { OnToggleMechanismWatch(); });
    MapCommand(ID_VIEW_VARIABLE, [this] { OnVariable(); });
    auto debugging = [this](ui::CmdUI& cmd) {
        CStrandworkDoc* doc = Project();
        cmd.Enable(doc && doc->IsDebugging());
    };
    MapUpdate(ID_DEBUG_TOGGLE_BREAKPOINT, debugging);
    MapUpdate(ID_DEBUG_TOGGLE_MECH_WATCH, debugging);
    MapUpdate(ID_VIEW_VARIABLE, debugging);
}

CPLCView::~CPLCView()
{
    // The register watch of the range goes, and the link forgets the view.
    if (CStrandworkDoc* doc = Project()) {
        COlnkLink& link = doc->Link();
        bool removed = false;
        for (int i = 0; i < m_watchCount; ++i) {
            uint32_t index = 0;
            const compout::ListingLine* l = ListingLineOf(m_watchFirst + i, &index);
            if (l && l->kind == compout::kLineD && link.RemoveWatchRegsOnLine(LinkHandle(), 0, index, 0))
                removed = true;
        }
        if (removed)
            link.CommitWatchRegsOnLine(LinkHandle(), 0);
        link.UnregisterWindow(LinkHandle(), 1);
    }
    m_watchCount = 0;
    QToolTip::hideText();
}

CStrandworkDoc* CPLCView::Project() const
{
    ProjectHost* host = GetProjectHost();
    return host ? host->GetProjectDoc() : nullptr;
}

uint32_t CPLCView::LinkHandle() const { return m_link ? m_link->MessageTarget() : 0; }

bool CPLCView::ColumnInUse() const
{
    CStrandworkDoc* doc = Project();
    if (!doc)
        return false;
    const core::ProjectData& d = doc->Data();
    return plcview::RegisterColumnShown(true, doc->IsDebugging(), d.WatchPLCRegsInSrc, d.Target, d.TarvaneVerMajor,
                                        d.TarvaneVerMinor);
}

bool CPLCView::RegisterFontItems(const QString& category, const QString& displayName, CFontColorPage* registry)
{
    if (!CStructuredTextView::RegisterFontItems(category, displayName, registry))
        return false;
    for (const PlcItemDef& d : kPlcItems)
        if (!registry->AddItem(category, QString::fromLatin1(d.name), LoadResString(d.description), d.text, d.back, 0,
                               0, 0, 0))
            return false;
    return true;
}

void CPLCView::LoadColorItems(CFontColorPage* registry, const FontColorCategory* category)
{
    CStructuredTextView::LoadColorItems(registry, category);
    for (FontColorItem& item : m_plcItems)
        if (const FontColorItem* found = registry->FindItem(category, item.name))
            item = *found;
    if (const FontColorItem* text = registry->FindItem(category, QStringLiteral("Text")))
        m_regFont = registry->CreateItemFont(*text, *category);
}

CPLCView::RegisterBoxes CPLCView::RegisterBoxWidths(const QFont& font, bool hex)
{
    // Each box holds its widest text with its outline and two pixels of
    // room on either side; the digits of a proportional face differ in
    // width, so the widest one counts for every place.
    const QFontMetrics fm(font);
    auto widest = [&fm](QStringView digits) {
        int w = 0;
        for (QChar c : digits)
            w = std::max(w, fm.horizontalAdvance(c));
        return w;
    };
    constexpr int kRoom = 2 * (1 + 2);
    RegisterBoxes b;
    b.rlo = std::max(widest(u"01") + kRoom, fm.horizontalAdvance(QStringLiteral(" 0 ")));
    b.dr = (hex ? fm.horizontalAdvance(QStringLiteral("0x")) + 8 * widest(u"0123456789abcdef")
                : fm.horizontalAdvance(QLatin1Char('-')) + 10 * widest(u"0123456789")) +
           kRoom;
    return b;
}

void CPLCView::UpdateRegisterFont()
{
    int width = 0;
    if (ColumnInUse()) {
        const RegisterBoxes b = RegisterBoxWidths(m_regFont, Project()->Data().DisplayAsHex != 0);
        // One pixel before each box and after the last.
        width = 1 + b.rlo + 1 + b.dr + 1;
    }
    if (width != m_regWidth) {
        m_regWidth = width;
        update();
    }
}

void CPLCView::OnFontColorChange(uint32_t id)
{
    CStructuredTextView::OnFontColorChange(id);
    m_regWidth = -1;
    UpdateRegisterFont();
}

void CPLCView::OnInitialUpdate()
{
    CStructuredTextView::OnInitialUpdate();
    UpdateRegisterFont();
    RegisterWithLink();
    ResetTip();
    UpdateWatchRange();
}

void CPLCView::RegisterWithLink()
{
    CStrandworkDoc* doc = Project();
    if (!doc)
        return;
    if (m_registeredLink && m_registeredLink != &doc->Link())
        m_registeredLink = nullptr;  // a project before this one: its link went with it
    doc->Link().RegisterWindow(LinkHandle(), OLNK_LIST_NOTIFY);
    m_registeredLink = &doc->Link();
}

void CPLCView::OnActivateView(bool activate)
{
    if (activate)
        if (ui::Document* doc = GetDocument())
            for (ui::View* v : doc->Views())
                if (auto* pv = qobject_cast<CPLCView*>(v))
                    pv->m_bActive = (pv == this);
    CStructuredTextView::OnActivateView(activate);
}

int CPLCView::GetMarginWidth() const
{
    CStrandworkDoc* doc = Project();
    const int reg = doc && doc->IsDebugging() ? std::max(0, m_regWidth) : 0;
    return CStructuredTextView::GetMarginWidth() + reg;
}

const compout::ListingLine* CPLCView::ListingLineOf(int line, uint32_t* index) const
{
    CStrandworkDoc* doc = Project();
    ui::Document* own = GetDocument();
    if (!doc || !own || line < 0 || own->GetPathName().isEmpty())
        return nullptr;
    const std::u16string name = ui::LocalFileName(own->GetPathName()).toStdU16String();
    const compout::ListingLine* l = doc->ListingFile().GetLineOfFile(uint32_t(line) + 1, name);
    if (l && index)
        *index = l->sourceFile->firstLine + uint32_t(line);
    return l;
}

void CPLCView::DrawMargin(QPainter& p, const QRect& rect, int line)
{
    const int reg = GetMarginWidth() - CStructuredTextView::GetMarginWidth();
    CStructuredTextView::DrawMargin(p, QRect(rect.left() + reg, rect.top(), rect.width() - reg, rect.height()), line);
    // The register column is cleared on every line: lines without code
    // draw nothing else there.
    if (reg > 0)
        p.fillRect(QRect(rect.left(), rect.top(), reg, rect.height()), GetColor(EDT_CLR_BACKGROUND));
    CStrandworkDoc* doc = Project();
    if (!doc || !doc->IsDebugging() || line < 0)
        return;
    uint32_t index = 0;
    const compout::ListingLine* entry = ListingLineOf(line, &index);
    if (!entry)
        return;
    COlnkLink& link = doc->Link();
    const int right = rect.left() + rect.width();
    const int centre = rect.top() + Renderer().GetLineHeight() / 2;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    auto fillOutline = [&](int item) {
        p.setBrush(C(m_plcItems[size_t(item)].textColor));
        p.setPen(C(m_plcItems[size_t(item)].backColor));
    };
    // Registers of the line's last run.
    if (reg > 0 && entry->kind == compout::kLineD && ColumnInUse()) {
        LineRegsRecord regs{};
        if (link.GetWatchRegsOnLine(index, &regs) >= 0) {
            const FontColorItem& act = m_plcItems[PLCRegsAct];
            const FontColorItem& inact = m_plcItems[PLCRegsInact];
            const QColor back = C(plcview::BlendColor(act.backColor, inact.backColor, regs.activity));
            const QColor text = C(plcview::BlendColor(act.textColor, inact.textColor, regs.activity));
            const bool hex = doc->Data().DisplayAsHex != 0;
            const RegisterBoxes b = RegisterBoxWidths(m_regFont, hex);
            const int h = std::max(4, Renderer().GetLineHeight() - 2);
            const QRect rloBox(rect.left() + 1, rect.top() + 1, b.rlo, h);
            const QRect drBox(rloBox.right() + 2, rect.top() + 1, std::max(b.dr, reg - b.rlo - 3), h);
            p.setFont(m_regFont);
            for (const QRect& box : {rloBox, drBox}) {
                p.setBrush(back);
                p.setPen(text);
                p.drawRoundedRect(box, 2.5, 2.5);
            }
            p.setPen(text);
            p.drawText(rloBox, Qt::AlignCenter, QString::number(regs.rlo));
            p.drawText(drBox, Qt::AlignCenter,
                       hex ? QStringLiteral("0x%1").arg(uint32_t(regs.dr), 8, 16, QLatin1Char('0'))
                           : QString::number(regs.dr));
        }
    }
    // Breakpoint.
    const QRect circle(right - 19, centre - 6, 12, 12);
    if (entry->breakpointState == compout::kBreakpointSet) {
        fillOutline(link.GetBrkState(index) >= 0 ? EnabledBreakpoint : DisabledBreakpoint);
        p.drawEllipse(circle);
    } else if (entry->breakpointState == compout::kBreakpointDisabled) {
        fillOutline(DisabledBreakpoint);
        p.drawEllipse(circle);
    } else if (entry->kind == compout::kLineD) {
        p.fillRect(QRect(right - 13, centre - 1, 2, 2), C(m_plcItems[EnabledBreakpoint].textColor));
    }
    // Mechanism.
    if (const compout::ListingMechanism* mech = entry->mechanism) {
        int item = Mech;
        MechStateRecord state{};
        bool running = false;
        if (mech->state == 1) {
            if (link.GetWatchMechState(mech->selector, mech->address, &state) >= 0) {
                running = state.running != 0;
                item = running ? MechRun : MechWatch;
            } else {
                item = MechErr;
            }
        }
        const QRect mark(right - 4, rect.top(), 4, Renderer().GetLineHeight());
        p.fillRect(mark, C(m_plcItems[size_t(item)].textColor));
        if (running && state.index == index) {
            fillOutline(MechCurrent);
            const QPoint tri[3] = {{right - 6, centre + 5}, {right - 1, centre}, {right - 6, centre - 6}};
            p.drawPolygon(tri, 3);
        }
    }
    // Current line.
    PlcStatusRecord status{};
    if (doc->GetPlcStatus(status) && (status.flags & 0x08) && status.index == index) {
        fillOutline(Current);
        const QPoint arrow[7] = {{right - 20, centre - 3}, {right - 13, centre - 3}, {right - 13, centre - 6},
                                 {right - 7, centre},      {right - 13, centre + 6}, {right - 13, centre + 3},
                                 {right - 20, centre + 3}};
        p.drawPolygon(arrow, 7);
    }
    p.restore();
}

void CPLCView::RepaintMargin() { update(QRect(0, 0, GetMarginWidth(), height())); }

void CPLCView::VisibleLineRange(int& first, int& count)
{
    const int lines = GetLineCount();
    first = std::clamp(ScrollPos().topLine, 0, std::max(0, lines - 1));
    int lastLine = first, sub = 0;
    const int lastSub = std::min(ScrollPos().topSubLine + std::max(1, GetScreenLines()) - 1,
                                 std::max(0, GetSubLineCount() - 1));
    GetLineBySubLineIndex(lastSub, lastLine, sub);
    count = std::min(lastLine - first + 1 + 1, lines - first);
    count = std::max(0, count);
}

void CPLCView::UpdateWatchRange()
{
    m_rangeDue = false;
    CStrandworkDoc* doc = Project();
    if (!doc)
        return;
    COlnkLink& link = doc->Link();
    auto isCode = [this](int line, uint32_t& index) {
        const compout::ListingLine* l = ListingLineOf(line, &index);
        return l && l->kind == compout::kLineD;
    };
    bool changed = false;
    if (!ColumnInUse()) {
        for (int i = 0; i < m_watchCount; ++i) {
            uint32_t index = 0;
            if (isCode(m_watchFirst + i, index)) {
                link.RemoveWatchRegsOnLine(LinkHandle(), 0, index, 0);
                changed = true;
            }
        }
        m_watchCount = 0;
        if (changed)
            link.CommitWatchRegsOnLine(LinkHandle(), 0);
        return;
    }
    int first = 0, count = 0;
    VisibleLineRange(first, count);
    std::vector<int> removed, added;
    plcview::RangeDifference(m_watchFirst, m_watchCount, first, count, removed, added);
    for (int line : removed) {
        uint32_t index = 0;
        if (isCode(line, index)) {
            link.RemoveWatchRegsOnLine(LinkHandle(), 0, index, 0);
            changed = true;
        }
    }
    for (int line : added) {
        uint32_t index = 0;
        if (isCode(line, index)) {
            link.AddWatchRegsOnLine(LinkHandle(), 0, index, 0);
            changed = true;
        }
    }
    m_watchFirst = first;
    m_watchCount = count;
    if (changed)
        link.CommitWatchRegsOnLine(LinkHandle(), 0);
}

void CPLCView::paintEvent(QPaintEvent* e)
{
    CStructuredTextView::paintEvent(e);
    // Scrolling and sizing repaint: the watched range follows.
    const int top = ScrollPos().topSubLine, lines = GetScreenLines();
    if ((top != m_lastTop || lines != m_lastScreenLines) && !m_rangeDue) {
        m_lastTop = top;
        m_lastScreenLines = lines;
        m_rangeDue = true;
        QTimer::singleShot(0, this, [this] {
            if (m_rangeDue)
                UpdateWatchRange();
        });
    }
}

void CPLCView::OnProjectUpdate(ui::View*, long hint, QObject*)
{
    ++m_projectUpdates;
    if (hint == 0 || hint == 6 || hint == 10)
        RegisterWithLink();
    if (hint == 6 || hint == 10) {
        UpdateWatchRange();
        UpdateRegisterFont();
        if (hint == 10 && !(Project() && Project()->IsDebugging()))
            ResetTip();
        update();
        return;
    }
    RepaintMargin();
}

void CPLCView::Output(unsigned id, int status, bool withStatus)
{
    plcviews::OutputText(withStatus ? FormatResString(id, status) : LoadResString(id));
}

void CPLCView::OnToggleBreakpoint()
{
    CStrandworkDoc* doc = Project();
    uint32_t index = 0;
    compout::ListingLine* entry =
        const_cast<compout::ListingLine*>(doc ? ListingLineOf(GetCursorPos().line, &index) : nullptr);
    if (!entry || entry->kind != compout::kLineD) {
        ui::MessageBeep(0);
        return;
    }
    std::vector<uint32_t>& list = doc->Data().Breakpoints;
    const bool set = entry->breakpointState != compout::kBreakpointSet;
    const auto record = plcview::BreakpointRecord(index, set);
    if (!doc->Link().SetBrkAtLine(LinkHandle(), 0, record.data())) {
        // Refused (the control system silent, the link down): nothing
        // changes, and the view shows no breakpoint the control system
        // does not have.
        plcviews::OutputText(plcviews::RefusalLine(IDS_BRK_FAILED));
        return;
    }
    if (set) {
        if (std::find(list.begin(), list.end(), index) == list.end())
            list.push_back(index);
        entry->breakpointState = compout::kBreakpointSet;
    } else {
        list.erase(std::remove(list.begin(), list.end(), index), list.end());
        entry->breakpointState = compout::kBreakpointNone;
    }
    doc->SetModifiedFlag(true);
    if (ProjectHost* host = GetProjectHost())
        host->UpdatePlcViews(nullptr, 11, nullptr);
}

void CPLCView::OnToggleMechanismWatch()
{
    CStrandworkDoc* doc = Project();
    const compout::ListingLine* entry = doc ? ListingLineOf(GetCursorPos().line) : nullptr;
    if (!entry || !entry->mechanism) {
        ui::MessageBeep(0);
        return;
    }
    compout::ListingMechanism& mech = *entry->mechanism;
    auto& names = doc->Data().WatchedMechanisms;
    auto& set = doc->MechanismWatchSet();
    const MechanismWatch pair{mech.address, mech.selector};
    int ok;
    if (mech.state == 1) {
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [&](const std::u16string& n) { return core::EqualsFileNameNoCase(n, mech.name); }),
                    names.end());
        mech.state = 0;
        if (auto it = std::find(set.begin(), set.end(), pair); it != set.end())
            set.erase(it);
        ok = doc->Link().RemoveWatchMech(LinkHandle(), 0, mech.selector, mech.address, 1);
    } else {
        names.push_back(mech.name);
        mech.state = 1;
        set.push_back(pair);
        ok = doc->Link().AddWatchMech(LinkHandle(), 0, mech.selector, mech.address, 1);
    }
    if (!ok)
        plcviews::OutputText(plcviews::RefusalLine(IDS_MECH_FAILED));
    doc->SetModifiedFlag(true);
    RepaintMargin();
}

QString CPLCView::VariableExpression()
{
    if (IsSelection()) {
        EdtPoint start, end;
        GetSelection(start, end);
        if (start.line == end.line && start.line >= 0 && start.line < GetLineCount()) {
            const std::u16string_view text(GetLineChars(start.line), size_t(GetLineLength(start.line)));
            const int from = std::clamp(std::min(start.ch, end.ch), 0, int(text.size()));
            const int to = std::clamp(std::max(start.ch, end.ch), 0, int(text.size()));
            return QString::fromStdU16String(std::u16string(text.substr(size_t(from), size_t(to - from)))).trimmed();
        }
    }
    const EdtPoint caret = GetCursorPos();
    if (caret.line < 0 || caret.line >= GetLineCount())
        return {};
    const std::u16string_view text(GetLineChars(caret.line), size_t(GetLineLength(caret.line)));
    bool negate = false;
    std::u16string word = plcview::WordAt(text, caret.ch, negate);
    if (word.empty() && caret.ch > 0)  // the caret right behind the word
        word = plcview::WordAt(text, caret.ch - 1, negate);
    return QString::fromStdU16String(negate && !word.empty() ? u"-" + word : word);
}

void CPLCView::OnVariable()
{
    CStrandworkDoc* doc = Project();
    if (!doc || !doc->IsDebugging())
        return;
    CInspectDlg dlg(this);
    dlg.Run(doc, VariableExpression());
}

// ------------------------------------------------------------------ link

intptr_t CPLCView::OnLinkMessage(uint32_t msg, uintptr_t, intptr_t lParam)
{
    if (msg == WM_LINK_NOTIFY) {
        if (lParam == 0 || lParam == 4 || lParam == 5)
            RepaintMargin();
    } else if (msg == WM_LINK_RESULT) {
        if (const LinkResultRecord* r = linkui::ResultOf(lParam))
            OnLinkResult(*r);
    }
    return 0;
}

void CPLCView::OnLinkResult(const LinkResultRecord& r)
{
    ProjectHost* host = GetProjectHost();
    switch (r.kind) {
    case 11:
    case 12:
        plcviews::OutputResult(r, IDS_BRK_RESULT, "Set Breakpoint");
        if (host)
            host->UpdatePlcViews(nullptr, 11, nullptr);
        break;
    case 19:
        plcviews::OutputResult(r, IDS_REGS_RESULT, "WatchRegsOnLine");
        if (host)
            host->UpdatePlcViews(nullptr, 14, nullptr);
        break;
    case 21:
        plcviews::OutputResult(r, IDS_MECH_RESULT, "Watch Mechanisms");
        if (host)
            host->UpdatePlcViews(nullptr, 13, nullptr);
        break;
    case 22:
    case 24: {
        if (r.status < 0 || !m_mouseInside || m_tipState != TipValue || r.parameter != m_valueRequest)
            break;
        bool ok;
        if (r.kind == 22) {
            ok = m_symbol.type != plcview::kMechanism &&
                 plcview::ReadVariableReply(r.data, r.dataLength, m_symbol.type, m_symbol.bitNumber, m_negate,
                                            m_value, m_real);
        } else {
            ok = m_symbol.type == plcview::kMechanism &&
                 plcview::ReadMechanismReply(r.data, r.dataLength, m_mechRunning, m_mechIndex);
        }
        if (!ok) {
            m_polling = false;  // a failed read: the tip keeps its text
            break;
        }
        m_valueValid = true;
        RefreshTip();
        SchedulePoll();
        break;
    }
    case 29:
        if (r.status < 0 || !m_mouseInside || m_tipState != TipRegisters || r.parameter != m_regRequest)
            break;
        if (!plcview::ReadRegistersReply(r.data, r.dataLength, m_rlo, m_dr)) {
            m_polling = false;
            break;
        }
        m_regsValid = true;
        RefreshTip();
        SchedulePoll();
        break;
    default:
        break;
    }
}

// ------------------------------------------------------------------- tips

void CPLCView::ResetTip()
{
    m_tipState = TipNone;
    m_tipKey.clear();
    m_valueValid = false;
    m_regsValid = false;
    m_polling = false;
    m_tipText.clear();
    m_pollTimer->stop();
    m_showTimer->stop();
    if (m_tipShown)
        QToolTip::hideText();
    m_tipShown = false;
}

void CPLCView::mouseMoveEvent(QMouseEvent* e)
{
    CStructuredTextView::mouseMoveEvent(e);
    HandleMouseAt(e->position().toPoint());
}

void CPLCView::leaveEvent(QEvent* e)
{
    m_mouseInside = false;
    ResetTip();
    CStructuredTextView::leaveEvent(e);
}

void CPLCView::HandleMouseAt(const QPoint& pos)
{
    m_mouseInside = rect().contains(pos);
    CStrandworkDoc* doc = Project();
    if (!doc || !doc->IsDebugging()) {
        if (m_tipState != TipNone)
            ResetTip();
        return;
    }
    m_tipGlobal = mapToGlobal(pos);
    const EdtPoint at = ClientToText(pos);
    QString key;
    std::u16string word;
    bool negate = false;
    const int regWidth = GetMarginWidth() - CStructuredTextView::GetMarginWidth();
    uint32_t index = 0;
    const int x = pos.x() - Scroller().ClientRect().left();
    if (x >= 0 && x < GetMarginWidth()) {
        const compout::ListingLine* l = ListingLineOf(at.line, &index);
        if (x < regWidth && l && l->kind == compout::kLineD && ColumnInUse())
            key = QStringLiteral("r:%1").arg(index);
    } else if (at.line >= 0 && at.line < GetLineCount()) {
        const std::u16string_view text(GetLineChars(at.line), size_t(GetLineLength(at.line)));
        // The character under the mouse: the one whose cell holds it.
        EdtPoint cell = at;
        const QPoint left = TextToClient(at);
        if (left.x() > pos.x() && cell.ch > 0)
            --cell.ch;
        word = plcview::WordAt(text, cell.ch, negate);
        if (!word.empty())
            key = QStringLiteral("v:%1:%2%3").arg(at.line).arg(negate ? QStringLiteral("-") : QString()).arg(
                QString::fromStdU16String(word));
    }
    if (!key.isEmpty() && key == m_tipKey && m_tipState != TipNone)
        return;  // the tip polls by itself
    ResetTip();
    if (key.isEmpty())
        return;
    if (key.startsWith(QLatin1Char('r'))) {
        m_tipKey = key;
        m_tipState = TipRegisters;
        m_regLine = index;
        ++m_regRequest;
        m_regsValid = false;
        m_tipText = QString::fromStdU16String(plcview::RegisterTipText(0, 0, doc->Data().DisplayAsHex != 0));
        m_polling = true;
        SendRegisterRead();
        m_showTimer->start(kTipDelayMs);
        return;
    }
    compout::SymbolInfo info;
    const std::u16string expr = negate ? u"-" + word : word;
    if (!doc->MapFile().FindSymbol(expr, &info))
        return;
    m_tipKey = key;
    m_symbol = info;
    m_symbolName = word;
    m_negate = negate;
    m_tipState = TipValue;
    ++m_valueRequest;
    m_valueValid = false;
    switch (info.type) {
    case plcview::kOffset:
    case plcview::kConstant:
        m_value = int32_t(info.address);
        m_valueValid = true;
        RefreshTip();
        break;
    default:
        RefreshTip();
        m_polling = true;
        SendValueRead();
        break;
    }
    m_showTimer->start(kTipDelayMs);
}

void CPLCView::SendValueRead()
{
    CStrandworkDoc* doc = Project();
    if (!doc || m_tipState != TipValue || !m_polling)
        return;
    m_lastRead.start();
    int ok;
    if (m_symbol.type == plcview::kMechanism) {
        const auto rec = plcview::ReadMechanismRecord(m_symbol.address, m_symbol.selector);
        ok = doc->Link().GetMech(LinkHandle(), m_valueRequest, rec.data());
    } else {
        const auto rec = plcview::ReadVariableRecord(m_symbol.address, m_symbol.selector,
                                                     plcview::TypeSize(m_symbol.type));
        ok = doc->Link().GetVar(LinkHandle(), m_valueRequest, rec.data());
    }
    if (!ok)
        m_polling = false;
}

void CPLCView::SendRegisterRead()
{
    CStrandworkDoc* doc = Project();
    if (!doc || m_tipState != TipRegisters || !m_polling)
        return;
    m_lastRead.start();
    const auto rec = plcview::ReadLineRegistersRecord(m_regLine);
    if (!doc->Link().GetRegsOnLine(LinkHandle(), m_regRequest, rec.data()))
        m_polling = false;
}

void CPLCView::SchedulePoll()
{
    if (!m_polling)
        return;
    const qint64 elapsed = m_lastRead.isValid() ? m_lastRead.elapsed() : kPollSpacingMs;
    m_pollTimer->start(int(std::max<qint64>(0, kPollSpacingMs - elapsed)));
}

void CPLCView::RefreshTip()
{
    CStrandworkDoc* doc = Project();
    const bool hex = doc && doc->Data().DisplayAsHex != 0;
    if (m_tipState == TipRegisters) {
        if (m_regsValid)
            m_tipText = QString::fromStdU16String(plcview::RegisterTipText(m_rlo, m_dr, hex));
    } else if (m_tipState == TipValue) {
        plcview::ValueTip tip;
        tip.name = m_symbolName;
        tip.type = m_symbol.type;
        tip.valid = m_valueValid;
        tip.value = m_value;
        tip.real = m_real;
        tip.hex = hex;
        tip.running = m_mechRunning;
        if (doc && m_mechRunning) {
            if (const compout::ListingLine* l = doc->ListingFile().GetLine(m_mechIndex); l && l->sourceFile) {
                tip.currentLine = int(m_mechIndex - l->sourceFile->firstLine) + 1;
                // The project's own spelling of the file's name.
                const std::u16string& n = l->sourceFile->name;
                const size_t slash = n.find_last_of(u"\\/");
                tip.currentFile = slash == std::u16string::npos ? n : n.substr(slash + 1);
                for (const core::ProjectFileEntry& e : doc->Data().SourceFiles)
                    if (core::EqualsFileNameNoCase(e.FileName, tip.currentFile))
                        tip.currentFile = e.FileName;
            }
        }
        m_tipText = QString::fromStdU16String(plcview::ValueTipText(tip));
    }
    if (m_tipShown)
        ShowTipNow();
}

void CPLCView::ShowTipNow()
{
    if (m_tipState == TipNone || m_tipText.isEmpty())
        return;
    m_tipShown = true;
    QToolTip::showText(m_tipGlobal, m_tipText, this);
}
