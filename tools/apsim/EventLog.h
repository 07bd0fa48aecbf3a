#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// The simulator's record of what went on the wire, one JSON object per line, so that tests can
// check bytes and timing after the fact.
namespace apsim {

// CLOCK_MONOTONIC in seconds: the clock every process on the machine shares, whatever network
// namespace it runs in, so a test can compare the lines of several simulators with its own
// readings (Python's time.monotonic() reads the same clock).
double MonotonicSeconds();
// Wall-clock time as an ISO 8601 text with microseconds, for people reading the log.
std::string WallClockText();

std::string HexText(const std::uint8_t* data, std::size_t length);

// Builds one JSON object; texts are taken as single bytes (Latin-1), as on the wire.
class JsonLine {
public:
    JsonLine& Text(std::string_view key, std::string_view value);
    JsonLine& Integer(std::string_view key, long long value);
    JsonLine& Seconds(std::string_view key, double seconds);
    JsonLine& Boolean(std::string_view key, bool value);
    std::string str() const { return body_ + "}"; }

private:
    void Key(std::string_view key);
    std::string body_ = "{";
};

class EventLog {
public:
    // Writes to `path`, appending; "-" or an empty path writes to standard output.
    bool Open(const std::string& path, std::string* error);
    ~EventLog();
    // One line, written through at once so that a reader never sees half of it.
    void Write(const JsonLine& line);

private:
    std::FILE* out_ = nullptr;
    bool owned_ = false;
};

}  // namespace apsim
