#pragma once

// The command line front end's exit statuses, the contract scripts rely on.
namespace dovra::cli {

enum ExitStatus : int {
    kExitCompleted = 0,   // the command ran to its end, whatever the answers (also --help, --version)
    kExitLoadFailed = 1,  // a binary file could not be loaded; the command did not run
    kExitUsage = 2,       // bad arguments, or a path with no exact code page 932 form
    kExitWriteFailed = 3, // an output could not be written (the .new file, the _NEW folder)
};

} // namespace dovra::cli
