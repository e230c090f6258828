#pragma once
// The file list of the file panel and the remote file dialog: the records
// in a table model (columns "název", "velikost", "typ", "změněno") with
// icons and type names asked only when an entry is shown, and the remote
// listing that fills it (a List request, its progress and its listing
// file).  See docs/link-windows.md.

#include "link/ui/FilePanelLogic.h"
#include "platform/ui/Messages.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>

#include <memory>
#include <string>
#include <vector>

class IOxfrC;
class IOlnkControl;

namespace linkui {

class FileListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit FileListModel(QObject* parent = nullptr);
    ~FileListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    void Clear();
    void SetRecords(std::vector<FileListRecord> records);
    const FileListRecord& Record(int row) const { return m_rows[size_t(row)]; }
    const std::vector<FileListRecord>& Records() const { return m_rows; }
    // Sorts by the order (the selection is dropped).
    void Sort(const SortOrder& order);
    // The type name of a record (cached per extension; folders share one).
    const std::u16string& TypeName(const FileListRecord& r) const;
    // How many types were asked so far (each extension once).
    int TypeLookups() const { return m_lookups; }

private:
    struct TypeInfo
    {
        std::u16string name;
        QIcon icon;
    };
    const TypeInfo& Type(const FileListRecord& r) const;
    std::vector<FileListRecord> m_rows;
    mutable QHash<QString, TypeInfo> m_types;
    mutable std::unique_ptr<TypeInfo> m_folderType;
    mutable int m_lookups = 0;
};

// One remote listing at a time for a window: registers its own message
// target for the results, the progress and the link's state changes (list
// 0) while it exists, and cancels a running job when it goes.
class RemoteListing : public QObject
{
    Q_OBJECT
public:
    explicit RemoteListing(QObject* parent = nullptr);
    ~RemoteListing() override;

    void SetLink(IOxfrC* link);
    IOxfrC* Link() const { return m_link; }
    // Starts a listing of pattern (folder + mask).  False, with the link's
    // error text in error, when it cannot be started.
    bool Start(const std::u16string& pattern, QString* error);
    bool Busy() const { return m_busy; }
    uint32_t Job() const { return m_job; }
    // Cancels the running job (CancelJob) and forgets it.
    void Cancel();
    ui::MessageHandle Target() const { return m_target; }
    // Nanoseconds since the answer of the last listing arrived (what the
    // user-interface thread spent on it, read when its handler ends).
    qint64 SinceAnswerNs() const { return m_answer.nsecsElapsed(); }

signals:
    void progress(uint32_t done, uint32_t total);
    // The records read (empty or partial on a failure).
    void finished(bool ok);
    void linkStateChanged();

public:
    std::vector<FileListRecord> records;

private:
    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    IOxfrC* m_link = nullptr;
    IOlnkControl* m_control = nullptr;
    ui::MessageHandle m_target = 0;
    bool m_registered = false;
    bool m_busy = false;
    uint32_t m_job = 0;
    uint32_t m_sequence = 0;
    QElapsedTimer m_answer;
};

// The link's text for its last error (at most 1000 characters).
QString LastLinkErrorText();

} // namespace linkui
