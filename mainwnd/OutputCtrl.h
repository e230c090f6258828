#pragma once
// The output window: the read-only text of the output bar.  Every part
// writes its messages into it (AppendText); the build writes compiler
// diagnostics as tagged lines (AppendTaggedLine) that remember a source
// position and jump to it on a double-click, on Enter or through the main
// frame's next and previous error commands.  Its three formats ("Text",
// "Tag", "SelectedTag") come from the font and colour registry.

#include "core/common/OutputSink.h"
#include "mainwnd/RichEdit.h"
#include "fontcolor/FontColorPage.h"
#include "platform/ui/Command.h"

#include <QPointer>
#include <QTextCharFormat>

#include <optional>
#include <vector>

struct OutputTag
{
    int start = 0, end = 0; // the inserted text's range (each line break one character)
    QString path;           // full path made when the line was appended
    int line = 0, column = 0;
    QString name, shortText, message;
};

class COutputCtrl : public CRichEdit20Ctrl,
                    public core::OutputSink,
                    public ui::CommandTarget,
                    public CFontColorListener
{
    Q_OBJECT
public:
    static constexpr int kMaxTags = 500;
    static constexpr int kMaxShortText = 99;
    static constexpr int kMaxMessage = 199;
    // A path or name this long or longer is shown as plain text.
    static constexpr size_t kTooLongName = 259;
    static constexpr uint32_t kStyle = 0x10B009C4;
    static constexpr uint32_t kContextMenu = 555;

    explicit COutputCtrl(QWidget* parent = nullptr);
    ~COutputCtrl() override;

    // Creates the control (style kStyle | style), joins the registry with id
    // 0 and builds the formats from category; false when a step fails.
    bool Create(uint32_t style, const QRect& rect, QWidget* parent, uint32_t id, CFontColorPage* registry,
                const QString& category);
    // Registers the category and its items "Text", "Tag" and "SelectedTag".
    static bool RegisterFonts(const QString& category, const QString& displayName, CFontColorPage* registry);

    void AppendText(std::u16string_view text) override;
    void AppendTaggedLine(std::u16string_view lineText, std::u16string_view filePath, int line, int column,
                          std::u16string_view name, std::u16string_view shortText,
                          std::u16string_view message) override;
    void ClearAll() override;

    bool HasTags() const { return !m_tags.empty(); }
    int TagCount() const { return int(m_tags.size()); }
    int CurrentTag() const { return m_current; }
    const OutputTag* Tag(int index) const;
    // The tag whose range holds position; -1 for plain text.
    int TagAt(int position) const;

    // Opens the tag's file at its position, marks the tag and returns its
    // message; -1 (or an invalid index) only unmarks and gives nothing.
    std::optional<QString> SelectTag(int index);
    std::optional<QString> NextTag();
    std::optional<QString> PrevTag();

    void OnFontColorChange(uint32_t id) override;

    // The three formats (for tests and the benchmark).
    const QTextCharFormat& TextFormat() const { return m_formats[0]; }
    const QTextCharFormat& TagFormat() const { return m_formats[1]; }
    const QTextCharFormat& SelectedTagFormat() const { return m_formats[2]; }
    // The whole text with "\n" line ends.
    QString Text() const { return toPlainText(); }

    // Shows context menu 555 at screenPoint (the workspace's menu, else the
    // framework's popup) and sends the chosen command.
    void ShowContextMenu(const QPoint& screenPoint);

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void Insert(std::u16string_view text, const QTextCharFormat& format, int* start, int* end);
    void BuildFormats();
    void ReapplyFormats();
    void FormatRange(int start, int end, const QTextCharFormat& format);
    void JumpTo(const OutputTag& tag);
    void JumpOrBeep(int position);
    void FollowEnd();
    // The screen point below the caret (scrolled into view): where the
    // context menu opens from the keyboard.
    QPoint CaretPoint();

    std::vector<OutputTag> m_tags;
    int m_current = -1;
    QPointer<CFontColorPage> m_registry;
    QString m_category;
    QTextCharFormat m_formats[3];
};
