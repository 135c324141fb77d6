#pragma once
// The exit codes of the whole program, the window's and the commands'.

enum TExitCode : int {
    ecOk = 0,
    ecConnect = 1, // the connection or the login failed (or the window found no display)
    ecCommand = 2, // the command failed, or a message came up while it ran
    ecUsage = 3,   // the command line or a file it names cannot be used
    // A download arrived whole and was saved, but an error was reported after
    // it (by the unit, or the transfer's end): both are printed.
    ecSavedWithError = 4,
};
