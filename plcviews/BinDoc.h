#pragma once
// The document of binary files: the file's bytes (BinData: a small file
// read whole, a larger one read page by page as needed, only the edits
// copied) that the hex views edit in place, written back whole, and watched
// for changes made outside the program.  Its frame is a 2 x 2 dynamic
// splitter of hex views.

#include "editor/files/FileChangeMonitor.h"
#include "platform/ui/Document.h"
#include "platform/ui/Splitter.h"
#include "plcviews/BinData.h"

class CBinDoc : public ui::Document, public CFileChangeMonitor
{
    Q_OBJECT
public:
    // The largest file the binary editor opens (sizes are signed 32-bit
    // counts): 2 GiB - 1.
    static constexpr qsizetype kMaxSize = 0x7FFFFFFF;
    // The update hint sent to the views after the block was replaced.
    static constexpr long kHintReloaded = 1;

    CBinDoc();
    ~CBinDoc() override;

    // The bytes; the views edit them in place.
    BinData& Data() { return m_data; }
    bool IsReadOnly() const { return m_readOnly; }
    // Returns the previous flag; updates all views.
    bool SetReadOnly(bool readOnly);
    // Stores the flag, then the titles of the frames follow.
    void SetModifiedFlag(bool modified = true) override;

    bool OnNewDocument() override;
    // A path where nothing is opens empty under its name; a file this user
    // cannot write opens read-only; anything that is not a regular file is
    // refused.
    bool OnOpenDocument(const QString& path) override;
    // Refuses a file that exists and cannot be written (536, as the text
    // documents); otherwise streams the bytes through sys::AtomicFile and
    // reads on from the file it wrote.
    bool OnSaveDocument(const QString& path) override;
    // The bytes as a save writes them; the document goes on reading from
    // its own file.
    bool WriteCopy(const QString& path, uint32_t& cause) override;
    void OnCloseDocument() override;
    void DeleteContents() override;
    void Serialize(ui::Archive&) override {}
    // Opens the file again and swaps it in only on success; a failure
    // keeps the data and says so (a path that is no regular file with the
    // framework's open-failure message).
    bool Reload();
    // Reload with the watch of the path dropped meanwhile (command ID_EDT_RELOAD_FILE).
    bool ReloadFile();

protected:
    void OnFileChanged(uint32_t flags, const std::u16string& path) override;

private:
    // What an outside change brings (the monitor's flags): beep, the frame
    // activated and flashed, the question of the reload (535) or the note
    // of a deletion (534), and the reload on Yes.
    void OutsideChange(uint32_t flags, const QString& path);
    // A read of the data found the file changed (BinData's Change flags):
    // once the current event is done, the user is told as for a change the
    // monitor reports, unless already told about that kind of change.
    void OnDataChanged(uint32_t found);
    void TellDataChange();
    // The data are the file's again (open, reload, save): nothing told yet.
    void FreshData();

    // Opens path into out, or a failure with the errno value (EFBIG for a
    // file over the size limit, ENODEV or EISDIR for anything that is not a
    // regular file, which is refused without waiting).
    bool ReadFile(const QString& path, BinData& out, int& error) const;

    BinData m_data;
    uint32_t m_found = 0;     // Change flags found, not yet told
    uint32_t m_told = 0;      // Change flags the user was told about since the data were read
    bool m_tellPosted = false;
    bool m_asking = false;    // a question of an outside change is open
    bool m_readOnly = false;
    bool m_closed = false;
};

class CBinChildFrame : public ui::SplitterChildFrame
{
    Q_OBJECT
public:
    CBinChildFrame() = default;
    bool OnCreateClient(ui::Document* doc, ui::DocTemplate* tmpl) override;
    // The document's title, ":n" with several frames, " *" while modified.
    void OnUpdateFrameTitle() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    bool m_shown = false;
};
