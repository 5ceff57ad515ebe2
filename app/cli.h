// The program's own options on the command line of the windowed program:
// --help and --version answered GNU style, anything else beginning with
// "--" that the program does not know refused before any window opens.
// Single-dash arguments are Qt's (-platform, -style, ...) and are left to it.
#pragma once

// The exit code when the command line has been answered here (0 after
// --help or --version, 2 after an unrecognized option, with one line and a
// hint on standard error); -1 when the windows are to start.
int answerCommandLine(int argc, char **argv);
