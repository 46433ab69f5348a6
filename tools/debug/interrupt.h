// Ctrl-C while a `continue` waits: the wait ends and the session goes on (the core too).
#ifndef ORVANE_DEBUG_INTERRUPT_H
#define ORVANE_DEBUG_INTERRUPT_H

// From now on Ctrl-C sets the flag instead of ending the session; the flag starts clear.
void catch_interrupt();
// Ctrl-C ends the session again (at the prompt, as in any shell without a job to stop).
void release_interrupt();
bool interrupt_requested();

#endif
