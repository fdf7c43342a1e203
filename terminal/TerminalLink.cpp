#include "terminal/TerminalLink.h"

#include "terminal/NotificationPipe.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

// Deliberately never destroyed; see the header.
TNotificationPipe* Pipe() {
    static auto* pipe = new TNotificationPipe;
    return pipe;
}

QPointer<TTerminalLink> Current;

} // namespace

TTerminalLink::TTerminalLink(int readEnd)
    : QObject(QCoreApplication::instance()),
      Reader(new QSocketNotifier(readEnd, QSocketNotifier::Read, this)) {
    connect(Reader, &QSocketNotifier::activated, this, &TTerminalLink::ReadNotices);
}

TTerminalLink* TTerminalLink::Instance() {
    if (!Current && QCoreApplication::instance() != nullptr && Pipe()->IsOpen())
        Current = new TTerminalLink(Pipe()->ReadEnd());
    return Current;
}

bool TTerminalLink::Bind(const std::string& fileName, TTransportLibrary& lib,
                         std::string* problem) {
    if (!LoadTransportLibrary(fileName, lib, problem))
        return false;
    if (!Pipe()->Open()) {
        if (problem != nullptr)
            *problem = "no notification pipe";
        return false;
    }
    Instance();
    // Only the first registration counts in the library, and it is always this same pipe.
    if (lib.ZelmontInit != nullptr)
        lib.ZelmontInit(Pipe()->WriteEnd(), WM_TERMINAL);
    return true;
}

void TTerminalLink::ReadNotices() {
    for (const ZELMONT_NOTICE& notice : Pipe()->Take()) {
        if (notice.message == WM_TERMINAL)
            emit Notice(notice.wParam, notice.lParam);
    }
}
