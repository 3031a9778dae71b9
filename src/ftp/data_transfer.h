#pragma once
// The bytes of transfers over the data connections DataConnections opens:
// image-type file data moved inside the kernel where the connection runs no
// TLS (data_move.h), ASCII type converted by AsciiDecoder/AsciiEncoder, each
// chunk told to the progress observer. A transfer succeeds only on the
// server's final 2xx reply; a download also only when at least the expected
// size (the caller's, else the one the server announced) arrived, and in
// image type no more: a server that sends on is stopped at the first byte
// too many.
//
// get and put in image type may check the file against the server's
// checksum (checksums.h), hashing it beside the transfer (TrailingDigest);
// their data may share a cap on its speed with other sessions (RateLimit).
// Listings are neither checked nor capped.
//
// Each call returns its outcome: the final reply or this side's account of
// the failure, its kind, and whether the server took the transfer command.
//
// Not locked: it runs under its session's lock, as the parts it uses.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/call_outcome.h"
#include "ftp/checksums.h"
#include "ftp/control_session.h"
#include "ftp/data_connection.h"
#include "ftp/ftp_file_info.h"
#include "ftp/kept_part.h"
#include "ftp/rate_limit.h"
#include "ftp/transfer_progress.h"
#include "platform/data_move.h"
#include "platform/digest.h"
#include "platform/local_file.h"

namespace dorvan {

class DataTransfers {
public:
    // Takes the data of a download; false on a local failure, noted on the control session.
    using Consumer = std::function<bool(std::string_view data)>;

    DataTransfers(ControlSession& control, DataConnections& connections)
        : control_(control), connections_(connections) {}
    DataTransfers(const DataTransfers&) = delete;
    DataTransfers& operator=(const DataTransfers&) = delete;

    // Told about the data of every transfer from now on; nullptr for none. Not owned.
    void setProgress(TransferProgress* progress) { progress_ = progress; }
    // How get and put check their file from now on, and the cap their data
    // shares (nullptr for none).
    void setRules(ChecksumMode mode, std::shared_ptr<RateLimit> limit);
    // What the check of the last get or put found.
    const TransferChecksum& lastChecksum() const { return checked_; }

    // RETR into a temporary file beside localPath, renamed into place only
    // when complete. With `part`, a failed get keeps its temporary file there,
    // and a part with restartAt continues from that byte (REST) when it is
    // still the writer's to take (ReplacingFileWriter::adoptPart); otherwise
    // the file starts over. `expectedSize` is the whole file's.
    CallOutcome get(const std::string& localPath, const std::string& remotePath, char mode, uint64_t expectedSize,
                    KeptPart* part);
    // STOR of localPath, from byte restartAt on (after REST) when > 0.
    CallOutcome put(const std::string& localPath, const std::string& remotePath, char mode, uint64_t restartAt);
    // The data of `command` (a listing) in ASCII type into localPath, as get does.
    CallOutcome getText(const std::string& localPath, const std::string& command);
    // The data of `command` in type `type`, chunk by chunk, to `consume`.
    CallOutcome receive(const std::string& command, char type, const Consumer& consume);

private:
    struct Download;
    using Producer = std::function<bool(std::string& chunk)>;  // empty chunk at the end

    CallOutcome outcome(bool ok, const DataRequest& request) const;
    bool downloadToFile(const std::string& localPath, Download& download, KeptPart* part);
    // The data goes to `consume`, or with `file` given, unchanged into that file.
    bool receiveData(Download& download, const Consumer& consume, platform::ReplacingFileWriter* file = nullptr);
    bool putOnce(const std::string& localPath, const std::string& remotePath, DataRequest& request,
                 const std::optional<ChecksumMethod>& method);
    // The data comes from `produce`, or with `file` given, unchanged from that file.
    bool sendData(DataRequest& request, const Producer& produce, uint64_t expectedSize, platform::FileReader* file);
    platform::MovedBytes progressCallback();
    void moved(uint64_t bytes);  // progress, the digest's bytes and the cap
    // The method to check a transfer in `type` with; false when the transfer
    // must not run (a check is required and the server offers none).
    bool planCheck(char type, std::optional<ChecksumMethod>& method);
    bool startDigest(platform::TrailingDigest& digest, const std::string& path, const ChecksumMethod& method,
                     uint64_t kept);
    // Compares the digest of the file's bytes moved so far with the server's.
    bool verify(const ChecksumMethod& method, platform::TrailingDigest& digest, const std::string& remotePath,
                std::string_view direction);

    ControlSession& control_;
    DataConnections& connections_;
    platform::DataPipe pipe_;  // downloads splice through it, one after another
    TransferProgress* progress_ = nullptr;
    ServerChecksums checksums_{control_};
    ChecksumMode checksumMode_ = ChecksumMode::never;
    std::shared_ptr<RateLimit> rateLimit_;
    TransferChecksum checked_;
    // While a file moves: the cap it goes by and the digest following it.
    RateLimit* limiting_ = nullptr;
    platform::TrailingDigest* hashing_ = nullptr;
};

}  // namespace dorvan
