#include "data/DataDownload.h"
#include "platform/FileReplace.h"
#include "platform/TextHelpers.h"

#include "channel/DataReplies.h"
#include "data/velt_data.h"

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
