#pragma once
// The one-shot command channel: a second, blocking connection to the detector for one
// administrative command or one file transfer. Every wait is bounded by SyncTimeoutMs, so an
// unreachable or silent detector never holds the program longer than that.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <vector>

constexpr int SyncTimeoutMs = 10'000;
constexpr size_t SyncPiece = 1024;
constexpr size_t TransferBufferSize = 32u * 1024 * 1024;

// (total, done) after every poll of a transfer.
using TProgressProc = std::function<void(long long total, long long done)>;

// The detector and the login of the main connection.
struct TSyncTarget {
    std::string Host;
    int Port = 0;
    std::string Login;
    std::string Password;
};

bool SyncOpen(const std::string& host, int port);
void SyncClose();
bool SyncWaitReadable();
// Readable (or closed by the peer) within `ms`; false on silence or an interrupting signal.
bool SyncWaitReadableFor(int ms);
bool SyncWaitWritable();
bool SyncSendBuffer(const std::uint8_t* data, size_t size, const TProgressProc& progress);
bool SyncSendText(const std::string& text);
size_t SyncReceive(std::uint8_t* destination, size_t count, const TProgressProc& progress);
// Length of the line, or -1 when the peer closed, failed or stayed silent for SyncTimeoutMs;
// `rest` holds what arrived after the line's CR LF.
int SyncReadLine(std::string& line, std::string& rest);
// As SyncReadLine, but first from `pending` (what an earlier read received after its line), which
// then holds what arrived after this line: for a peer whose replies may come together.
int SyncReadNextLine(std::string& pending, std::string& line);
// Bytes of the block announced by the reply to `command`, 0 when refused or failed.
size_t SyncRequestBlock(const std::string& command, std::uint8_t* buffer, size_t capacity,
                        const TProgressProc& progress);
// Opens, logs in, sends the command and returns the reply line; empty when there is no answer.
std::string Transact(const TSyncTarget& target, const std::string& command);
// Opens and logs in (the login answer is read and discarded).
bool SyncLogin(const TSyncTarget& target);

// Dotted IPv4 text as is, else the first IPv4 address of the name (network order); 0 when unknown.
unsigned int ResolveIPv4(const std::string& host);
// The peer address of a host, false when the name is unknown: a connect to 0.0.0.0 would reach
// this very machine on Linux, so an unknown detector must never become that address.
bool PeerAddress(const std::string& host, int port, sockaddr_in& peer);

std::uint16_t Checksum16(const std::uint8_t* data, size_t n);
size_t ReadFileToBuffer(std::vector<std::uint8_t>& buffer, size_t capacity,
                        const std::string& file);
size_t WriteBufferToFile(const std::uint8_t* data, size_t n, const std::string& file);
// False, with the reason, for a firmware file that is missing, unreadable or larger than the
// transfer buffer.
bool CheckUpdateFile(const std::string& file, std::string* problem = nullptr);
// The "ud" line and the file's bytes, on a channel already open and logged in. A file that
// CheckUpdateFile refuses, or that cannot be read whole, sends nothing and fails.
bool SendUpdateFile(const std::string& file, const TProgressProc& progress);
