#include "cli/LiveFeed.h"

#include "channel/DetectorProtocol.h"

TLiveFeed::~TLiveFeed() {
    Close();
}

bool TLiveFeed::Open(const TSyncTarget& target) {
    Close();
    Connected = SyncLogin(target);
    if (!Connected)
        SyncClose();
    return Connected;
}

void TLiveFeed::Close() {
    if (Connected)
        SyncClose();
    Connected = false;
    Pending.clear();
}

bool TLiveFeed::Send(const std::string& command) {
    return Connected && SyncSendText(command + "\r\n");
}

bool TLiveFeed::NextLine(std::string& line) {
    const size_t crlf = Pending.find("\r\n");
    if (crlf != std::string::npos) {
        line = Pending.substr(0, crlf);
        Pending.erase(0, crlf + 2);
        return true;
    }
    // The channel reads afresh up to its first line end: what we hold is that line's beginning.
    std::string piece, rest;
    if (!Connected || SyncReadLine(piece, rest) < 0)
        return false;
    line = Pending + piece;
    Pending = std::move(rest);
    return true;
}

bool TLiveFeed::TakeBody(const std::string& line, std::string& body) {
    body.clear();
    long long n = 0;
    if (line.size() < 2 || (line.compare(0, 2, "gc") != 0 && line.compare(0, 2, "gp") != 0) ||
        !AnnouncedCount(line, n) || n <= 0)
        return true;
    if (n > MaxBodySize)
        return false;
    const size_t size = static_cast<size_t>(n);
    const size_t have = std::min(size, Pending.size());
    body.assign(Pending, 0, have);
    Pending.erase(0, have);
    if (have == size)
        return true;
    body.resize(size);
    const size_t got =
        SyncReceive(reinterpret_cast<std::uint8_t*>(body.data()) + have, size - have, {});
    return got == size - have;
}

int TLiveFeed::Poll(std::string& line, int ms) {
    if (Pending.find("\r\n") == std::string::npos && Connected && !SyncWaitReadableFor(ms))
        return 0;
    return NextLine(line) ? 1 : -1;
}

bool TLiveFeed::Await(const std::string& code, std::string& line, std::string& body) {
    for (;;) {
        if (!NextLine(line) || !TakeBody(line, body))
            return false;
        if (line.compare(0, code.size(), code) == 0)
            return true;
        if (OnOtherLine)
            OnOtherLine(line);
    }
}
