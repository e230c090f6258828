#pragma once
// The dialog "Vzhled tlačítka" (dialogs/16132.ui) in which the user chooses
// a button's image (its command's own or a user image), its text and how it
// shows them.  OK refuses a missing image ("Musíte zvolit ikonu !") and an
// empty text ("Musíte zadat text !") and stays open; otherwise the button
// takes the choice.  The shortcut part of the text (after a tab) is kept.

#include "platform/ui/Dialog.h"

#include <QString>

class CKVTButtonImageList;
class CKVTToolBar;
class CKVTToolbarButton;
class CKVTToolbarImageList;

class CKVTButtonAppearanceDlg : public ui::Dialog
{
    Q_OBJECT
public:
    static constexpr uint32_t IDD = 16132;
    // userImages may be null (no user images: the list is disabled).
    CKVTButtonAppearanceDlg(CKVTToolbarButton* button, CKVTToolbarImageList* userImages, CKVTToolBar* bar,
                            QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnOK() override;
    // "Nový...": a new user image drawn in the image editor; the first one
    // makes the user strip.  "Upravit...": the chosen user image edited.
    void OnNewImage();
    void OnEditImage();
    CKVTButtonImageList* ImageGrid() const { return m_grid; }
    CKVTToolbarImageList* UserImages() const { return m_userImages; }
    // The user strip that the first new image made (owned by the library).
    static CKVTToolbarImageList* CreatedUserImages();

private:
    void FillImages();
    void UpdateImageControls();
    CKVTButtonImageList* m_grid = nullptr;
    CKVTToolbarButton* m_button;
    CKVTToolbarImageList* m_userImages;
    CKVTToolBar* m_bar;
    bool m_menuMode = false;
    QString m_accel; // the text after the first tab
    bool m_hadAccel = false;
};
