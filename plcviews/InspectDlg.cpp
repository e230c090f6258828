#include "plcviews/InspectDlg.h"

#include "projectui/StrandworkDoc.h"
#include "editor/dialogs/HistoryCombo.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "plcviews/InspectLogic.h"
#include "plcviews/LinkNotices.h"
#include "plcviews/PlcViewLogic.h"
#include "res/StringTable.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include <algorithm>

namespace {
constexpr unsigned IDS_REFUSED = 4007;
constexpr unsigned IDS_READ_FAILED = 4021;   // "\"Chyba %d\""
constexpr unsigned IDS_WRITE_FAILED = 4022;
constexpr unsigned IDS_MECH_LINE = 4023;     // "%s - ř.%d, %s"
constexpr unsigned IDS_RUNNING = 4024, IDS_STOPPED = 4025;
constexpr unsigned IDS_MECH_FAILED = 4026;
constexpr unsigned IDS_WRITE_FATE_UNKNOWN = 4921;
constexpr unsigned IDS_MECH_FATE_UNKNOWN = 4922;
constexpr unsigned IDS_WRITE_BEYOND_VARIABLE = 4990; // "... %d bajtů ... nebyla odeslána."
constexpr int kPollSpacingMs = 100;

unsigned TypeNameId(uint32_t type)
{
    switch (type) {
    case plcview::kByte: return 4014;
    case plcview::kWord: return 4015;
    case plcview::kDWord: return 4016;
    case plcview::kQWord: return 4450;
    case plcview::kReal: return 4451;
    case plcview::kMechanism: return 4017;
    case plcview::kBit: return 4018;
    case plcview::kOffset: return 4019;
    case plcview::kConstant: return 4020;
    default: return 0;
    }
}

bool IsVariable(uint32_t type) { return type <= plcview::kReal || type == plcview::kBit; }
} // namespace

// ------------------------------------------------------------------ CNumEdit

CNumEdit::CNumEdit(QWidget* parent) : QLineEdit(parent)
{
    // The field shows a bit; typing never edits it.
    setReadOnly(true);
}

