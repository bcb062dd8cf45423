#pragma once

class QApplication;

// The application: sets Qt up for a Japanese, high-DPI desktop tool, runs the main dialog modally and ends
// the program when the dialog ends. The tool has no settings; its command line has only --help and --version
// (Qt's own options, such as -platform, still apply).
class CDovraUpdaterApp {
public:
    int Run(int argc, char** argv);

    // The name and version that --version and the About box show.
    static void SetIdentity(QApplication& application);
    // Name, version, the Japanese UI font and Qt's own texts in Japanese for every window of the
    // application, message boxes included.
    static void ApplyLook(QApplication& application);

private:
    // Answers --help and --version and ends the program there, as desktop programs do.
    static void ParseCommandLine(const QApplication& application);
};
