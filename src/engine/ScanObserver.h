#pragma once

#include <QString>

// How a scan talks to whoever drives it. The window shows the texts and pumps its event
// loop in Yield; the command line prints progress now and then; tests record.
class ScanObserver {
public:
    virtual ~ScanObserver() = default;

    // The full path of a file that passed the attribute filters (it counts as processed).
    virtual void DisplayFileName(const QString& path) = 0;
    // False when DisplayFileName only counts: the scan then passes an empty text and
    // spares building a path per file.
    virtual bool WantsFileNames() const { return true; }
    // A phase text such as "Processing. This could take a couple of minutes. Please
    // wait..."; shown, not counted.
    virtual void DisplayStatus(const QString& text) = 0;
    // A chance for the user interface to run. Called at least every 50 ms while the scan
    // works; may set the scan's cancel flag.
    virtual void Yield() = 0;
};
