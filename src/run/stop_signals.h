// A clean stop on SIGINT or SIGTERM for runs that go on until told: the first signal asks the run to
// stop once the current micrograph is done (its STAR row complete), a second one ends the program
// at once, as the signal would without this.
#pragma once

// Installs the handlers; call once, before the run's loop.
void stop_on_signals();

// Whether a stop signal has arrived, and its name ("SIGINT", "SIGTERM") or null.
bool stop_requested();
const char* stop_signal_name();

// Sleeps for up to `seconds`, returning early when a stop signal arrives.
void sleep_unless_stopped(double seconds);
