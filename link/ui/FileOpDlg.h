#pragma once
// The file-operation dialog: runs one copy, move, delete or create-folder
// operation of the FileOpEngine modally and shows its caption, headline,
// current item and progress.  "&Storno", Escape and closing the window
// cancel it.

#include "link/ui/FileOpEngine.h"
#include "platform/ui/Dialog.h"

#include <string>
#include <string_view>

class QLabel;
class QProgressBar;

namespace linkui {

class CFileOpDlg : public ui::Dialog, private FileOpObserver
{
    Q_OBJECT
public:
    explicit CFileOpDlg(QWidget* parent = nullptr);
    ~CFileOpDlg() override;

    // Each returns true when the dialog ended with OK.  A count of 0 returns
    // true without a dialog; CreateDir of a local path creates the folder
    // at once and returns that result, without a dialog.
    bool Copy(IOxfrC* link, std::u16string_view sourceFolder, std::u16string_view targetFolder,
              const std::u16string* names, const std::u16string* targetNames, int count, void* argument,
              FileOpErrorCallback callback);
    bool Move(IOxfrC* link, std::u16string_view sourceFolder, std::u16string_view targetFolder,
              const std::u16string* names, const std::u16string* targetNames, int count, void* argument,
              FileOpErrorCallback callback);
    bool Delete(IOxfrC* link, std::u16string_view folder, const std::u16string* names, int count, void* argument,
                FileOpErrorCallback callback);
    bool CreateDir(IOxfrC* link, std::u16string_view path, void* argument, FileOpErrorCallback callback);

    void OnCancel() override;
    void OnOK() override {}

    FileOpEngine& Engine() { return m_engine; }
    // The bar's scale: the 64-bit sums divided by 2^shift fit an int.
    static int ProgressShift(uint64_t total);

private:
    bool Run();
    void OnCaption(const std::u16string& text) override;
    void OnHeadline(const std::u16string& text) override;
    void OnCurrentItem(const std::u16string& text) override;
    void OnProgress(uint64_t total, uint64_t done) override;
    void OnEnd(bool ok) override;

    FileOpEngine m_engine;
    QLabel* m_headline = nullptr;
    QLabel* m_current = nullptr;
    QProgressBar* m_bar = nullptr;
};

} // namespace linkui
