#pragma once
// The keyboard manager: one per process.  It makes the accelerator tables
// of the main frame (table id 0) and of the document templates (table id =
// the template's resource id) editable: the keyboard page rebuilds the live
// tables at once, the workspace stores them at its save and restores them
// at its load, and the toolbars ask it for the shortcut text of a command.
//
// Stored form: GetRegPath("KVTKeyboardManager", profile) + "KVTKeyboard-<id>",
// binary value "Accelerators": 6-byte records (flags, 0, key u16 LE,
// command u16 LE) back to back.  The key codes are those of
// ui::VirtualKeyFromQt.

#include "platform/sys/RegistryTable.h"
#include "platform/ui/Accel.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QWidget;
namespace ui {
class DocTemplate;
class MainFrameBase;
} // namespace ui

class CKVTKeyboardManager
{
public:
    CKVTKeyboardManager();
    virtual ~CKVTKeyboardManager();
    CKVTKeyboardManager(const CKVTKeyboardManager&) = delete;
    CKVTKeyboardManager& operator=(const CKVTKeyboardManager&) = delete;
    static CKVTKeyboardManager* Instance();

    // "KVTKeyboardManager"
    static QString SectionName();

    // Installs a table: with a template, the template's table and that of
    // every child frame of its documents that still holds the old one;
    // without, the frame's (the main window when frame is null).  TRUE when
    // there was an old table (the new one is installed all the same).
    virtual bool UpdateAcceleratorTable(ui::DocTemplate* tmpl, std::shared_ptr<const ui::AccelTable> table,
                                        ui::MainFrameBase* frame = nullptr);
    // Builds a table from the records (an empty array gives an empty
    // table) and installs it as above; TRUE.
    virtual bool UpdateAcceleratorTableFromArray(ui::DocTemplate* tmpl, const std::vector<ui::Accel>& accels,
                                                 ui::MainFrameBase* frame = nullptr);
    // Every template with a table reloads it from its resource; then the
    // main window's table from the frame's default resource (nothing when
    // that id is 0 or the resource is missing).
    virtual void ResetAll();

    virtual bool LoadState(const QString* profile, ui::MainFrameBase* frame);
    virtual bool SaveState(const QString* profile, ui::MainFrameBase* frame);
    // Writes "<path>KVTKeyboard-<id>"/"Accelerators"; TRUE when the key
    // could be created.
    virtual bool SaveAccelTable(const QString& path, int id, const ui::AccelTable& table);
    // Reads it; records of non-permitted commands get command 0.  FALSE
    // (table untouched) when the key or value is missing or empty.
    virtual bool LoadAccelTable(const QString& path, int id, std::shared_ptr<const ui::AccelTable>& table);

    // The shortcut text of a command in the frame's own table (the frame is
    // the main frame that holds the widget, else the main window); FALSE
    // when there is no frame, table or key.
    virtual bool FindDefaultAccelerator(uint32_t command, QString& text, QWidget* frame);

    // The stored form of records, and back (whole records only; a rest
    // shorter than a record is ignored).
    static std::vector<uint8_t> Encode(const std::vector<ui::Accel>& accels);
    static std::vector<ui::Accel> Decode(const std::vector<uint8_t>& bytes);
    // "Accelerators" as a table of the settings store: an entry per key
    // combination (the flags and the key), its record the entry's data.
    static sys::TableForm AcceleratorsTable();

    // The frame a widget belongs to (a main frame up the parent chain, or
    // the application's main window); null when there is none.
    static ui::MainFrameBase* FrameOf(QWidget* w);
    // The resource of a frame's own table (its GetDefaultResId).
    static uint32_t DefaultResId(ui::MainFrameBase* frame);
};
