#pragma once
// The one interface through which the toolbar library reaches its frame:
// every frame hook and registered toolbar message becomes a virtual call
// here.  A frame implements it beside its QWidget base.

#include <QString>

#include <cstdint>

class CKVTPopupMenu;
class CKVTToolBar;
class CKVTToolbarButton;
class QPainter;
class QPoint;
class QRect;
class QWidget;

class KvtFrameHooks
{
public:
    virtual ~KvtFrameHooks() = default;

    // A tooltip text of the frame's own for a button; FALSE: none.
    virtual bool OnGetButtonToolTipText(CKVTToolbarButton* button, QString& text)
    {
        (void)button;
        (void)text;
        return false;
    }
    // "KVTTOOLBAR_RESETTOOLBAR": a bar's buttons were set again from its resource.
    virtual void OnToolbarReset(CKVTToolBar* bar, uint32_t resourceId)
    {
        (void)bar;
        (void)resourceId;
    }

    // The frame's step before a popup menu shows; FALSE closes the popup.
    virtual bool ShowPopupMenu(CKVTPopupMenu* popup)
    {
        (void)popup;
        return true;
    }
    // A popup menu closed.
    virtual void OnPopupMenuClosed(CKVTPopupMenu* popup) { (void)popup; }
    // Draws the image of a popup item itself; FALSE: the library draws it.
    virtual bool OnDrawMenuImage(QPainter& painter, CKVTToolbarButton* button, const QRect& rect)
    {
        (void)painter;
        (void)button;
        (void)rect;
        return false;
    }
    // "KVTTOOLBAR_POPUPMENU": a bar asks for the toolbar context menu.
    virtual void OnToolbarPopupMenu(QWidget* source, const QPoint& globalPoint)
    {
        (void)source;
        (void)globalPoint;
    }

    // "KVTTOOLBAR_CUSTOMIZE": the customisation mode starts or ends.
    virtual void OnToolbarCustomize(bool mode) { (void)mode; }
    // "KVTTOOLBAR_CUSTOMIZEHELP": help for a page of the customisation sheet.
    virtual void OnToolbarCustomizeHelp(int page, QWidget* sheet)
    {
        (void)page;
        (void)sheet;
    }
    // "KVTTOOLBAR_CREATE" / "KVTTOOLBAR_DELETE": user toolbars.
    virtual CKVTToolBar* CreateUserToolbar(const QString& name)
    {
        (void)name;
        return nullptr;
    }
    virtual bool DeleteUserToolbar(CKVTToolBar* bar)
    {
        (void)bar;
        return false;
    }

    // The hooks of the frame w belongs to: the first widget up w's parent
    // chain (its window included) that implements them, else the
    // application's main window when it does, else null.
    static KvtFrameHooks* FromWidget(QWidget* w);
};
