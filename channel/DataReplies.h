#pragma once
// The "gv" and "gb" texts of the traffic data download: which request the firmware knows, where a
// download starts, and the record size the detector announces. The program, the command line and
// the fleets all read them here, so a reply means the same to each.

#include <ctime>
#include <string>

// Firmware below this number knows only "gd" and sends bytes no reader can interpret.
constexpr int FirstRecordFirmware = 38;

// The integer after the last blank of the "gv" text, one enclosing double quote dropped at each
// end; 0 when there is no blank or no integer there.
int FirmwareNumber(const std::string& firmwareVersion);

// The start of the "gb ltim=" request: "0" for all data, else the local wall-clock time `days`
// days before `now` as "yyyy-mm-dd hh:nn:ss". Days that are not finite count as 0.
std::string DownloadStartText(double days, std::time_t now);

// The record size of a "gb stat" reply: the integer between the first "=" and the last ",";
// 0 when missing or not an integer.
int StatRecordSize(const std::string& line);
