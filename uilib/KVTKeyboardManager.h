#pragma once
// The keyboard manager: one per process.  Its content (the frames' key
// assignments and their stored state) comes later; until then it answers
// TRUE and knows no keys.

#include <QString>

#include <cstdint>

class QWidget;
namespace ui {
class MainFrameBase;
}

class CKVTKeyboardManager
{
public:
    CKVTKeyboardManager();
    virtual ~CKVTKeyboardManager();
    CKVTKeyboardManager(const CKVTKeyboardManager&) = delete;
    CKVTKeyboardManager& operator=(const CKVTKeyboardManager&) = delete;
    static CKVTKeyboardManager* Instance();

    virtual bool LoadState(const QString* profile, ui::MainFrameBase* frame)
    {
        (void)profile;
        (void)frame;
        return true;
    }
    virtual bool SaveState(const QString* profile, ui::MainFrameBase* frame)
    {
        (void)profile;
        (void)frame;
        return true;
    }
    // The shortcut text of a command in the frame's tables; FALSE: none.
    virtual bool FindDefaultAccelerator(uint32_t command, QString& text, QWidget* frame);
};
