#include "link/ui/FileManagerDlg.h"

#include "link/linkobj/olnk_link_logic.h"
#include "link/ui/ConnectionErrorDlg.h"
#include "link/ui/FileOpDlg.h"
#include "link/ui/FilePanelDlg.h"
#include "platform/sys/Format.h"
#include "platform/sys/NativeText.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"

#include <QDir>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QScreen>
#include <QToolButton>

#include <algorithm>

namespace linkui {

namespace {
constexpr char16_t kCopyQuestion[] = u"Zkopírovat označené soubory/adresáře z %s  do  %s?\r\n Pokud budou v cílovém "
                                     u"umístění existovat soubory stejného jména, budou přepsány!";
constexpr char16_t kMoveQuestion[] = u"Přesunout označené soubory/adresáře z %s  do  %s?\r\n Pokud budou v cílovém "
                                     u"umístění existovat soubory stejného jména, budou přepsány!";
constexpr char16_t kDeleteQuestion[] = u"Smazat označené soubory/adresáře z %s včetně případných podadresářů?";
constexpr char16_t kCopyReport[] = u"Při kopírování soborů došlo k chybám:\r\n\r\n";
constexpr char16_t kMoveReport[] = u"Při přesunu soborů došlo k chybám:\r\n\r\n";
constexpr char16_t kDeleteReport[] = u"Při mazání soborů došlo k chybám:\r\n\r\n";

constexpr unsigned IDS_DELETE_LIST = 4850; // "Položky ke smazání (%d):"
constexpr unsigned IDS_DELETE_MORE = 4851; // "... a další (%d)"
// The names the delete question lists; the rest are counted.
constexpr size_t kListedNames = 10;
// The longest name the question shows whole: a longer one is shortened, so
// the question never grows so wide or tall that its last lines are lost.
constexpr size_t kListedNameChars = 60;

// The entries the delete question names (as the lists show them: a control
// character as "?", a byte that is no UTF-8 marked), one a line.
std::u16string DeleteList(const std::vector<std::u16string>& shown)
{
    std::u16string out = u"\r\n\r\n" + FormatResString(IDS_DELETE_LIST, int(shown.size())).toStdU16String();
    const size_t listed = std::min(shown.size(), kListedNames);
    for (size_t i = 0; i < listed; ++i)
        out += u"\r\n" + ShortenedName(shown[i], kListedNameChars);
    if (shown.size() > listed)
        out += u"\r\n" + FormatResString(IDS_DELETE_MORE, int(shown.size() - listed)).toStdU16String();
    return out;
}

QIcon Icon(int id) { return QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(id))); }

void AppendLine(std::u16string_view line, void* report) { static_cast<std::u16string*>(report)->append(line); }
void IgnoreLine(std::u16string_view, void*) {}
} // namespace

std::u16string HomeFolder()
{
    QString home = QDir::homePath();
    if (!home.endsWith(u'/'))
        home += u'/';
    return home.toStdU16String();
}

// ----------------------------------------------------------------- splitter

CFileManagerSplitter::CFileManagerSplitter(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::SizeHorCursor);
}

void CFileManagerSplitter::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_start = m_offset = int(e->position().x());
    m_frame = geometry();
    m_maxLeft = m_maxRight = 0;
    if (m_owner)
        m_owner->GetLimits(m_maxLeft, m_maxRight);
    if (!m_band)
        m_band = new QRubberBand(QRubberBand::Rectangle, parentWidget());
    m_band->setGeometry(m_frame);
    m_band->show();
    grabMouse();
}

void CFileManagerSplitter::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_dragging)
        return;
    const int x = m_start + ClampDrag(int(e->position().x()) - m_start, m_maxLeft, m_maxRight);
    m_frame.translate(x - m_offset, 0);
    m_offset = x;
    if (m_band)
        m_band->setGeometry(m_frame);
}

void CFileManagerSplitter::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_dragging || e->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    if (m_band)
        m_band->hide();
    releaseMouse();
    const int offset = ClampDrag(int(e->position().x()) - m_start, m_maxLeft, m_maxRight);
    if (m_owner)
        m_owner->MoveSplitter(offset);
}

void CFileManagerSplitter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::Mid));
    const int x = width() / 2;
    p.drawLine(x, 0, x, height());
}

// ------------------------------------------------------------------ manager

CFileManagerDlg::CFileManagerDlg(QWidget* parent) : CFileManagerDlg(nullptr, parent) {}

CFileManagerDlg::CFileManagerDlg(IOxfrC* link, QWidget* parent) : ui::Dialog(IDD, parent), m_link(link)
{
    setWindowIcon(Icon(11017));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setSizeGripEnabled(true);
}

CFileManagerDlg::~CFileManagerDlg() = default;

