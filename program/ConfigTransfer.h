#pragma once
// Configuration upload and firmware update of the connected detector: the sending dialog's
// exchange, the wait for the detector's "sc" reply, and the progress of the one-shot transfers.
// The controller keeps the operations and hands them here.

#include <optional>
#include <string>

class TZelmont_box;

class TConfigTransfer final {
public:
    explicit TConfigTransfer(TZelmont_box& box) : Box(box) {}
    TConfigTransfer(const TConfigTransfer&) = delete;
    TConfigTransfer& operator=(const TConfigTransfer&) = delete;

    // One upload at a time waits for its "sc" reply, so a reply always answers the upload
    // before it, never an older one whose reply was lost.
    static constexpr unsigned UploadReplyTimeoutMs = 10000;
    struct TUploadWait {
        std::string Text; // what went out, checked against the count the detector reports
        unsigned WaitedMs = 0;
    };
    std::optional<TUploadWait> UploadInFlight;
    // An upload whose wait ran out: a reply that still comes belongs to it.
    std::optional<std::string> OverdueUpload;

    void AskConfigUpload();
    void UploadConfig();
    void HandleUploadReply(const std::string& line);
    // Counts the wait for an upload's reply, one timer period a call, and ends it after the
    // time-out.
    void WaitForUploadReply(unsigned periodMs);
    // The connection went: the upload waiting on it will get no reply.
    void ForgetUpload();
    // 1 sent, 0 failed, -1 cancelled.
    int UploadFirmware();
    void ShowTransferProgress(long long total, long long done);

private:
    void PlaceSendingForm();

    TZelmont_box& Box;
};