void CNumEdit::keyPressEvent(QKeyEvent* e)
{
    const QString t = e->text();
    if (t.size() == 1 && t[0].isPrint() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        if (t == QLatin1String("1"))
            emit notified(0);
        else if (t == QLatin1String("0"))
            emit notified(1);
        else if (t == QLatin1String(" "))
            emit notified(2);
        e->accept();  // nothing is inserted; other characters are ignored
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void CNumEdit::inputMethodEvent(QInputMethodEvent* e) { e->accept(); }

void plcviews::RegisterFormControls()
{
    ui::RegisterFormWidget(QStringLiteral("CHistoryCombo"), [](QWidget* parent) { return new CHistoryCombo(parent); });
    ui::RegisterFormWidget(QStringLiteral("CNumEdit"), [](QWidget* parent) { return new CNumEdit(parent); });
}

// --------------------------------------------------------------- CInspectDlg

CInspectDlg::CInspectDlg(QWidget* parent) : CModalDialogBase((plcviews::RegisterFormControls(), IDD), parent)
{
    m_link = std::make_unique<linkui::LinkWindow>(
        this, [this](uint32_t msg, uintptr_t, intptr_t lParam, ui::MessageRecord*) { return OnMessage(msg, lParam); });
    m_pollTimer = new QTimer(this);
    m_pollTimer->setSingleShot(true);
    connect(m_pollTimer, &QTimer::timeout, this, [this] {
        if (!m_polling || m_closing)
            return;
        if (!SendRead()) {
            // A refused re-send ends the polling; the value field says so.
            m_polling = false;
            SetText(IDC_DECIMAL, LoadResString(IDS_REFUSED));
        }
    });
    m_expression = Item<CHistoryCombo>(IDC_EXPRESSION);
    m_newValue = Item<CHistoryCombo>(IDC_NEWVALUE);
    auto button = [this](int id, void (CInspectDlg::*fn)()) {
        if (auto* b = Item<QAbstractButton>(id))
            connect(b, &QAbstractButton::clicked, this, [this, fn] { (this->*fn)(); });
    };
    button(IDC_REFRESH, &CInspectDlg::OnRefresh);
    button(IDC_SET, &CInspectDlg::OnSetValue);
    button(IDC_INVERT, &CInspectDlg::OnInvert);
    button(IDC_START, &CInspectDlg::OnStartWatch);
    button(IDC_STOP, &CInspectDlg::OnStopWatch);
    if (m_expression) {
        connect(m_expression, qOverload<int>(&QComboBox::activated), this, [this] { PostCommand(IDC_REFRESH); });
        if (QLineEdit* e = m_expression->lineEdit()) {
            connect(e, &QLineEdit::textEdited, this, [this] { m_expressionEdited = true; });
            connect(e, &QLineEdit::returnPressed, this, [this] { OnRefresh(); });
        }
        m_expression->installEventFilter(this);
    }
    if (m_newValue && m_newValue->lineEdit())
        connect(m_newValue->lineEdit(), &QLineEdit::returnPressed, this, [this] { OnSetValue(); });
    for (int k = 0; k < 8; ++k)
        if (auto* bit = Item<CNumEdit>(IDC_BIT0 + k))
            connect(bit, &CNumEdit::notified, this, [this, k](int code) { OnBitNotify(k, code); });
}

CInspectDlg::~CInspectDlg() { m_closing = true; }

uint32_t CInspectDlg::LinkHandle() const { return m_link ? m_link->MessageTarget() : 0; }

bool CInspectDlg::eventFilter(QObject* o, QEvent* e)
{
    // Leaving the expression after editing it refreshes.
    if (o == m_expression && e->type() == QEvent::FocusOut && m_expressionEdited && InModalState() &&
        static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason)
        OnRefresh();
    return CModalDialogBase::eventFilter(o, e);
}

int CInspectDlg::Run(CStrandworkDoc* doc, const QString& expression)
{
    m_doc = doc;
    m_closing = false;
    if (!doc || BeginModal() != 1)
        return 0;
    if (m_expression)
        m_expression->setEditText(expression);
    InitContents();
    RunModal();
    m_closing = true;
    m_pollTimer->stop();
    return EndModal();
}

void CInspectDlg::InitContents()
{
    if (m_expression) {
        m_expression->SetHistoryName(QStringLiteral("Inspect"));
        m_expression->FillFromHistory();
    }
    if (m_newValue) {
        m_newValue->SetHistoryName(QStringLiteral("InspectNewValue"));
        m_newValue->FillFromHistory();
    }
    OnRefresh();
}

void CInspectDlg::OnCommand(int id)
{
    if (id == IDC_REFRESH)
        OnRefresh();
}

void CInspectDlg::SetText(int id, const QString& text)
{
    if (QWidget* w = GetDlgItem(id)) {
        if (auto* l = qobject_cast<QLabel*>(w))
            l->setText(text);
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setText(text);
    }
}

void CInspectDlg::Message(const QString& text) { ui::Prompt(text, {}, ui::MB_OK | ui::MB_ICONEXCLAMATION, this); }

void CInspectDlg::ClearFields()
{
    for (int id = IDC_TYPE; id <= IDC_BIT0 + 7; ++id)
        SetText(id, QString());
    for (int id : {int(IDC_SET), int(IDC_INVERT), int(IDC_START), int(IDC_STOP)})
        if (QWidget* w = GetDlgItem(id))
            w->setEnabled(false);
    for (int k = 0; k < 8; ++k)
        if (QWidget* w = GetDlgItem(IDC_BIT0 + k))
            w->setEnabled(false);
}

void CInspectDlg::FillStatics()
{
    const uint32_t type = m_symbol.type;
    if (const unsigned id = TypeNameId(type))
        SetText(IDC_TYPE, LoadResString(id));
    if (type != plcview::kOffset && type != plcview::kConstant) {
        SetText(IDC_AREA, QString::number(m_symbol.selector));
        SetText(IDC_ADDRESS, QStringLiteral("0x%1").arg(m_symbol.address, 0, 16));
    }
    if (type == plcview::kBit)
        SetText(IDC_BITNUMBER, QStringLiteral("b %1").arg(m_symbol.bitNumber));
    if (type == plcview::kByte)
        for (int k = 0; k < 8; ++k) {
            const compout::MapEntry* named = m_symbol.bitSlots[size_t(k)];
            SetText(IDC_BITLABEL0 + k, named ? QString::fromStdU16String(named->name)
                                             : QStringLiteral("%1 %2").arg(m_name).arg(k));
            if (QWidget* w = GetDlgItem(IDC_BIT0 + k))
                w->setEnabled(true);
        }
    if (type == plcview::kOffset || type == plcview::kConstant) {
        // Their value is their own: nothing to read.
        const int32_t v = int32_t(m_symbol.address);
        SetText(IDC_DECIMAL, QString::number(v));
        SetText(IDC_HEX, QStringLiteral("0x%1").arg(uint32_t(v), 0, 16));
    }
    auto enable = [this](int id, bool on) {
        if (QWidget* w = GetDlgItem(id))
            w->setEnabled(on);
    };
    enable(IDC_SET, IsVariable(type));
    enable(IDC_INVERT, type == plcview::kBit);
    enable(IDC_START, type == plcview::kMechanism);
    enable(IDC_STOP, type == plcview::kMechanism);
}

void CInspectDlg::OnRefresh()
{
    m_expressionEdited = false;
    const QString expr = m_expression ? m_expression->currentText() : QString();
    if (m_expression) {
        m_expression->AddToHistory(expr);
        m_expression->setEditText(expr);
    }
    ++m_requestId;  // replies to earlier reads no longer count
    m_polling = false;
    m_pollTimer->stop();
    m_valueValid = false;
    ClearFields();
    compout::SymbolInfo info;
    m_valid = m_doc && !expr.trimmed().isEmpty() && m_doc->MapFile().FindSymbol(expr.trimmed().toStdU16String(), &info);
    if (!m_valid)
        return;
    m_symbol = info;
    m_name = expr.trimmed();
    FillStatics();
    if (IsVariable(m_symbol.type) || m_symbol.type == plcview::kMechanism) {
        if (SendRead())
            m_polling = true;
        else
            Message(LoadResString(IDS_REFUSED));
    }
}

bool CInspectDlg::SendRead()
{
    if (!m_doc || !m_valid)
        return false;
    COlnkLink& link = m_doc->Link();
    int ok;
    if (m_symbol.type == plcview::kMechanism) {
        const auto rec = plcview::ReadMechanismRecord(m_symbol.address, m_symbol.selector);
        ok = link.GetMech(LinkHandle(), m_requestId, rec.data());
    } else {
        const auto rec =
            plcview::ReadVariableRecord(m_symbol.address, m_symbol.selector, plcview::TypeSize(m_symbol.type));
        ok = link.GetVar(LinkHandle(), m_requestId, rec.data());
    }
    m_lastRead.start();
    if (ok)
        ++m_outstanding;
    return ok != 0;
}

void CInspectDlg::ReadBack()
{
    // A read already polling answers once the link is up again.
    if (m_polling || m_closing || !m_valid || !(IsVariable(m_symbol.type) || m_symbol.type == plcview::kMechanism))
        return;
    if (SendRead())
        m_polling = true;
}

void CInspectDlg::SchedulePoll()
{
    if (!m_polling || m_closing)
        return;
    // The next read goes no earlier than 100 ms after the previous one.
    const qint64 elapsed = m_lastRead.isValid() ? m_lastRead.elapsed() : kPollSpacingMs;
    m_pollTimer->start(int(std::max<qint64>(0, kPollSpacingMs - elapsed)));
}

intptr_t CInspectDlg::OnMessage(uint32_t msg, intptr_t lParam)
{
    if (msg == WM_LINK_RESULT)
        if (const LinkResultRecord* r = linkui::ResultOf(lParam))
            OnLinkResult(*r);
    return 0;
}

void CInspectDlg::ShowReadFailure(int status)
{
    m_valueValid = false;
    SetText(IDC_DECIMAL, FormatResString(IDS_READ_FAILED, status));
    SetText(IDC_HEX, QString());
    if (m_symbol.type == plcview::kByte)
        for (int k = 0; k < 8; ++k)
            SetText(IDC_BIT0 + k, QString());
}

void CInspectDlg::ShowValue()
{
    const uint32_t type = m_symbol.type;
    SetText(IDC_DECIMAL, QString::fromStdU16String(inspect::DecimalText(type, m_value, m_real)));
    SetText(IDC_HEX, QString::fromStdU16String(inspect::HexText(type, m_value, m_real)));
    if (type == plcview::kByte)
        for (int k = 0; k < 8; ++k)
            SetText(IDC_BIT0 + k, QString::fromStdU16String(inspect::BitText(m_value, k)));
}

void CInspectDlg::OnLinkResult(const LinkResultRecord& r)
{
    if (m_closing)
        return;
    switch (r.kind) {
    case 22:
    case 24: {
        m_outstanding = std::max(0, m_outstanding - 1);
        const bool mech = r.kind == 24;
        if (!m_valid || r.parameter != m_requestId || mech != (m_symbol.type == plcview::kMechanism))
            return;  // an older read, or one of another symbol
        if (r.status < 0) {
            ShowReadFailure(r.status);
        } else if (!mech) {
            if (plcview::ReadVariableReply(r.data, r.dataLength, m_symbol.type, m_symbol.bitNumber, false, m_value,
                                           m_real)) {
                m_valueValid = true;
                ShowValue();
            } else {
                ShowReadFailure(-1);  // a reply shorter than its value
            }
        } else {
            bool running = false;
            uint32_t index = 0;
            if (!plcview::ReadMechanismReply(r.data, r.dataLength, running, index)) {
                m_valueValid = false;
                SetText(IDC_STATE, FormatResString(IDS_READ_FAILED, -1));
            } else {
                m_valueValid = true;
                const QString state = LoadResString(running ? IDS_RUNNING : IDS_STOPPED);
                const compout::ListingLine* line =
                    running && index ? m_doc->ListingFile().GetLine(index) : nullptr;
                if (line && line->sourceFile && index >= line->sourceFile->firstLine)
                    SetText(IDC_STATE, FormatResString(IDS_MECH_LINE, state,
                                                       int(index - line->sourceFile->firstLine + 1),
                                                       line->sourceFile->name));
                else
                    SetText(IDC_STATE, state);
            }
        }
        SchedulePoll();
        break;
    }
    case 23:
    case 28:
    case 25:
        if (r.status >= 0)
            break;
        if (plcviews::FateUnknown(r)) {
            // Sent, and no answer came: the control system may have
            // carried it out.  The window shows what it holds once the link
            // answers again.
            ReadBack();
            Message(LoadResString(r.kind == 25 ? IDS_MECH_FATE_UNKNOWN : IDS_WRITE_FATE_UNKNOWN));
        } else {
            Message(FormatResString(r.kind == 25 ? IDS_MECH_FAILED : IDS_WRITE_FAILED, int(r.status)));
        }
        break;
    default: break;
    }
}

bool CInspectDlg::WriteBits(uint8_t values, uint8_t mask)
{
    const auto rec = inspect::WriteBitsRecord(m_symbol.address, m_symbol.selector, values, mask);
    return m_doc->Link().SetVarBits(LinkHandle(), 0, rec.data()) != 0;
}

void CInspectDlg::OnSetValue()
{
    const QString text = m_newValue ? m_newValue->currentText() : QString();
    if (m_newValue) {
        m_newValue->AddToHistory(text);
        m_newValue->setEditText(text);
    }
    if (!m_valid || !m_doc || !IsVariable(m_symbol.type)) {
        ui::MessageBeep(0);
        return;
    }
    inspect::NewValue v;
    if (!inspect::ParseNewValue(m_symbol.type, text.toStdU16String(), v)) {
        Message(LoadResString(inspect::InvalidValueMessage(m_symbol.type)));
        return;
    }
    bool ok;
    if (m_symbol.type == plcview::kBit) {
        const uint8_t mask = uint8_t(1u << (m_symbol.bitNumber & 7));
        ok = WriteBits(v.bits ? mask : 0, mask);
    } else {
        // The program writes a type's full size; a map that gives the
        // variable less room would have the write change its neighbour.
        const uint16_t size = plcview::TypeSize(m_symbol.type);
        if (!inspect::WriteStaysInVariable(m_doc->MapFile(), m_symbol.selector, m_symbol.address, size)) {
            Message(FormatResString(IDS_WRITE_BEYOND_VARIABLE, int(size)));
            return;
        }
        const auto rec = inspect::WriteVariableRecord(m_symbol.address, m_symbol.selector, size, v.bits);
        ok = m_doc->Link().SetVar(LinkHandle(), 0, rec.data()) != 0;
    }
    if (!ok)
        Message(plcviews::RefusalText(IDS_REFUSED));
}

void CInspectDlg::OnInvert()
{
    // Only a Bit whose current value is known.
    if (!m_valid || !m_doc || m_symbol.type != plcview::kBit || !m_valueValid) {
        ui::MessageBeep(0);
        return;
    }
    const uint8_t mask = uint8_t(1u << (m_symbol.bitNumber & 7));
    if (!WriteBits(m_value ? 0 : mask, mask))
        Message(plcviews::RefusalText(IDS_REFUSED));
}

void CInspectDlg::OnBitNotify(int bit, int code)
{
    if (!m_valid || !m_doc || m_symbol.type != plcview::kByte || bit < 0 || bit > 7) {
        ui::MessageBeep(0);
        return;
    }
    const uint8_t mask = uint8_t(1u << bit);
    uint8_t values;
    if (code == 0)
        values = mask;
    else if (code == 1)
        values = 0;
    else {
        if (!m_valueValid) {  // a toggle needs the current value
            ui::MessageBeep(0);
            return;
        }
        values = (m_value >> bit) & 1 ? 0 : mask;
    }
    if (!WriteBits(values, mask))
        Message(plcviews::RefusalText(IDS_REFUSED));
}

void CInspectDlg::SetMechanism(bool run)
{
    if (!m_valid || !m_doc || m_symbol.type != plcview::kMechanism) {
        ui::MessageBeep(0);
        return;
    }
    const auto rec = inspect::SetMechanismRecord(m_symbol.address, m_symbol.selector, run);
    if (!m_doc->Link().SetMech(LinkHandle(), 0, rec.data()))
        Message(plcviews::RefusalText(IDS_REFUSED));
}

void CInspectDlg::OnOK()
{
    m_closing = true;
    m_pollTimer->stop();
    CModalDialogBase::OnOK();
}

void CInspectDlg::OnCancel()
{
    m_closing = true;
    m_pollTimer->stop();
    CModalDialogBase::OnCancel();
}
