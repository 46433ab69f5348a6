// SPDX-License-Identifier: Apache-2.0
// Ctrl-C while a `continue` waits: the wait ends and the session goes on (the core too).
#ifndef ORVANE_DEBUG_INTERRUPT_H
#define ORVANE_DEBUG_INTERRUPT_H

// From now on Ctrl-C sets the flag instead of ending the session.  A program the session
// runs meanwhile still ends on Ctrl-C (a caught signal is back to its default after exec).
void catch_interrupt();
// Clears the flag.
void clear_interrupt();
bool interrupt_requested();

#endif
