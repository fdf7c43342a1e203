#pragma once
// Address-book entries and their file "hosts.ini" (an XML document despite its name). No toolkit:
// the dialog, the controller and the tests share this code.

#include <ctime>
#include <string>
#include <vector>

class THostRec {
public:
    std::string Caption;
    std::string Address;
    int Port = 0;
    std::string Login;
    std::string Password;
    std::time_t Created = 0; // seconds since the epoch; 0 = never set

    void Assign(const THostRec& other) { *this = other; }
    void Clear() { *this = THostRec(); }
    bool operator==(const THostRec&) const = default;
};

// The dotted IPv4 check of the address book, also used for the settings dialog's network edits.
// Leading zeros are allowed and a fourth dot does not fail the text.
bool IsValidIpAddress(const std::string& text);

// A port text as the address book reads it: optional blanks and sign, decimal digits, within int;
// anything else gives `fallback`.
int PortFromText(const std::string& text, int fallback = 8080);

// "dd.mm.yyyy hh:nn:ss" in local time. The unset time 0 is written as the zero date of the file's
// original writer, "30.12.1899 00:00:00", and that date reads back as 0.
std::string FormatCreated(std::time_t created);
// Day.month.year with an optional "h:nn" or "h:nn:ss" after a blank; 0 when it cannot be read.
std::time_t ParseCreated(const std::string& text);

enum class THostsLoad {
    Missing,    // no such file; the records are left alone
    Unreadable, // exists but cannot be read; the records are left alone
    Loaded,     // parsed as a document
    Recovered,  // did not parse; the entries that could be read one by one were taken
};

// The entries of a document text. False when the text does not parse as a document; the entries
// then come from reading each element on its own, so one broken entry does not cost the others.
bool HostRecordsFromText(const std::string& text, std::vector<THostRec>& records);
// The exact file contents for the entries: top element "kervola", one "rec" per entry, CR LF.
std::string HostsFileText(const std::vector<THostRec>& records);

// Replaces `records` only for Loaded and Recovered; `error` gets the reason for Unreadable.
THostsLoad LoadHostsFile(const std::string& path, std::vector<THostRec>& records,
                         std::string* error = nullptr);
// Copies a file that loaded as Recovered to `path` + ".bak" (mode 0600) before the recovered
// list is written over it, so that whatever could not be read is not lost with it. The name of
// the copy, or empty when it could not be made.
std::string KeepDamagedHostsFile(const std::string& path);
// Writes through a temporary file in the same folder and renames it over `path`, mode 0600 since
// the file holds passwords. An existing file that cannot be read is not replaced, and an empty list
// never replaces a file that holds entries (that case succeeds without writing). On failure the
// old file stays and `error` gets a text naming the path and the system's reason.
bool SaveHostsFile(const std::string& path, const std::vector<THostRec>& records,
                   std::string* error = nullptr);
