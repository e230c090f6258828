#pragma once
// Stand-in for the PLC source document and view: a read-only text view
// that keeps the active-view mark and ignores the project's hints.  The
// PLC source view with breakpoints, the current-line mark and value tips
// will replace this file.

#include "plcviews/StructuredTextDoc.h"

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
    CPLCView() = default;
    uint32_t ContextMenuId() const override { return 1029; }
    // Receives the project document's hints; the stand-in does nothing.
    virtual void OnProjectUpdate(ui::View* sender, long hint, QObject* object);
    void OnActivateView(bool activate) override;
    // Set on the view of its document that was activated last.
    bool m_bActive = false;
    // The number of hints received (tests).
    int ProjectUpdates() const { return m_projectUpdates; }

private:
    int m_projectUpdates = 0;
};
