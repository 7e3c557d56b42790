// The locks of the font handling. The font pool, its readers and the font
// database are reached from every job's thread whether or not the driver
// services exist (a process may make the pool before it installs them), so
// none of them may go unlocked: each takes the lock the services make and,
// without services, the platform's semaphore (services/lock.h),
// which is what the services make too.
//
// Threads: NewFontLock may be called from any thread; EnsureFontLock fills
// a slot once, whichever thread gets there first.
#pragma once

class GLock;

// A new lock (null only when no memory is left); the caller owns it.
GLock* NewFontLock();
// Fills `*slot` with a new lock when it holds none.
void EnsureFontLock(GLock** slot);
