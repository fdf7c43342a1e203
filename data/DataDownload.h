#pragma once
// Download of the detector's buffered traffic data over one one-shot connection, into a file of
// the bytes as received or a text table. Toolkit-free and without shared state: the program, the
// command line and downloads from several detectors at once on their own threads all run it.

#include "channel/DataReplies.h"
#include "channel/velt_winsock.h"

#include <ctime>
#include <string>

// True when the file's extension is ".bin" in any case.
bool IsBinaryFileName(const std::string& path);

// Writes the bytes to a temporary file in the same folder and renames it over `path`, so that a
// failed write leaves any older file as it was.
bool WriteFileReplacing(const std::string& path, const std::string& bytes);

struct TDownloadRequest {
    TSyncTarget Target;
    int Firmware = 0;
    std::string StartText = "0";
    std::string File;
    TProgressProc Progress;
};

enum class TDownloadStatus {
    Done,              // Bytes > 0 written
    NoConnection,      // the one-shot connection did not open or log in
    NoData,            // nothing announced, or more than the transfer buffer holds
    ShortTransfer,     // the announced bytes did not all arrive: nothing written
    NoRecordSize,      // "gb stat" gave no usable size
    NotWholeRecords,   // the bytes are no whole number of records: nothing written
    UnknownRecordSize, // a size none of the three layouts has: nothing written
    WriteError,        // the file could not be written; an older one stays as it was
};

struct TDownloadOutcome {
    TDownloadStatus Status = TDownloadStatus::NoConnection;
    long long Bytes = 0;   // received
    int RecordSize = 0;    // 0 for firmware that sends no record size
    long long Records = 0; // whole records, when the size is known
    bool Table = false;    // written as a text table, not as received
};

// Logs in, asks for the data as the firmware number requires, writes the file and closes the
// connection again. Blocks the calling thread for the transfer (every wait bounded).
TDownloadOutcome DownloadDataFile(const TDownloadRequest& request);

// One line for a person: what went wrong, or what was written.
std::string DescribeOutcome(const TDownloadOutcome& outcome);