bool CFileManagerDlg::Create(IOxfrC* link, const char16_t* left, const char16_t* right, QWidget* parent)
{
    if (!IsLoaded())
        return false;
    m_link = link;
    m_leftStart = left ? left : HomeFolder();
    m_rightStart = right ? right : u"\\";
    m_haveStarts = true;
    setParent(parent, windowFlags() | Qt::Window);
    if (!OnInitDialog())
        return false;
    show();
    return true;
}

bool CFileManagerDlg::OnInitDialog()
{
    if (m_left)
        return true; // already set up
    if (!m_haveStarts) {
        m_leftStart = HomeFolder();
        m_rightStart = u"\\";
    }
    m_toolbar = GetDlgItem(IDC_TOOLBAR);
    QWidget* placeholder = GetDlgItem(IDC_SPLITTER);
    if (!m_toolbar || !placeholder)
        return false;
    m_client = m_toolbar->parentWidget();
    const struct
    {
        int id, icon;
        void (CFileManagerDlg::*handler)();
    } commands[] = {{ID_COPY, 11013, &CFileManagerDlg::OnCopy},
                    {ID_MOVE, 11014, &CFileManagerDlg::OnMove},
                    {ID_DELETE, 11015, &CFileManagerDlg::OnDelete},
                    {ID_CREATEDIR, 11016, &CFileManagerDlg::OnCreateDir}};
    for (const auto& c : commands) {
        if (auto* b = Item<QToolButton>(c.id)) {
            b->setIcon(Icon(c.icon));
            b->setToolButtonStyle(Qt::ToolButtonIconOnly);
            b->setIconSize(QSize(16, 16));
            connect(b, &QToolButton::clicked, this, [this, h = c.handler] { (this->*h)(); });
        }
    }
    m_splitter = new CFileManagerSplitter(m_client);
    m_splitter->setObjectName(QStringLiteral("c%1").arg(IDC_SPLITTER));
    m_splitter->setGeometry(placeholder->geometry());
    placeholder->setObjectName(QString());
    placeholder->hide();
    m_splitter->SetOwner(this);

    m_left = new CFilePanelDlg;
    m_left->SetControlId(0);
    m_left->setObjectName(QStringLiteral("pane0"));
    m_right = new CFilePanelDlg;
    m_right->SetControlId(1);
    m_right->setObjectName(QStringLiteral("pane1"));
    for (CFilePanelDlg* p : {m_left, m_right})
        connect(p, &CFilePanelDlg::focusNotified, this, [this](int id) { SetActivePane(id); });
    m_left->Create(m_link, m_leftStart, u"*.*", m_client);
    m_right->Create(m_link, m_rightStart, u"*.*", m_client);
    setTabOrder(m_toolbar, m_left);
    setTabOrder(m_left, m_right);
    SetActivePane(0);
    m_client->installEventFilter(this);
    FitColumnsAtDefaultSize();
    RecalcLayout();
    m_splitter->raise();
    return ui::Dialog::OnInitDialog();
}

void CFileManagerDlg::FitColumnsAtDefaultSize()
{
    // Wide enough that both panes show every column whole (the columns
    // follow the font), as far as the screen allows; never narrower than
    // the form.
    const int margin = m_toolbar->x();
    const int clientNeeded = 2 * margin + m_splitter->width() + 2 * m_left->DetailsWidthNeeded();
    const int extra = clientNeeded - m_client->width();
    if (extra <= 0)
        return;
    int wanted = width() + extra;
    if (const QScreen* screen = this->screen())
        wanted = std::min(wanted, screen->availableGeometry().width());
    if (wanted > width())
        resize(wanted, height());
}

void CFileManagerDlg::SetActivePane(int id)
{
    m_activeLeft = id == 0;
    if (m_left)
        m_left->SetActive(m_activeLeft);
    if (m_right)
        m_right->SetActive(!m_activeLeft);
}

CFilePanelDlg* CFileManagerDlg::Active() const { return m_activeLeft ? m_left : m_right; }
CFilePanelDlg* CFileManagerDlg::Other() const { return m_activeLeft ? m_right : m_left; }

void CFileManagerDlg::RecalcLayout()
{
    if (!m_client || !m_left)
        return;
    const ManagerLayout l =
        ComputeManagerLayout(m_client->rect(), m_toolbar->geometry(), m_splitter->width(), m_ratio);
    m_toolbar->setGeometry(l.toolbar);
    m_left->setGeometry(l.left);
    m_right->setGeometry(l.right);
    m_splitter->setGeometry(l.splitter);
}

void CFileManagerDlg::RefreshPanels()
{
    if (m_left)
        m_left->Refresh();
    if (m_right)
        m_right->Refresh();
}

void CFileManagerDlg::GetLimits(int& left, int& right)
{
    left = m_left ? m_left->width() : 0;
    right = m_right ? m_right->width() : 0;
}

