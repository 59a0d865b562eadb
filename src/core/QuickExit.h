#pragma once

// Ends the process with the given code once the program's own objects are
// gone, without the exit handlers of the libraries still loaded: Qt's
// PulseAudio backend drops its server connection in such a handler without
// holding its main-loop lock, and now and then aborts the program when its
// loop thread is handling a message just then. Standard streams are flushed,
// and a sanitizer build runs its leak check, before the end.
[[noreturn]] void quickExit(int code);
