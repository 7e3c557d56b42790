// The job-storage notice of a printed document: the document events of the
// driver (driver/document/document_events.cpp) hand its texts to the
// shower installed here, on the document's notice thread, which shows the
// notice GTimedDialog (template 11540, ten seconds) modally without an
// owner from the resource library, with the context's companion file for
// help.
//
// Any thread: each notice is a dialog of its own.
#pragma once

#include "driver/driver_context.h"

// Shows `notice` and answers its show-again flag (0: the user asked not to
// see it again); 1 when the dialog could not be shown.
int ShowJobStorageNotice(const GJobStorageNotice& notice);
// Makes the document events show their notices with ShowJobStorageNotice.
void InstallJobStorageNotice();
