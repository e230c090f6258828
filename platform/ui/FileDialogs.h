#pragma once
// Helpers of the file dialogs.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace ui {

// The flags of a file dialog's record (the common dialog's values).
constexpr uint32_t OFN_READONLY = 0x1;
constexpr uint32_t OFN_OVERWRITEPROMPT = 0x2;
constexpr uint32_t OFN_HIDEREADONLY = 0x4;
constexpr uint32_t OFN_ALLOWMULTISELECT = 0x200;
constexpr uint32_t OFN_PATHMUSTEXIST = 0x800;
constexpr uint32_t OFN_FILEMUSTEXIST = 0x1000;

// A filter in the program's pipe form ("Soubory *.knf|*.knf|Všechny
// soubory|*.*|": pairs of a description and patterns separated by ";") in
// Qt's syntax ("Soubory *.knf (*.knf);;Všechny soubory (*)"): the patterns
// become a list separated by blanks, and "*.*" becomes "*".
QString ConvertFileFilter(const QString& pipeFilter);

} // namespace ui

#include <QFileDialog>

class QLabel;
class QWidget;

namespace ui {

// A non-native file dialog whose choice is the entry the chosen name
// stands for.  Qt lists names as it decodes them, so "caf\xE9.txt" shows as
// "caf\uFFFD.txt", and its own checks look for the UTF-8 of that text (a
// look-alike, or nothing).  A name that holds U+FFFD is taken here:
// ExactChosenPath (LocalPath.h) finds the entry by its bytes, a name that
// stands for several entries is refused with a message naming them and
// the dialog stays open, an existing file is offered for replacing before
// a save; every other name goes through Qt's own checks.  The names that
// no UTF-8 gives show marked ("caf\xE9.txt"), as in the file manager.
class ExactFileDialog : public QFileDialog
{
public:
    explicit ExactFileDialog(QWidget* parent = nullptr, const QString& caption = {}, const QString& directory = {},
                             const QString& filter = {});
    // The chosen paths, each the entry's own name (after an accepted exec).
    QStringList ExactFiles() const { return m_exact; }
    void accept() override;
    // The line naming the current folder's entries whose names are no
    // UTF-8 (hidden when there are none).
    QLabel* UndecodableNames() const { return m_undecodable; }

private:
    void ShowUndecodableNames();

    QStringList m_exact;
    QLabel* m_undecodable = nullptr;
};

// String-table ids of the file prompt.
constexpr unsigned IDS_OPEN_TITLE = 61440;     // "Otevřít"
constexpr unsigned IDS_ALL_FILES_FILTER = 61442; // "Všechny soubory (*.*)"

// The framework's file prompt: a non-native file dialog titled "Otevřít".
// filters are texts of the form "Popis (*.ext)" (a template's FileFilter),
// followed by "Všechny soubory (*.*)"; the texts are shown as they are and
// their patterns match without regard to case, "*.*" every name.  The
// dialog starts at start (a folder, or a file that it selects), with all
// files selected for the pattern "*.*" and the first filter otherwise.  mustExist: the file must
// exist; otherwise any name in an existing folder.  path gets the chosen
// native path; false on Cancel.
bool PromptFileName(QWidget* owner, QString& path, const QString& start, const QStringList& filters,
                    const QString& pattern, bool mustExist);

// The type of a folder in a file list: "složka".
constexpr unsigned IDS_FOLDER_TYPE = 4745;
// "Soubor %s již existuje. Chcete ho nahradit?"
constexpr unsigned IDS_REPLACE_EXISTING = 4943;
// The line of the names that are no UTF-8.
constexpr unsigned IDS_UNDECODABLE_NAMES = 4944;
// The question which of two files a name typed in its marked form means:
// the file of that literal name or the one with the bytes.
constexpr unsigned IDS_MARKED_OR_LITERAL = 4970;

// Makes a non-native file dialog's list speak the interface language
// whatever the environment's locale is: sizes and dates in the default
// locale (Qt's own list formats them in the system's), folders typed with
// IDS_FOLDER_TYPE.  Call before the dialog shows; the types of files come
// from the MIME database in the default locale anyway.
void ShowInInterfaceLocale(QFileDialog& dialog);

} // namespace ui
