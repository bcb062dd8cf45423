#pragma once

// The command line front end's exit statuses, the contract scripts rely on.
namespace dovra::cli {

enum ExitStatus : int {
    kExitCompleted = 0,   // the command ran to its end, whatever the answers (also --help, --version)
    kExitLoadFailed = 1,  // a settings folder was not found or a binary file could not be loaded; the
                          // command did not run
    kExitUsage = 2,       // bad arguments, or a path with no exact code page 932 form
    kExitWriteFailed = 3, // an output could not be written (the .new file, the _NEW folder)
    kExitLogLost = 4,     // the command ran to its end, but not all of its log, messages or questions
                          // could be written (a full disk, a closed stream, a reader that quit)
};

} // namespace dovra::cli
