#pragma once
// What the project document's logic needs from the application, without
// Qt: the output window, the options, the event pump, saving the open
// documents, the program's folder, and the questions and messages the
// document shows.  The windows' layer implements it (projectui/ProjectHost.h
// derives from it and answers the questions with message boxes); a test
// without Qt implements it directly.

#include "core/common/AppSettings.h"
#include "core/common/OutputSink.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// The buttons and icon of a question: the Windows message-box values, which
// the windows' layer passes on as they are.
enum AskStyle : uint32_t
{
    ASK_OK = 0x0,
    ASK_YESNOCANCEL = 0x3,
    ASK_YESNO = 0x4,
    ASK_ICONERROR = 0x10,
    ASK_ICONQUESTION = 0x20,
    ASK_ICONEXCLAMATION = 0x30,
    ASK_ICONINFORMATION = 0x40,
    ASK_DEFBUTTON2 = 0x100,
};

// The button chosen.
enum AskAnswer : int
{
    ANSWER_OK = 1,
    ANSWER_CANCEL = 2,
    ANSWER_YES = 6,
    ANSWER_NO = 7,
};

// The window a question belongs to: none (the framework's choice), or the
// main window.
enum class AskOwner
{
    None,
    MainWindow
};

class DocumentHost
{
public:
    virtual ~DocumentHost();

    // The output window; may be null (callers then skip the output).
    virtual OutputSink* GetOutputCtrl() = 0;
    virtual const AppSettings& GetAppSettings() = 0;
    // Handles the waiting events; false when the program was asked to end.
    virtual bool PumpMessages() = 0;
    // Saves every modified document; false when a save failed.
    virtual bool OnFileSaveAll() = 0;
    // The folder of the running program with a trailing separator.
    virtual std::u16string ProgramFolder() = 0;
    // Shows a question or a message of the project document and returns
    // the button chosen (an AskAnswer).  An empty caption is the program's
    // name.
    virtual int Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
                    AskOwner owner) = 0;
};

} // namespace core
