#pragma once
// The mouse manager (double-click commands of the views): one per process.
// Its content comes later; until then it answers TRUE and binds nothing.

#include <QString>

#include <cstdint>

class CKVTMouseManager
{
public:
    CKVTMouseManager();
    virtual ~CKVTMouseManager();
    CKVTMouseManager(const CKVTMouseManager&) = delete;
    CKVTMouseManager& operator=(const CKVTMouseManager&) = delete;
    static CKVTMouseManager* Instance();

    virtual bool LoadState(const QString* profile)
    {
        (void)profile;
        return true;
    }
    virtual bool SaveState(const QString* profile)
    {
        (void)profile;
        return true;
    }
    // The command bound to a view's double-click; 0 for none.
    virtual uint32_t GetViewDblClickCommand(int viewId) const
    {
        (void)viewId;
        return 0;
    }
};
