// The helpers of the window-test support (see UiTest.h and docs/testing.md).
#include "tests/support/ui/UiTest.h"

#include "platform/ui/Prompt.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTimer>
#include <QWindow>
#include <QtTest/QTest>

#include <cstdlib>
#include <deque>
#include <memory>
#include <sstream>

namespace testsupport::ui {

// ---- fonts -------------------------------------------------------------

QFont FixedFont()
{
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPointSize(QApplication::font().pointSize() > 0 ? QApplication::font().pointSize() : 9);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

// ---- finding and input -----------------------------------------------------

namespace detail {

QString Describe(const QWidget* w)
{
    if (!w)
        return QStringLiteral("(none)");
    QString s = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        s += QStringLiteral(" named \"%1\"").arg(w->objectName());
    if (w->isWindow() && !w->windowTitle().isEmpty())
        s += QStringLiteral(" titled \"%1\"").arg(w->windowTitle());
    return s;
}

void ReportMissingChild(QWidget* root, const QString& id, const char* className)
{
    ADD_FAILURE() << "no " << className << " named \"" << id.toStdString() << "\" in "
                  << Describe(root).toStdString();
}

} // namespace detail

void Click(QWidget* w, QPoint pos, Qt::MouseButton b, Qt::KeyboardModifiers m)
{
    QTest::mouseClick(w, b, m, pos.isNull() ? w->rect().center() : pos);
}

void DoubleClick(QWidget* w, QPoint pos, Qt::MouseButton b, Qt::KeyboardModifiers m)
{
    QTest::mouseDClick(w, b, m, pos.isNull() ? w->rect().center() : pos);
}

void Drag(QWidget* w, QPoint from, QPoint to, Qt::MouseButton b, Qt::KeyboardModifiers m)
{
    QTest::mousePress(w, b, m, from);
    // Moves with the button held (QTest's moves carry no buttons).
    for (int step = 1; step <= 4; ++step) {
        const QPointF p = QPointF(from) + QPointF(to - from) * step / 4.0;
        QMouseEvent move(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, b, m);
        QApplication::sendEvent(w, &move);
    }
    QTest::mouseRelease(w, b, m, to);
}

void TypeText(QWidget* w, const QString& text) { QTest::keyClicks(w, text); }

void PressKey(QWidget* w, Qt::Key key, Qt::KeyboardModifiers m) { QTest::keyClick(w, key, m); }

namespace {
QString KeyText(Qt::Key key, Qt::KeyboardModifiers m)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QChar((m & Qt::ShiftModifier ? 'A' : 'a') + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QChar('0' + (key - Qt::Key_0));
    switch (key) {
    case Qt::Key_Space: return QStringLiteral(" ");
    case Qt::Key_Return:
    case Qt::Key_Enter: return QStringLiteral("\r");
    case Qt::Key_Escape: return QStringLiteral("\x1b");
    default: return {};
    }
}
} // namespace

namespace {
// Posts the presses and releases of a key with the modifiers to the focus
// window and waits until they were handled.
void PostKeyEvents(int key, Qt::KeyboardModifiers m, const QString& text, uint32_t scanCode,
                   uint32_t keysym)
{
    QWindow* target = QGuiApplication::focusWindow();
    if (!target && QApplication::activeWindow())
        target = QApplication::activeWindow()->windowHandle();
    if (!target) {
        ADD_FAILURE() << "PostKey: no window has the focus";
        return;
    }
    const std::pair<Qt::KeyboardModifier, Qt::Key> modifiers[] = {
        {Qt::ShiftModifier, Qt::Key_Shift}, {Qt::ControlModifier, Qt::Key_Control}, {Qt::AltModifier, Qt::Key_Alt}};
    auto post = [target](QEvent::Type type, int k, Qt::KeyboardModifiers held, const QString& t,
                         uint32_t scan, uint32_t sym) {
        QCoreApplication::postEvent(
            target, new QKeyEvent(type, k, held, scan, sym, NativeModifiers(held), t));
    };
    Qt::KeyboardModifiers held;
    for (const auto& [mod, k] : modifiers)
        if (m & mod)
            post(QEvent::KeyPress, k, held |= mod, {}, 0, 0);
    post(QEvent::KeyPress, key, held, text, scanCode, keysym);
    post(QEvent::KeyRelease, key, held, text, scanCode, keysym);
    for (int i = 2; i >= 0; --i)
        if (m & modifiers[i].first)
            post(QEvent::KeyRelease, modifiers[i].second, held &= ~modifiers[i].first, {}, 0, 0);
    // Posted events are handled in order: the mark comes after the keys.
    auto handled = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(qApp, [handled] { *handled = true; }, Qt::QueuedConnection);
    WaitFor([handled] { return *handled; }, 5000, "the posted keys are handled");
}
} // namespace

void PostKey(Qt::Key key, Qt::KeyboardModifiers m)
{
    PostKeyEvents(key, m, KeyText(key, m), 0, 0);
}

void PostKey(const LayoutKey& key, Qt::KeyboardModifiers m)
{
    PostKeyEvents(key.key, m, key.text, key.scanCode, key.keysym);
}

// ---- waiting ---------------------------------------------------------------

namespace {
void PumpOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Handles the events that come, until the next tick of the waiter's timer
// at the latest.  The tick wakes the wait for conditions that change
// without an event of this thread (another thread's state, a child
// process).
void WaitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

void PumpEvents(int ms)
{
    PumpOnce();
    if (ms <= 0)
        return;
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(2);
    while (t.elapsed() < ms)
        WaitForEvents();
}

bool WaitFor(const std::function<bool()>& cond, int timeoutMs, const char* what)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(2);
    for (;;) {
        if (cond())
            return true;
        if (t.elapsed() > timeoutMs)
            break;
        WaitForEvents();
    }
    ADD_FAILURE() << "timed out after " << timeoutMs << " ms waiting for " << what;
    return false;
}

// ---- modal windows ---------------------------------------------------------

namespace {

struct Expectation
{
    std::function<bool(QWidget*)> is;
    std::function<void(QWidget*)> act;
    std::string typeName;
    int timeoutMs;
};

struct ModalState
{
    std::deque<Expectation> queue;
    QElapsedTimer waiting;          // since the front expectation became due
    QPointer<QWidget> handled;      // the window last given to an act
    QElapsedTimer handledSince;
    int handledTimeoutMs = 0;
    std::string handledType;
    QTimer* timer = nullptr;
};

ModalState& Modals()
{
    static ModalState s;
    return s;
}

void Abandon()
{
    ModalState& m = Modals();
    m.queue.clear();
    m.handled = nullptr;
    if (m.timer)
        m.timer->stop();
    RejectOpenModals();
}

void Tick()
{
    ModalState& m = Modals();
    QWidget* w = QApplication::activeModalWidget();
    if (m.handled && w == m.handled) {
        if (m.handledSince.elapsed() > m.handledTimeoutMs) {
            ADD_FAILURE() << "the modal window " << detail::Describe(w).toStdString() << " was still open "
                          << m.handledTimeoutMs << " ms after the test acted on it";
            Abandon();
        }
        return;
    }
    m.handled = nullptr;
    if (m.queue.empty()) {
        m.timer->stop();
        return;
    }
    Expectation& e = m.queue.front();
    if (w) {
        if (!e.is(w)) {
            ADD_FAILURE() << "expected the modal window " << e.typeName << ", but "
                          << detail::Describe(w).toStdString() << " appeared";
            Abandon();
            return;
        }
        auto act = std::move(e.act);
        m.handled = w;
        m.handledSince.start();
        m.handledTimeoutMs = e.timeoutMs;
        m.handledType = e.typeName;
        m.queue.pop_front();
        m.waiting.start();
        // Acted on from the event queue, so that a modal window the act
        // opens in turn is watched as well.
        QPointer<QWidget> target(w);
        QMetaObject::invokeMethod(
            qApp, [act = std::move(act), target] {
                if (target)
                    act(target);
            },
            Qt::QueuedConnection);
        return;
    }
    if (m.waiting.elapsed() > e.timeoutMs) {
        ADD_FAILURE() << "expected the modal window " << e.typeName << " within " << e.timeoutMs
                      << " ms, but no modal window appeared";
        Abandon();
    }
}

} // namespace

namespace detail {
void QueueModal(std::function<bool(QWidget*)> is, std::function<void(QWidget*)> act, const char* typeName,
                int timeoutMs)
{
    ModalState& m = Modals();
    if (!m.timer) {
        m.timer = new QTimer(qApp);
        m.timer->setInterval(10);
        QObject::connect(m.timer, &QTimer::timeout, m.timer, [] { Tick(); });
    }
    if (m.queue.empty())
        m.waiting.start();
    m.queue.push_back({std::move(is), std::move(act), typeName, timeoutMs});
    if (!m.timer->isActive())
        m.timer->start();
}
} // namespace detail

int PendingModals() { return int(Modals().queue.size()); }

void RejectOpenModals()
{
    for (int i = 0; i < 50; ++i) {
        QWidget* w = QApplication::activeModalWidget();
        if (!w)
            return;
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
        else
            w->close();
        if (QApplication::activeModalWidget() == w)
            w->hide(); // a dialog that refused to go
    }
}

void ExpectNoPendingModals()
{
    ModalState& m = Modals();
    if (!m.queue.empty()) {
        std::ostringstream names;
        for (size_t i = 0; i < m.queue.size(); ++i)
            names << (i ? ", " : "") << m.queue[i].typeName;
        ADD_FAILURE() << m.queue.size() << " expected modal window(s) never came: " << names.str();
    }
    Abandon();
}

// ---- prompts ---------------------------------------------------------------

PromptScript::PromptScript(std::vector<int> answers)
    : m_restore(std::make_unique<::ui::ScriptedPrompts>()), m_answers(answers.begin(), answers.end())
{
    ::ui::SetPromptHandler([this](const ::ui::PromptQuestion& q) {
        m_texts.push_back(q.text);
        if (m_answers.empty()) {
            if (!m_allowUnexpected)
                ADD_FAILURE() << "unexpected prompt: \"" << q.text.toStdString() << "\"";
            return ::ui::DefaultAnswer(q.style);
        }
        const int a = m_answers.front();
        m_answers.pop_front();
        return a;
    });
}

PromptScript::~PromptScript() = default; // m_restore puts the previous handler back

void PromptScript::Add(int answer) { m_answers.push_back(answer); }

std::vector<QString> PromptScript::Texts() const { return m_texts; }

// ---- rendering -------------------------------------------------------------

QImage Render(QWidget* w)
{
    QImage img = w->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    img.setDevicePixelRatio(1);
    return img;
}

int CountColor(const QImage& img, QRect r, QColor c, int tolerance)
{
    const QRect area = r.intersected(img.rect());
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (std::abs(qRed(p) - c.red()) <= tolerance && std::abs(qGreen(p) - c.green()) <= tolerance &&
                std::abs(qBlue(p) - c.blue()) <= tolerance)
                ++n;
        }
    return n;
}

bool RectHasColor(const QImage& img, QRect r, QColor c, int minPixels, int tolerance)
{
    return CountColor(img, r, c, tolerance) >= minPixels;
}

// ------------------------------------------------------------ layout checks

namespace {

QString TextOf(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    return {};
}

// The size the control needs to show its text whole (an invalid size: no
// text of its own to check).
QSize NeededSize(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        if (l->text().isEmpty() && !l->pixmap().isNull())
            return l->sizeHint();
        if (l->wordWrap())
            return QSize(l->minimumSizeHint().width(), l->heightForWidth(l->width()));
        return l->sizeHint();
    }
    if (auto* b = qobject_cast<const QPushButton*>(w)) {
        // The text, the icon and the button's margins (a style may ask a
        // wider button for looks; a narrower one still shows its text).
        QStyleOptionButton opt;
        opt.initFrom(b);
        const QSize text = b->fontMetrics().size(Qt::TextShowMnemonic, b->text());
        int width = text.width();
        if (!b->icon().isNull())
            width += b->iconSize().width() + 4;
        width += b->style()->pixelMetric(QStyle::PM_ButtonMargin, &opt, b) +
                 2 * b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, b);
        return QSize(width, text.height());
    }
    if (qobject_cast<const QAbstractButton*>(w))
        return w->sizeHint();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) {
        QStyleOptionFrame opt;
        opt.initFrom(e);
        opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
        const QRect inner = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
        const int frame = e->width() - inner.width();
        const QMargins tm = e->textMargins();
        // The line edit's own horizontal margin of 2 pixels on each side.
        const int text = e->fontMetrics().horizontalAdvance(e->displayText()) + 4 + tm.left() + tm.right();
        return QSize(text + frame, 0);
    }
    return QSize();
}

