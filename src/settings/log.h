#pragma once
// The one output routine for results and errors, and the log file.
#include <cstdint>
#include <string>
#include <string_view>

namespace dorvan {

enum class Level { Info, Warn, Error };

constexpr uint64_t logSizeCap = 512'000;

std::string dataFolder();       // per-user data folder, ending with '/'
std::string logPath();          // data folder + program base name + "-log.txt"
std::string previousLogPath();  // data folder + program base name + "-log.1.txt"
// Creates the data folder; renames a log over the cap to previousLogPath()
// (replacing an older one); appends.
void openLogging();
void closeLogging();  // writes what is held back first
// Log file only. Records are held back and written in large pieces, an Error
// record at once together with all before it.
void logRecord(Level level, std::string_view text);
// Writes the held-back log records and console output (after each command).
void flushOutput();
// Whether an Error record was logged during this run (also without a log file).
bool anyErrorLogged();

// Console line (text + CR LF), then a log record; both written at once for
// an Error. Returns true for Info only.
bool printMessage(Level level, std::string_view text);

}  // namespace dorvan
