#pragma once
// Attribute values are written between quotes and nothing is escaped: a value may carry one kind
// of quote, which the other kind then encloses, but a value carrying both cannot be written as it
// is. Such a value is refused where it is typed, never changed on its way into a file; so is one
// holding a line end.

#include <string>
#include <string_view>

inline bool HoldsBothQuotes(std::string_view value) {
    return value.find('"') != std::string_view::npos && value.find('\'') != std::string_view::npos;
}

// The command line's reason for refusing such a value, naming where it was given.
inline std::string BothQuotesRefusal(const std::string& field) {
    return field + " cannot hold both ' and \" quotes: it could not be stored as given";
}

// Documents are read with their line ends made CR LF, so a value holding a line end would read
// back changed; it is refused where it is given, as a value with both quotes is.
inline bool HoldsLineEnd(std::string_view value) {
    return value.find_first_of("\r\n") != std::string_view::npos;
}

inline std::string LineEndRefusal(const std::string& field) {
    return field + " cannot hold a line break: it could not be stored as given";
}
