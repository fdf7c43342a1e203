#include "data/DataDownload.h"
#include "platform/FileReplace.h"
#include "platform/TextHelpers.h"

#include "data/velt_data.h"
#include "program/DetectorProtocol.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

struct TBlock {
    std::size_t Received = 0;
    long long Announced = 0;
};

// The block that answers `command`. The channel reports the announced size as the total of its
// last progress call, which tells a block that stopped half-way from a whole one.
TBlock RequestBlock(const std::string& command, std::uint8_t* buffer,
                    const TProgressProc& progress) {
    TBlock block;
    const TProgressProc watch = [&block, &progress](long long total, long long done) {
        block.Announced = total;
        if (progress)
            progress(total, done);
    };
    block.Received = SyncRequestBlock(command + "\r\n", buffer, TransferBufferSize, watch);
    return block;
}

std::string AsText(const std::uint8_t* data, std::size_t n) {
    return {reinterpret_cast<const char*>(data), n};
}

TDownloadOutcome Finish(TDownloadOutcome outcome, const std::string& file,
                        const std::string& bytes) {
    if (!WriteFileReplacing(file, bytes))
        outcome.Status = TDownloadStatus::WriteError;
    return outcome;
}

} // namespace

int FirmwareNumber(const std::string& firmwareVersion) {
    std::string text = firmwareVersion;
    if (!text.empty() && text.front() == '"')
        text.erase(0, 1);
    if (!text.empty() && text.back() == '"')
        text.pop_back();
    const std::size_t blank = text.rfind(' ');
    if (blank == std::string::npos)
        return 0;
    return StrToIntDef(text.substr(blank + 1), 0);
}

std::string DownloadStartText(double days, std::time_t now) {
    if (!std::isfinite(days) || days == 0)
        return "0";
    // A typed number may be anything; a few thousand years either way still formats sanely.
    days = std::clamp(days, -1.0e6, 1.0e6);
    std::tm local{};
    if (!::localtime_r(&now, &local))
        return "0";
    // Days back on the wall clock, as the user reads it, not in elapsed seconds.
    const double wall = static_cast<double>(now) + static_cast<double>(local.tm_gmtoff);
    const std::time_t start = static_cast<std::time_t>(std::floor(wall - days * 86400.0));
    std::tm t{};
    if (!::gmtime_r(&start, &t))
        return "0";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

int StatRecordSize(const std::string& line) {
    const std::size_t equal = line.find('=');
    const std::size_t comma = line.rfind(',');
    if (equal == std::string::npos || comma == std::string::npos || comma < equal)
        return 0;
    return StrToIntDef(line.substr(equal + 1, comma - equal - 1), 0);
}

bool IsBinaryFileName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    return AsciiLower(path.substr(dot)) == ".bin";
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes) {
    std::string reason;
    return ReplaceFileContents(path, bytes, OrdinaryFile, reason);
}

TDownloadOutcome DownloadDataFile(const TDownloadRequest& request) {
    TDownloadOutcome outcome;
    if (!SyncLogin(request.Target)) {
        SyncClose();
        return outcome;
    }
    // Allocated for this transfer only, and not cleared: only received bytes are read.
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(TransferBufferSize);
    TBlock block;
    if (request.Firmware < FirstRecordFirmware) {
        block = RequestBlock("gd", buffer.get(), request.Progress);
    } else {
        std::string line, rest;
        const bool answered = SyncSendText("gb stat\r\n") && SyncReadLine(line, rest) >= 0;
        outcome.RecordSize = answered ? StatRecordSize(line) : 0;
        // Without a record size the records cannot be counted, let alone converted.
        if (outcome.RecordSize == 0) {
            SyncClose();
            outcome.Status = TDownloadStatus::NoRecordSize;
            return outcome;
        }
        block = RequestBlock("gb ltim=" + request.StartText + ",0", buffer.get(), request.Progress);
    }
    SyncClose();

    outcome.Bytes = static_cast<long long>(block.Received);
    if (outcome.RecordSize > 0)
        outcome.Records = outcome.Bytes / outcome.RecordSize;
    // A block cut short must not be written as if it were the detector's data.
    if (static_cast<long long>(block.Received) < block.Announced) {
        outcome.Status = TDownloadStatus::ShortTransfer;
        return outcome;
    }
    outcome.Status = block.Received > 0 ? TDownloadStatus::Done : TDownloadStatus::NoData;
    const bool raw = request.Firmware < FirstRecordFirmware || IsBinaryFileName(request.File);
    if (raw) {
        if (block.Received == 0)
            return outcome;
        return Finish(outcome, request.File, AsText(buffer.get(), block.Received));
    }
    if (!IsKnownRecordSize(outcome.RecordSize)) {
        outcome.Status = TDownloadStatus::UnknownRecordSize;
        return outcome;
    }
    std::string table;
    if (!RecordsToText(buffer.get(), block.Received, outcome.RecordSize, StandardBiasMinutes(),
                       table)) {
        outcome.Status = TDownloadStatus::NotWholeRecords;
        return outcome;
    }
    outcome.Table = true;
    // An empty answer still leaves an empty table, and still counts as a failed download.
    return Finish(outcome, request.File, table);
}

std::string DescribeOutcome(const TDownloadOutcome& outcome) {
    const std::string bytes = std::to_string(outcome.Bytes) + " bytes";
    switch (outcome.Status) {
    case TDownloadStatus::Done:
        if (outcome.RecordSize > 0)
            return bytes + ", " + std::to_string(outcome.Records) + " records of " +
                   std::to_string(outcome.RecordSize) + " bytes";
        return bytes;
    case TDownloadStatus::NoConnection:
        return "cannot connect and log in";
    case TDownloadStatus::NoData:
        return "no data";
    case TDownloadStatus::ShortTransfer:
        return "transfer stopped after " + bytes;
    case TDownloadStatus::NoRecordSize:
        return "no record size in the \"gb stat\" reply";
    case TDownloadStatus::NotWholeRecords:
        return bytes + " are not a whole number of " + std::to_string(outcome.RecordSize) +
               "-byte records";
    case TDownloadStatus::UnknownRecordSize:
        return "Format error: Unknown record size: " + std::to_string(outcome.RecordSize);
    case TDownloadStatus::WriteError:
        return "write error";
    }
    return {};
}
