#pragma once

#include <QString>
#include <functional>

// The boundary between our code and the Qt event loop. Every menu, timer, mouse and packet
// handler runs through here so that no exception ever crosses the event loop: an escaping error
// ends the handler and is shown in the application's error box.
namespace EventGuard {

// Runs the handler; on an error shows it at once. Returns false if the handler failed.
bool run(const std::function<void()> &handler);

// For handlers called while the serial event thread waits on us: the error box is shown after
// the current event has returned (so an open box never stalls delivery), and a message already
// shown since the last resetRepeats() is not shown again (a full disk fails on every frame).
bool runDeferred(const std::function<void()> &handler);

// Forget which messages runDeferred has shown; called when a reception starts.
void resetRepeats();

// The text shown for the current exception; call inside a catch block only.
QString currentErrorText();

} // namespace EventGuard
