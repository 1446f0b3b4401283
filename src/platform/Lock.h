#pragma once

#include <functional>
#include <mutex>

// The one process-wide lock. Re-entrant, because progress handlers pump
// pending events on the same thread and may start the component again.
std::recursive_mutex& GlobalLock();

// Processes pending window messages. The window points the hook at its event
// loop; without a hook this does nothing.
void ProcessMessages();
// Installs Hook (empty: none); returns the previous hook.
std::function<void()> SetProcessMessagesHook(std::function<void()> Hook);
