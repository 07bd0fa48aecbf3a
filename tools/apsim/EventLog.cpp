#include "tools/apsim/EventLog.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace apsim {

double MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string WallClockText() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%06ldZ", now.tv_nsec / 1000);
    return text;
}

std::string HexText(const std::uint8_t* data, std::size_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        text.push_back(kDigits[data[i] >> 4]);
        text.push_back(kDigits[data[i] & 0x0F]);
    }
    return text;
}

void JsonLine::Key(std::string_view key) {
    if (body_.size() > 1) {
        body_ += ",";
    }
    body_ += "\"";
    body_ += key;
    body_ += "\":";
}

JsonLine& JsonLine::Text(std::string_view key, std::string_view value) {
    Key(key);
    body_ += "\"";
    for (const char byte : value) {
        const auto code = static_cast<unsigned char>(byte);
        if (byte == '"' || byte == '\\') {
            body_ += '\\';
            body_ += byte;
        } else if (code < 0x20 || code >= 0x7F) {
            // A name from a hostile fleet may hold any byte; each stands for its Latin-1 character.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", code);
            body_ += escaped;
        } else {
            body_ += byte;
        }
    }
    body_ += "\"";
    return *this;
}

JsonLine& JsonLine::Integer(std::string_view key, long long value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Seconds(std::string_view key, double seconds) {
    Key(key);
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", seconds);
    body_ += text;
    return *this;
}

JsonLine& JsonLine::Boolean(std::string_view key, bool value) {
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

bool EventLog::Open(const std::string& path, std::string* error) {
    if (path.empty() || path == "-") {
        out_ = stdout;
        return true;
    }
    out_ = std::fopen(path.c_str(), "a");
    if (out_ == nullptr) {
        *error = path + ": cannot be opened: " + std::strerror(errno);
        return false;
    }
    owned_ = true;
    return true;
}

EventLog::~EventLog() {
    if (owned_) {
        std::fclose(out_);
    }
}

void EventLog::Write(const JsonLine& line) {
    if (out_ == nullptr) {
        return;
    }
    const std::string text = line.str() + "\n";
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
}

}  // namespace apsim
