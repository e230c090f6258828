// The file-operation engine's guards: entries that the control system
// would hold as one are refused before anything is sent, a move deletes a
// source only where its own bytes arrived, and the items still waiting end
// at once when the control system falls silent or the link goes down.
#include "link/ui/FileOpEngine.h"

#include "link/linkobj/olnk_link.h"
#include "link/oxfr/oxfr_server.h"
#include "platform/sys/CodePage.h"
#include "res/StringTable.h"

#include <map>
#include <set>
#include <vector>

namespace linkui {

namespace {

// Entries of one operation that the control system would hold as one: the
// entry and the others it collides with.
constexpr unsigned IDS_SAME_ON_CONTROL_SYSTEM = 4930;
// Items still waiting when the control system fell silent or the link went
// down: ended at once, never tried.
constexpr unsigned IDS_NOT_COPIED_LINK_GONE = 4931;
constexpr unsigned IDS_NOT_DELETED_LINK_GONE = 4932;

} // namespace

bool FileOpEngine::DeleteEligible(const FileOpItem& item) const
{
    if (item.kind == 0)
        return false;
    // A move across sides deletes a file only where its bytes are.
    if (m_operation == OpMove && !m_foldersOnly && item.kind == 2 && !item.delivered)
        return false;
    return !m_foldersOnly || item.kind == 1;
}

std::u16string FileOpEngine::TargetKey(const FileOpItem& item) const
{
    // The control system holds names in its code page and compares them
    // without regard to case, at every level of the path.
    return m_targetRemote ? oxfr::FoldedName(sys::WideToAnsi(item.target)) : item.target;
}

void FileOpEngine::RefuseCollisions()
{
    std::vector<std::u16string> keys(m_items.size());
    std::map<std::u16string, std::vector<size_t>> byKey;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].kind != 0) {
            keys[i] = TargetKey(m_items[i]);
            byKey[keys[i]].push_back(i);
        }
    // Parents come before their children in the list: a child of a refused
    // folder goes with it (the folder's line covers it).  Entries of one key
    // have parents of one key too, so either all of them lie below refused
    // folders or none does, and those that do not are entries of one folder.
    std::set<std::u16string> refusedFolders;
    for (size_t i = 0; i < m_items.size(); ++i) {
        FileOpItem& it = m_items[i];
        if (it.kind == 0)
            continue;
        const size_t cut = it.source.rfind(SourceSep());
        const bool below = cut != it.source.npos && refusedFolders.count(it.source.substr(0, cut)) > 0;
        const std::vector<size_t>& same = byKey[keys[i]];
        if (!below && same.size() < 2)
            continue;
        if (!below) {
            // The others lie in the same folder: their names say enough.
            std::u16string others;
            for (const size_t j : same)
                if (j != i) {
                    const std::u16string& o = m_items[j].source;
                    others += (others.empty() ? u"" : u", ") + o.substr(o.rfind(SourceSep()) + 1);
                }
            Error(LoadResString(IDS_SAME_ON_CONTROL_SYSTEM).toStdU16String(), it.source, others);
        }
        if (it.kind == 1)
            refusedFolders.insert(it.source);
        it.kind = 0;
        it.total = 0;
        it.done = 0;
        it.finished = true;
        m_success = false;
    }
}

void FileOpEngine::Landed(size_t index)
{
    FileOpItem& it = m_items[index];
    const auto [at, fresh] = m_landed.try_emplace(TargetKey(it), index);
    if (!fresh && at->second != index) {
        // A later file went where an earlier one's bytes were: the earlier
        // source keeps its bytes, and the operation says so.
        FileOpItem& earlier = m_items[at->second];
        earlier.delivered = false;
        m_success = false;
        Error(LoadResString(IDS_SAME_ON_CONTROL_SYSTEM).toStdU16String(), earlier.source, it.source);
        at->second = index;
    }
    it.delivered = true;
}

bool FileOpEngine::LinkGone()
{
    if (!m_object)
        return false;
    if (m_object->ControlSystemSilent() || m_object->LinkDown())
        return true;
    // A link never established since it was opened: gone once a request
    // of this operation ended because the link failed.
    return m_linkFailed && !m_object->IsEstablished();
}

void FileOpEngine::EndWaiting()
{
    const bool deleting = m_operation == OpDelete || m_stage == Stage::Delete;
    const std::u16string line =
        LoadResString(deleting ? IDS_NOT_DELETED_LINK_GONE : IDS_NOT_COPIED_LINK_GONE).toStdU16String();
    for (FileOpItem& it : m_items) {
        if (it.finished || it.inProgress)
            continue;
        const bool waits = m_stage == Stage::Scan       ? true
                           : m_stage == Stage::Transfer ? it.kind == 2
                           : m_stage == Stage::Delete   ? DeleteEligible(it)
                                                        : false;
        if (!waits)
            continue;
        it.finished = true;
        // An entry not known or a folder not listed yet: nothing is made
        // or removed for it later.
        if (m_stage == Stage::Scan)
            it.kind = 0;
        m_success = false;
        Error(line, it.source);
    }
}

} // namespace linkui
