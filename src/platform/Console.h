#pragma once

#include <string>
#include <vector>

namespace varo {

// Sets the process up for a command-line run: a full disk fails a write
// instead of ending the program, freed memory is kept for reuse (a run builds
// a few large buffers one after another), and the standard streams carry
// UTF-8, which a Windows console then shows as such.
void PrepareCommandLineProcess();

// The program's arguments as UTF-8; on Windows read from the wide command
// line, so that names the ANSI code page cannot hold arrive whole.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// True when the standard error stream is a terminal (not a pipe or a file).
bool StandardErrorIsTerminal();

}  // namespace varo
