#pragma once
// Dialogs from Qt Designer .ui resources (res/dialogs/<id>.ui, loaded at
// run time so that a language resource file can replace them), with the
// control ids as object names ("c2104"); value exchange in both directions
// with the framework's validation messages; and the property sheet base.

#include <QDialog>

#include <functional>
#include <QString>

#include <cstdint>
#include <vector>

class QComboBox;
class QDialogButtonBox;
class QTabWidget;

namespace ui {

constexpr int IDOK_BUTTON = 1;
constexpr int IDCANCEL_BUTTON = 2;
// The framework's validation messages (string-table ids and texts).
constexpr uint32_t IDP_PARSE_INT_RANGE = 61714;  // "Zadejte prosím celé číslo v rozsahu od %1 do %2."
constexpr uint32_t IDP_PARSE_UINT = 61719;       // "Zadejte prosím celé kladné číslo."
QString ValidationText(uint32_t id);

// Loads the widget tree of dialogs/<id>.ui; null when the resource is
// missing or not a form.  Its labels get their buddies
// (AttachLabelBuddies).
QWidget* LoadForm(uint32_t id, QWidget* parent, QString* error = nullptr);

// A label's "&" marks the mnemonic of the control after it, as the forms
// are written; Qt honours it only in a label with a buddy and shows it
// literally otherwise.  Every plain-text label of form that has a mnemonic
// and no buddy gets the next control of the tab order that takes the focus
// (or a plain placeholder widget "c<id>" that a custom control replaces;
// KvtReplacePlaceholder moves the buddy on); a label with no such control
// after it shows its text without the mark ("&&" stays one "&").
void AttachLabelBuddies(QWidget* form);
// Whether text has a mnemonic mark: an "&" before anything but another "&".
bool HasMnemonic(const QString& text);

// An editable combo box shows and takes exactly the text the user typed:
// it completes nothing, inserts nothing, and Enter or leaving the field
// keeps the text as it is (an item equal to it, case included, becomes the
// current one).  LoadForm applies it to the editable combos of a form.
void KeepTypedText(QComboBox* combo);

// A form (.ui) may name a class of the program's own, declared there as a
// custom widget; the loader makes it with the factory registered under the
// class name.  Register before the first form that uses it is loaded.
using FormWidgetFactory = std::function<QWidget*(QWidget* parent)>;
void RegisterFormWidget(const QString& className, FormWidgetFactory factory);

class Dialog;

// One exchange of values between the controls and the members.
class DataExchange
{
public:
    DataExchange(Dialog* dialog, bool saveAndValidate) : m_dialog(dialog), m_save(saveAndValidate) {}
    bool SaveAndValidate() const { return m_save; }
    Dialog* GetDialog() const { return m_dialog; }
    bool Failed() const { return m_failed; }
    // Marks the exchange failed and puts the focus on the control.
    void Fail(QWidget* control);

    // Text of a line edit, text edit, label, button or combo box.
    void Text(int id, QString& value);
    // An integer with range check (the framework's message when refused).
    void Int(int id, int& value, int minimum, int maximum);
    // An unsigned decimal number.
    void UInt(int id, uint32_t& value, uint32_t maximum = 0xFFFFFFFF);
    // Check state of a check box (0, 1, 2).
    void Check(int id, int& value);
    // Selected index of a list, combo box or radio group (-1 none).
    void ListIndex(int id, int& value);

private:
    Dialog* m_dialog;
    bool m_save;
    bool m_failed = false;
};

class Dialog : public QDialog
{
    Q_OBJECT
public:
    // Loads dialogs/<templateId>.ui into the dialog.  Buttons named c1 and
    // c2 (or a QDialogButtonBox) are OK and Cancel.
    explicit Dialog(uint32_t templateId, QWidget* parent = nullptr);
    ~Dialog() override;

    bool IsLoaded() const { return m_form != nullptr; }
    const QString& LoadError() const { return m_error; }
    uint32_t TemplateId() const { return m_id; }
    QWidget* GetDlgItem(int id) const;
    template <class T> T* Item(int id) const { return qobject_cast<T*>(GetDlgItem(id)); }

    virtual void DoDataExchange(DataExchange&) {}
    // save true: controls to members with validation; false: members to
    // controls.  False when a value was refused.
    bool UpdateData(bool save = true);
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Runs the dialog modally: OnInitDialog, the loop, the result (-1 when
    // the template is missing).
    int DoModal();

    // The three steps of a modal run (see Modal.h): BeginModal gives -1
    // when the template was not found.
    int BeginModal();
    void RunModal();
    int EndModal();

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    uint32_t m_id;
    QWidget* m_form = nullptr;
    QString m_error;
};

class PropertySheet;

// One page of a property sheet: a form of its own with the page hooks.
class PropertyPage : public Dialog
{
    Q_OBJECT
public:
    PropertyPage(uint32_t templateId, const QString& caption = {});
    PropertySheet* Sheet() const;
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified = true);
    bool Created() const { return m_created; }

    // Called when the page becomes active (the first time after its data
    // went into the controls); false keeps the old page.
    virtual bool OnSetActive();
    // Validates when the page is left or the sheet confirmed; false keeps
    // the page active.
    virtual bool OnKillActive() { return UpdateData(true); }
    virtual void OnOK() override { SetModified(false); }
    virtual void OnCancel() override {}
    virtual bool OnApply()
    {
        OnOK();
        return true;
    }

private:
    friend class PropertySheet;
    bool m_modified = false;
    bool m_created = false;
};

// A modal sheet with pages in tabs and OK / Cancel / Apply.
class PropertySheet : public QDialog
{
    Q_OBJECT
public:
    explicit PropertySheet(const QString& caption, QWidget* parent = nullptr, int startPage = 0);
    void AddPage(PropertyPage* page); // owned by the sheet
    // Takes the page out of the sheet and deletes it; false for a bad index.
    bool RemovePage(int index);
    int GetPageCount() const;
    PropertyPage* GetPage(int index) const;
    int GetActiveIndex() const;
    PropertyPage* GetActivePage() const { return GetPage(GetActiveIndex()); }
    bool SetActivePage(int index);
    void SetStartPage(int index) { m_startPage = index; }
    // Enables Apply when a page is modified.
    void PageChanged();
    bool Apply();
    int DoModal();
    // The modeless start: activates the start page as DoModal does, then
    // shows the sheet and returns.
    void ShowModeless();
    QTabWidget* Tabs() const { return m_tabs; }
    QDialogButtonBox* Buttons() const { return m_buttons; }

    void accept() override;
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    // Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp turn the pages
    // from every control of the sheet.
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void OnTabChanged(int index);
    void StartOnPage();
    // The tab order: the tab row, the pages' controls in their own order,
    // further controls of the sheet, then the buttons.
    void OrderTabChain();
    void FocusFirstControl();
    QTabWidget* m_tabs;
    QDialogButtonBox* m_buttons;
    std::vector<PropertyPage*> m_pages;
    int m_startPage;
    int m_current = -1;
    bool m_switching = false;
};

} // namespace ui