void CFileManagerDlg::MoveSplitter(int offset)
{
    if (!m_left || !m_right)
        return;
    const int lw = m_left->width(), rw = m_right->width();
    offset = ClampDrag(offset, lw, rw);
    m_ratio = RatioAfterMove(lw, rw, offset, m_ratio);
    QRect l = m_left->geometry(), r = m_right->geometry(), s = m_splitter->geometry();
    l.setWidth(lw + offset);
    r.setLeft(r.left() + offset);
    s.translate(offset, 0);
    m_left->setGeometry(l);
    m_right->setGeometry(r);
    m_splitter->setGeometry(s);
}

bool CFileManagerDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        RecalcLayout();
    return ui::Dialog::eventFilter(watched, event);
}

void CFileManagerDlg::OnCopy() { Transfer(ID_COPY); }
void CFileManagerDlg::OnMove() { Transfer(ID_MOVE); }
void CFileManagerDlg::OnDelete() { Transfer(ID_DELETE); }

void CFileManagerDlg::Transfer(int op)
{
    CFilePanelDlg* source = Active();
    CFilePanelDlg* target = Other();
    if (!source || !target)
        return;
    const auto records = source->SelectedRecords();
    if (records.empty())
        return;
    // "." and ".." are never copied, moved or deleted: not named, not
    // counted, not handed on.
    std::vector<std::u16string> names, shown;
    names.reserve(records.size());
    for (const auto& r : records) {
        std::u16string name = NameOf(r);
        if (name == u"." || name == u"..")
            continue;
        names.push_back(std::move(name));
        shown.push_back(ShownName(r));
    }
    if (names.empty())
        return;
    const std::u16string& from = source->GetPath();
    const std::u16string& to = target->GetPath();
    const std::u16string shownFrom = sys::ShownNativeText(from), shownTo = sys::ShownNativeText(to);
    std::u16string question, caption, report;
    switch (op) {
    case ID_COPY:
        question = sys::Format(kCopyQuestion, shownFrom, shownTo);
        caption = u"Kopírovat?";
        report = kCopyReport;
        break;
    case ID_MOVE:
        question = sys::Format(kMoveQuestion, shownFrom, shownTo);
        caption = u"Přesouvat?";
        report = kMoveReport;
        break;
    default:
        question = sys::Format(kDeleteQuestion, shownFrom) + DeleteList(shown);
        caption = u"Smazat?";
        report = kDeleteReport;
        break;
    }
    if (ui::Prompt(QString::fromStdU16String(question), QString::fromStdU16String(caption),
                   ui::MB_YESNO | ui::MB_ICONQUESTION, this) != ui::IDYES)
        return;
    CFileOpDlg dlg(this);
    bool ok = false;
    const int count = int(names.size());
    if (op == ID_COPY)
        ok = dlg.Copy(m_link, from, to, names.data(), nullptr, count, &report, &AppendLine);
    else if (op == ID_MOVE)
        ok = dlg.Move(m_link, from, to, names.data(), nullptr, count, &report, &AppendLine);
    else
        ok = dlg.Delete(m_link, from, names.data(), count, &report, &AppendLine);
    if (ok) {
        if (op == ID_COPY)
            source->ClearSelection();
    } else {
        ui::Prompt(QString::fromStdU16String(report), {}, ui::MB_ICONERROR, this);
    }
    if (op == ID_COPY || op == ID_MOVE)
        target->Refresh();
    if (op == ID_MOVE || op == ID_DELETE)
        source->Refresh();
}

void CFileManagerDlg::OnCreateDir()
{
    CFilePanelDlg* pane = Active();
    if (!pane)
        return;
    QString name;
    if (PromptForText(name, QStringLiteral("Zadejte jméno nového adresáře:"), QStringLiteral("Vytvořit adresář")) !=
        ui::IDOK)
        return;
    // A name that would climb out of the folder, name a path, or not reach
    // the control system as typed is refused before anything is sent.
    const std::u16string typed = name.toStdU16String();
    if (const unsigned why = NewFolderNameProblem(typed, IsRemotePath(pane->GetPath()))) {
        ui::Prompt(FormatResString(why, ShortenedName(linkobj::VisibleRemoteName(typed), kListedNameChars)), {},
                   ui::MB_ICONERROR, this);
        return;
    }
    const std::u16string path = pane->GetPath() + typed;
    CFileOpDlg dlg(this);
    if (!dlg.CreateDir(m_link, path, nullptr, &IgnoreLine))
        ui::Prompt(QString::fromStdU16String(sys::Format(u"Adresář %s se nepodařilo vytvořit!", sys::ShownNativeText(path))), {},
                   ui::MB_ICONERROR, this);
    pane->Refresh();
}

} // namespace linkui
