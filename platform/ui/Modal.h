#pragma once
// Nested modal loops and message pumping on the user-interface thread.
//
// A quit request (QCoreApplication::quit(), the last window closing) that
// arrives while a nested loop or a pump runs is held: the pump during which
// it arrived reports it once (PumpMessages returns false), later pumps
// return true, and the request is issued again to the outermost event loop
// once no nested loop or pump runs any more.

#include <QObject>

#include <functional>

class QDialog;
class QEventLoop;

namespace ui {

// Runs fn with the nesting counted (for code that runs its own QEventLoop).
class NestedLoopScope
{
public:
    NestedLoopScope();
    ~NestedLoopScope();
    NestedLoopScope(const NestedLoopScope&) = delete;
    NestedLoopScope& operator=(const NestedLoopScope&) = delete;
};

// The number of nested loops and pumps running now.
int NestingDepth();
// True while a quit request is held.
bool QuitRequestHeld();

// Dispatches the waiting events once: while nothing is waiting idle runs
// with a counter from 0 upward until it returns false; then the waiting
// events are dispatched.  False when a quit request arrived during this
// call (once per request), else true.
bool PumpMessages(const std::function<bool(long count)>& idle = {});

// A modal run in three steps, so that a caller can start a request between
// the dialog's existence and its modal loop:
//   BeginModal shows the dialog application-modal (1; 0 when there is no
//   dialog), RunModal runs a nested loop until the dialog is done (returns
//   at once when it already is), EndModal hides it and gives its result.
int BeginModal(QDialog* dialog);
void RunModal(QDialog* dialog);
int EndModal(QDialog* dialog);

} // namespace ui
