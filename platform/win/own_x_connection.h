// X connections a library opens for itself (a renderer's window, a screen
// geometry query, the pointer sampler). Xlib has one error handler per
// process, whose default ends the program; errors on these connections are
// counted and, where the opener asked for it, logged, instead. Errors on
// every other connection go to the handler that was installed before.
#pragma once

typedef struct _XDisplay Display;

// Told of each X error on a connection: its code, the request's major
// code and the resource (window) it was about.
using OwnXErrorLog = void (*)(int errorCode, int requestCode, unsigned long resource);

// Opens the display `name` (nullptr: $DISPLAY); nullptr when it cannot.
// Errors on it go to `log` (nullptr: they are only counted).
Display* openOwnXConnection(const char* name, OwnXErrorLog log);
void closeOwnXConnection(Display* display);

// Keeps the program alive when the connection breaks (its server ended):
// Xlib's process-wide I/O error handler returns for it, and its exit
// handler sets *lost instead of ending the program. The connection is then
// unusable; it is let go with buryOwnXConnection.
void surviveOwnXConnectionLoss(Display* display, bool* lost);
// Lets go of a connection whose server went away. Xlib cannot close it
// without running its I/O error path again, so its socket is closed and the
// Display is kept, unused, for the rest of the process (a few kilobytes for
// each server that went away).
void buryOwnXConnection(Display* display);

// Whether the server has closed the connection: the socket reports a
// hang-up or an error, or reads as ended. Seen without a request, so a
// server that went away is noticed before Xlib runs into its end.
bool ownXServerClosed(Display* display);

// How many X errors arrived on own connections so far (all of them).
int ownXConnectionErrors();
