// X connections a library opens for itself (a renderer's window, a screen
// geometry query). Xlib has one error handler per process, whose default
// ends the program; errors on these connections are counted and, where the
// opener asked for it, logged, instead. Errors on every other connection go
// to the handler that was installed before.
#pragma once

typedef struct _XDisplay Display;

// Told of each X error on a connection: its code, the request's major
// code and the resource (window) it was about.
using OwnXErrorLog = void (*)(int errorCode, int requestCode, unsigned long resource);

// Opens the display `name` (nullptr: $DISPLAY); nullptr when it cannot.
// Errors on it go to `log` (nullptr: they are only counted).
Display* openOwnXConnection(const char* name, OwnXErrorLog log);
void closeOwnXConnection(Display* display);
// Drops the connection from the list without closing it through Xlib: for
// a connection whose server went away, which Xlib cannot close without
// running its error path again (its socket is closed by the caller).
void forgetOwnXConnection(Display* display);

// How many X errors arrived on own connections so far (all of them).
int ownXConnectionErrors();