bool IsViewport(const QWidget* w)
{
    const QWidget* p = w->parentWidget();
    auto* area = p ? qobject_cast<const QAbstractScrollArea*>(p) : nullptr;
    return area && area->viewport() == w;
}

} // namespace

QStringList ClippedTexts(QWidget* root)
{
    QStringList out;
    if (!root)
        return out;
    const auto all = root->findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (!w->isVisibleTo(root) || TextOf(w).isEmpty())
            continue;
        const QSize need = NeededSize(w);
        const QString name = QStringLiteral("%1 %2 '%3'").arg(QString::fromLatin1(w->metaObject()->className()),
                                                              w->objectName(), TextOf(w));
        if (need.isValid() && (need.width() > w->width() || need.height() > w->height()))
            out << QStringLiteral("%1 is %2x%3, needs %4x%5")
                       .arg(name)
                       .arg(w->width())
                       .arg(w->height())
                       .arg(need.width())
                       .arg(need.height());
        // Cut by an ancestor: the control's rectangle against each
        // ancestor's, in that ancestor's coordinates.
        QRect r = w->rect();
        for (QWidget* a = w; a && a != root; a = a->parentWidget()) {
            QWidget* parent = a->parentWidget();
            if (!parent)
                break;
            r.translate(a->pos());
            if (IsViewport(parent))
                break; // scrolled, not cut
            if (!parent->rect().contains(r)) {
                out << QStringLiteral("%1 is cut by %2 (%3,%4 %5x%6 outside %7x%8)")
                           .arg(name, detail::Describe(parent))
                           .arg(r.x())
                           .arg(r.y())
                           .arg(r.width())
                           .arg(r.height())
                           .arg(parent->width())
                           .arg(parent->height());
                break;
            }
        }
    }
    return out;
}

