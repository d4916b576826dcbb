#pragma once
// The answers to the two questions of an extraction when a client has set
// no prompt hook: libvarnock shows no windows of its own (it links no user
// interface library), so without a hook the password question is declined
// and the overwrite question answered No. A client with windows (tavrin
// installs one over its Qt dialogs) or a test sets its own hook per object
// through IPromptHost.

#include <varnock/Varnock.h>

namespace varnock {

// The hook used when a client has set none.
const VarnockPromptHook& DefaultPromptHook();

// Lets the client process its pending window events (while an archive is
// being written), through the hook's processEvents when it has one.
void ProcessPendingEvents(const VarnockPromptHook* hook);

} // namespace varnock
