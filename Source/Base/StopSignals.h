// SIGINT, SIGTERM and SIGHUP as an orderly request to quit. SIGHUP (the
// terminal or the desktop session went away) also stops the recordings
// first and makes the exit code non-zero.
//
// BlockStopSignals must run first in main, before any thread is started, so
// that every thread inherits the blocked mask and the signals stay pending
// for the UI thread, which takes them through a signalfd: WaitForStopSignal
// sleeps until one arrives (no window yet), StopSignalPending polls once per
// main-loop pass. With a window, SDL must not install its own handlers
// (SDL_HINT_NO_SIGNAL_HANDLERS "1"); the main loop checks StopSignalPending
// and leaves the loop like a window close, so the shut-down is the same.
#pragma once

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread and opens the signalfd.
// False when the descriptor cannot be made (the signals then stay blocked
// and WaitForStopSignal falls back to sigwait).
bool BlockStopSignals();

// Sleeps until SIGINT or SIGTERM arrives; returns the signal number.
int WaitForStopSignal();

// True (and the signal consumed) when SIGINT, SIGTERM or SIGHUP has arrived.
bool StopSignalPending();
// The signal StopSignalPending took last (0 before any).
int LastStopSignal();

// The signalfd (readable when a stop signal is pending), or -1.
int StopSignalDescriptor();
