#pragma once
// The bytes of transfers over the data connections DataConnections opens:
// image-type file data moved inside the kernel where the connection runs no
// TLS (data_move.h), ASCII type converted by AsciiDecoder/AsciiEncoder, each
// chunk told to the progress observer. A transfer succeeds only on the
// server's final 2xx reply; a download also only when at least the expected
// size (the caller's, else the one the server announced) arrived.
//
// Each call returns its outcome: the final reply or this side's account of
// the failure, its kind, and whether the server took the transfer command.
//
// Not locked: it runs under its session's lock, as the parts it uses.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ftp/call_outcome.h"
#include "ftp/control_session.h"
#include "ftp/data_connection.h"
#include "ftp/ftp_file_info.h"
#include "ftp/kept_part.h"
#include "ftp/transfer_progress.h"
#include "platform/data_move.h"
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

    // RETR into a temporary file beside localPath, renamed into place only
    // when complete. With `part`, a failed get keeps its temporary file there,
    // and a part with restartAt continues from that byte (REST).
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
    bool putOnce(const std::string& localPath, DataRequest& request);
    // The data comes from `produce`, or with `file` given, unchanged from that file.
    bool sendData(DataRequest& request, const Producer& produce, uint64_t expectedSize, platform::FileReader* file);
    platform::MovedBytes progressCallback() const;

    ControlSession& control_;
    DataConnections& connections_;
    platform::DataPipe pipe_;  // downloads splice through it, one after another
    TransferProgress* progress_ = nullptr;
};

}  // namespace dorvan
