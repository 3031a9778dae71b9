#include "commands/journal.h"

#include <cstdio>

#include "ftp/ftp_time.h"
#include "platform/clock.h"
#include "platform/output_file.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"
#include "text/utf8.h"

namespace dorvan {
namespace {

std::string quoted(std::string_view text) {
    const std::string clean = text::isValidUtf8(text) ? std::string(text) : text::cleanUtf8(text, nullptr);
    std::string out = "\"";
    for (const char c : clean) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

// "2026-12-08T04:12:38.123Z" of a time in 100-ns ticks since 0001-01-01 UTC.
std::string utcTimestamp(int64_t ticks) {
    const int64_t unixTicks = ticks - platform::unixEpochTicks;
    const int64_t seconds = unixTicks >= 0 ? unixTicks / platform::ticksPerSecond
                                           : -((-unixTicks + platform::ticksPerSecond - 1) / platform::ticksPerSecond);
    const int64_t millis = (unixTicks - seconds * platform::ticksPerSecond) / 10'000;
    const CivilDate date = civilFromDays(dayOf(seconds));
    const int64_t inDay = seconds - dayOf(seconds) * secondsPerDay;
    char text[128];
    std::snprintf(
        text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ", static_cast<long long>(date.year),
        static_cast<long long>(date.month), static_cast<long long>(date.day), static_cast<long long>(inDay / 3600),
        static_cast<long long>(inDay / 60 % 60), static_cast<long long>(inDay % 60), static_cast<long long>(millis));
    return text;
}

// One JSON object, without its line end; names and texts that are not UTF-8
// have their stray bytes replaced.
std::string journalLine(std::string_view utcTime, std::string_view command, const JournalRecord& record) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", record.seconds);
    std::string line =
        "{\"time\":" + quoted(utcTime) + ",\"command\":" + quoted(command) + ",\"action\":" + quoted(record.action);
    if (!record.reason.empty()) line += ",\"reason\":" + quoted(record.reason);
    line += ",\"remote\":" + quoted(record.remotePath) + ",\"local\":" + quoted(record.localPath) +
            ",\"bytes\":" + std::to_string(record.bytes) + ",\"seconds\":" + seconds +
            ",\"result\":" + quoted(record.ok ? "ok" : "failed");
    if (!record.ok) line += ",\"reply\":" + quoted(record.reply);
    if (!record.checksum.empty())
        line += ",\"checksum\":" + quoted(record.checksum) + ",\"digest\":" + quoted(record.digest);
    return line + ",\"retries\":" + std::to_string(record.retries) + "}";
}

}  // namespace

Journal::Journal() = default;
Journal::~Journal() = default;

bool Journal::open(std::string_view command) {
    const std::string& path = settings().journal;
    command_ = command;
    if (path.empty()) return true;
    auto file = std::make_unique<platform::OutputFile>();
    std::string error;
    if (!file->open(path, platform::OpenMode::append, &error, platform::Access::ownerOnly))
        return printMessage(Level::Error, format("{} failure: journal not opened, {}", command, error));
    file_ = std::move(file);
    return true;
}

void Journal::record(const JournalRecord& record) {
    if (!file_) return;
    const std::string line = journalLine(utcTimestamp(platform::nowTicks()), command_, record) + "\n";
    std::string error;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (failed_ || file_->write(line, &error)) return;
        failed_ = true;
    }
    printMessage(Level::Error, format("{} failure: journal not written, {}", command_, error));
}

}  // namespace dorvan
