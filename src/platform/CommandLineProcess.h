#pragma once

#include <string>
#include <string_view>
#include <vector>

// A command-line process: its set-up, its arguments, its standard streams
// and the terminal they may go to.
namespace varo {

// Sets the process up for a command-line run: a full disk fails a write
// instead of ending the program, freed memory is kept for reuse (a run builds
// a few large buffers one after another).
void PrepareCommandLineProcess();

// Writes UTF-8 text to the standard output or error stream: to a console as
// the characters themselves (on Windows as wide text, leaving the console's
// code page alone), to a file or a pipe as the UTF-8 bytes.
void WriteStandardOutput(std::string_view utf8);
void WriteStandardError(std::string_view utf8);

// The program's arguments as UTF-8; on Windows read from the wide command
// line, so that names the ANSI code page cannot hold arrive whole.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// True when the standard error stream is a terminal (not a pipe or a file).
bool StandardErrorIsTerminal();

// How many characters a line of the terminal on the standard error stream
// holds; 80 when it cannot be told.
int StandardErrorColumns();

// True when the user reads Chinese: Windows asks the user's interface
// language; elsewhere the first of LC_ALL, LC_MESSAGES and LANG that is set
// names a locale starting with "zh".
bool UserInterfaceIsChinese();

}  // namespace varo
