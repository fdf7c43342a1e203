#pragma once
// The program's end of the transport library's notification pipe. The library keeps the first
// window it is given for the rest of the process, so there is one pipe for the whole program and
// it is never closed: a closed descriptor's number could be reused by a file the library would
// then write into.

#include "terminal/TransportLibrary.h"

#include <QObject>
#include <QSocketNotifier>

#include <string>

class TTerminalLink : public QObject {
    Q_OBJECT
public:
    // Loads the library (see LoadTransportLibrary) into `lib` and registers the pipe with it as
    // the window for WM_TERMINAL. False, with the reason in `problem`, when the library cannot
    // be loaded or the pipe cannot be made.
    static bool Bind(const std::string& fileName, TTransportLibrary& lib, std::string* problem);
    // The link of the running application; it is made by the first Bind.
    static TTerminalLink* Instance();

signals:
    // One per WM_TERMINAL notice, in the order the library wrote them.
    void Notice(int connectionId, int eventCode);

private:
    explicit TTerminalLink(int readEnd);
    void ReadNotices();

    QSocketNotifier* Reader;
};
