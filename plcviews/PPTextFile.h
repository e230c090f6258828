#pragma once
// The file-properties page of a structured-text view (dialog 2131), shown
// alone in the sheet "Vlastnosti" of the view's properties command ID_VIEW_PROPERTIES:
// the path, the line count, the syntax, the tab size and the Unicode and
// read-only flags of the file.

#include "platform/ui/Dialog.h"

#include <QPointer>

class CStructuredTextView;

class CPPTextFile : public ui::PropertyPage
{
    Q_OBJECT
public:
    enum : int { IDD = 2131, IDC_PATH = 1110, IDC_LINES = 1111, IDC_UNICODE = 4003, IDC_READONLY = 4004,
                 IDC_TABSIZE = 4001, IDC_SYNTAX = 2230 };

    explicit CPPTextFile(CStructuredTextView* view);

    bool OnSetActive() override;
    bool OnApply() override;
    void OnOK() override;
    void DoDataExchange(ui::DataExchange& dx) override;

private:
    void Fill();

    QPointer<CStructuredTextView> m_view;
    QString m_path;
    QString m_lines;
    int m_unicode = 0;
    int m_readOnly = 0;
    int m_tabSize = 4;
    int m_syntax = -1;
    bool m_filled = false;
    bool m_filling = false;
};

// Runs the sheet 4283 "Vlastnosti" with the page for the view, owned by the
// main window; the sheet's result.
int ShowTextFileProperties(CStructuredTextView* view);
