#pragma once
// What the text and binary documents share about the file they show: the
// watch for outside changes (on while the general flag 0x200 is set), kept
// off the file while the document itself writes or rereads it, ended when
// the document closes, and the questions after an outside change.

#include <QString>

#include <cstdint>
#include <functional>

class CFileChangeMonitor;
namespace ui {
class Document;
class MainFrameBase;
} // namespace ui

namespace watched {

// The general flag "watch files for outside changes".
bool Watching();
// The application's main window, or null.
ui::MainFrameBase* MainWnd();
void Watch(CFileChangeMonitor& monitor, const QString& path);
void Unwatch(CFileChangeMonitor& monitor, const QString& path);
// Runs op with the watch of both paths dropped; then watches `after` when
// op succeeded and `before` when it failed.  Returns op's result.
bool WithoutWatch(CFileChangeMonitor& monitor, const QString& before, const QString& after,
                  const std::function<bool()>& op);
// The end of the watch as the document closes; the main window's editor
// indicators go off with the last document of its template.
void EndWatch(CFileChangeMonitor& monitor, ui::Document& doc);
// After an outside change (`changed` or `gone` flags of the monitor):
// asks whether to reload a changed file (always when the document holds
// unsaved edits, else unless flag 0x100 says reload without asking), says
// that a file is gone (unless 0x100); true when the document should reload.
bool AskAfterOutsideChange(uint32_t flags, uint32_t changed, uint32_t gone, const QString& shownPath,
                           bool modified);
// Before the reload command: a document with unsaved edits asks whether to
// throw them away (Yes/No); true when the reload may go on.
bool AskBeforeReload(const QString& shownPath, bool modified);

} // namespace watched