QStringList VisibleScrollBars(QWidget* root)
{
    QStringList out;
    if (!root)
        return out;
    for (QScrollBar* b : root->findChildren<QScrollBar*>())
        if (b->isVisibleTo(root) && b->maximum() > b->minimum())
            out << detail::Describe(b->parentWidget() ? b->parentWidget() : b);
    return out;
}

void PressEscape(QWidget* w)
{
    QWidget* target = w;
    if (QWidget* f = QApplication::focusWidget(); f && (f == w || w->isAncestorOf(f)))
        target = f;
    // QTest goes through the shortcut override and the shortcuts first, as
    // the keyboard does.
    QTest::keyClick(target, Qt::Key_Escape);
}

QString AccessKeys(QWidget* root)
{
    QString keys;
    auto add = [&keys](const QString& text) {
        for (qsizetype i = text.indexOf(QLatin1Char('&')); i >= 0 && i + 1 < text.size();
             i = text.indexOf(QLatin1Char('&'), i + 2))
            if (text[i + 1] != QLatin1Char('&')) {
                keys += text[i + 1].toUpper();
                return;
            }
    };
    for (QLabel* l : root->findChildren<QLabel*>())
        if (l->buddy())
            add(l->text());
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>())
        add(b->text());
    for (QGroupBox* g : root->findChildren<QGroupBox*>())
        add(g->title());
    for (QTabBar* t : root->findChildren<QTabBar*>())
        for (int i = 0; i < t->count(); ++i)
            add(t->tabText(i));
    return keys;
}

