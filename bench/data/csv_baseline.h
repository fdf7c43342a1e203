#pragma once
// The text table converter as it stood before it was tuned, kept unchanged: the benchmark times
// today's converter against it in the same run, and the tests hold today's output to it byte for
// byte on random records.

#include <cstddef>
#include <cstdint>
#include <string>

namespace csv_baseline {

bool RecordsToText(const std::uint8_t* data, std::size_t size, int recordSize, int biasMinutes,
                   std::string& out);

} // namespace csv_baseline
