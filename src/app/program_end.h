// Ending the program, and the changes an end must wait for.
//
// With nothing running, closing the main window ends the process at once. While an addition or a
// deletion runs, it stops before its next address, refreshes the view and stores what the adapter
// then has bound; the process ends when it is done, or after the context's close timeout at the
// latest (a service call that hangs is not waited for longer).
#pragma once

#include "app/adapter_model.h"

namespace corvane::app {

class AppContext;

// The user closed the main window.
void CloseMainWindow(AppContext& context);
// Ends the process with exit code 0.
void EndProcess(AppContext& context);

// The adapter selected now, with its GUID name from the current snapshot (index -1 and no name
// when none is selected or the snapshot does not hold it).
ChangeTarget SelectedTarget(AppContext& context);

// An addition or deletion starts: false once the program is finishing, and it must not start.
bool BeginChange(AppContext& context);
// It has ended (after its store); ends the process when a close was waiting for it.
void EndChange(AppContext& context);
// A close is waiting: the running change does not touch another address.
bool ChangeMustStop(AppContext& context);

}  // namespace corvane::app