QStringList KeysThatType(QWidget* field)
{
    QLineEdit* edit = qobject_cast<QLineEdit*>(field);
    if (!edit)
        edit = field->findChild<QLineEdit*>();
    if (!edit) {
        ADD_FAILURE() << "KeysThatType: no edit in " << detail::Describe(field).toStdString();
        return {};
    }
    const QString accessKeys = AccessKeys(field->window());
    static const QRegularExpression letter(QStringLiteral("[A-Za-z]"));
    QGuiApplication::clipboard()->clear();
    const std::pair<Qt::KeyboardModifiers, const char*> kinds[] = {
        {Qt::AltModifier, "Alt+"},
        {Qt::ControlModifier, "Ctrl+"},
        {Qt::ControlModifier | Qt::AltModifier, "Ctrl+Alt+"}};
    QStringList typed;
    for (const auto& [mods, name] : kinds)
        for (char c = 'A'; c <= 'Z'; ++c) {
            if ((mods & Qt::AltModifier) && accessKeys.contains(QLatin1Char(c)))
                continue;
            // The focus first: a page may show its values when a control
            // loses it.
            field->setFocus();
            PumpEvents();
            edit->setText(QStringLiteral("0123"));
            QTest::keyClick(field, Qt::Key(Qt::Key_A + (c - 'A')), mods);
            const bool focused = QApplication::focusWidget() == field ||
                                 field->isAncestorOf(QApplication::focusWidget());
            if (edit->text().contains(letter) || !focused)
                typed << QStringLiteral("%1%2: %3%4")
                             .arg(QLatin1String(name), QChar(c), edit->text(),
                                  focused ? QString() : QStringLiteral(" (focus moved)"));
        }
    return typed;
}

QList<QWidget*> VisibleTopLevels(const QList<QWidget*>& except)
{
    QList<QWidget*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !except.contains(w) && w->windowType() != Qt::ToolTip && w->windowType() != Qt::Desktop)
            out << w;
    return out;
}

} // namespace testsupport::ui
