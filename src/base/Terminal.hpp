// The console a program writes to: whether standard error is a terminal (a
// person watching) rather than a file or a pipe, and how wide it is. The one
// place that asks the platform. Thread-safe; nothing throws.
#pragma once

namespace tessmar {

// Standard error, standard output is a terminal.
bool StderrIsTerminal();
bool StdoutIsTerminal();

// The width of the terminal on standard error, in columns; 0 when it is no
// terminal or does not say.
int StderrColumns();

}  // namespace tessmar
