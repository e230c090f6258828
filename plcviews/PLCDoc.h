#pragma once
// The PLC source document and its view with the debugger drawn into it:
// while the project debugs, the margin shows per code line of the listing
// the registers of the line's last run, the breakpoint, the mechanism's
// state and the current-line arrow; tips show the live values of the
// variables under the mouse and the registers of a line.  See
// docs/plcviews.md.

#include "core/compout/ListingFile.h"
#include "core/compout/MapFile.h"
#include "plcviews/StructuredTextDoc.h"
#include "res/CommandIds.h"

#include <QElapsedTimer>
#include <QFont>
#include <QPoint>

#include <memory>

class CStrandworkDoc;
class COlnkLink;
class QTimer;
struct LinkResultRecord;
namespace linkui {
class LinkWindow;
}

class CPLCDoc : public CStructuredTextDoc
{
    Q_OBJECT
public:
    CPLCDoc() = default;
};

class CPLCView : public CStructuredTextView
{
    Q_OBJECT
public:
    // The ten items of the debugging display, after the text's fourteen.
    enum PlcItem {
        PLCRegsAct,
        PLCRegsInact,
        EnabledBreakpoint,
        DisabledBreakpoint,
        Current,
        MechErr,
        Mech,
        MechWatch,
        MechRun,
        MechCurrent,
        PlcItemCount
    };
    // Tip states.
    enum TipState { TipNone = 0, TipValue = 1, TipRegisters = 2 };

    CPLCView();
    ~CPLCView() override;
    uint32_t ContextMenuId() const override { return 1029; }
    // "SourceWindow" with the text's items and the ten of the debugger.
    static bool RegisterFontItems(const QString& category, const QString& displayName, CFontColorPage* registry);

    void OnInitialUpdate() override;
    void OnActivateView(bool activate) override;
    int GetMarginWidth() const override;
    void DrawMargin(QPainter& p, const QRect& rect, int line) override;
    // The project's hints (through the application's UpdatePlcViews).
    virtual void OnProjectUpdate(ui::View* sender, long hint, QObject* object);
    void OnFontColorChange(uint32_t id) override;

    void OnToggleBreakpoint();
    void OnToggleMechanismWatch();
    // The variable window for the one-line selection, else the word at the caret.
    void OnVariable();
    // The expression OnVariable shows.
    QString VariableExpression();

    // Set on the view of its document that was activated last.
    bool m_bActive = false;

    // ---- state for tests and the demo
    const FontColorItem& PlcItemAt(int item) const { return m_plcItems[size_t(item)]; }
    int RegisterColumnWidth() const { return m_regWidth; }
    // The widths of the two register boxes (outline included) for a font:
    // RLO holds "0" or "1", DR any value of the display ("0x" and eight
    // hexadecimal digits, or a signed decimal number).
    struct RegisterBoxes
    {
        int rlo = 0;
        int dr = 0;
    };
    static RegisterBoxes RegisterBoxWidths(const QFont& font, bool hex);
    int WatchedFirst() const { return m_watchFirst; }
    int WatchedCount() const { return m_watchCount; }
    int GetTipState() const { return m_tipState; }
    const QString& TipText() const { return m_tipText; }
    // The number of project hints received.
    int ProjectUpdates() const { return m_projectUpdates; }
    // The bridge handle of the view's link window.
    uint32_t LinkHandle() const;
    // The listing line of a 0-based line of this file, and its listing index.
    const compout::ListingLine* ListingLineOf(int line, uint32_t* index = nullptr) const;
    // The visible text lines: first and count (+1, clamped).
    void VisibleLineRange(int& first, int& count);
    // Keeps the link's register watch equal to the visible lines.
    void UpdateWatchRange();
    // Handles a mouse position (client coordinates) as a mouse move does.
    void HandleMouseAt(const QPoint& pos);

protected:
    void LoadColorItems(CFontColorPage* registry, const FontColorCategory* category) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    CStrandworkDoc* Project() const;
    bool ColumnInUse() const;
    void UpdateRegisterFont();
    void RegisterWithLink();
    void UnregisterFromLink();
    void RepaintMargin();
    void Output(unsigned id, int status = 0, bool withStatus = false);
    intptr_t OnLinkMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    void OnLinkResult(const LinkResultRecord& r);
    void ResetTip();
    void SendValueRead();
    void SendRegisterRead();
    void SchedulePoll();
    void RefreshTip();
    void ShowTipNow();

    std::array<FontColorItem, PlcItemCount> m_plcItems;
    QFont m_regFont;
    int m_regWidth = 0;
    std::unique_ptr<linkui::LinkWindow> m_link;
    COlnkLink* m_registeredLink = nullptr;
    int m_watchFirst = 0, m_watchCount = 0;
    int m_lastTop = -1, m_lastScreenLines = -1;
    bool m_rangeDue = false;
    int m_projectUpdates = 0;

    // tips
    int m_tipState = TipNone;
    QString m_tipKey;
    compout::SymbolInfo m_symbol;
    std::u16string m_symbolName;
    uint32_t m_valueRequest = 0;
    bool m_valueValid = false;
    int64_t m_value = 0;
    double m_real = 0;
    bool m_negate = false;
    bool m_mechRunning = false;
    uint32_t m_mechIndex = 0;
    uint32_t m_regRequest = 0;
    bool m_regsValid = false;
    uint32_t m_regLine = 0;
    uint8_t m_rlo = 0;
    int32_t m_dr = 0;
    bool m_mouseInside = false;
    bool m_polling = false;
    QPoint m_tipGlobal;
    QString m_tipText;
    bool m_tipShown = false;
    QTimer* m_showTimer = nullptr;
    QTimer* m_pollTimer = nullptr;
    QElapsedTimer m_lastRead;
};
