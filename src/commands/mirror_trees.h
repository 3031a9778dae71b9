#pragma once
// The two trees a mirror compares, each by relative path ("/" separated,
// the server's names decoded): what either side holds, unfiltered, and
// where its contents are not known in full.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/session_recipe.h"

namespace dorvan {

class FtpLib;
class Retrier;

struct TreeFile {
    uint64_t size = unknownSize;
    int64_t time = unknownTime;
    int64_t precision = 1;
};

struct MirrorTree {
    std::map<std::string, TreeFile> files;
    std::set<std::string> folders;
    std::set<std::string> others;    // neither file nor folder (links): never walked, never removed
    std::set<std::string> unlisted;  // folders not listed in full ("" the mirrored folder itself)
    std::string root;                // a local tree's folder, ending with the separator; "" for a remote tree

    // How a file is named where it is: the server's spelling relative to the
    // mirrored folder, or a local file's full path.
    std::string spelling(const std::string& path) const;
    // Keeps `spelled` as the spelling of `path` where it is not the usual one.
    void spell(const std::string& path, std::string spelled);

private:
    // Only the names spelled otherwise than `root` + path says (server names
    // in another code page): a large tree keeps no second copy of each name.
    std::map<std::string, std::string> unusualSpellings_;
};

// The remote tree below the session's current folder, listed by up to
// `width` sessions side by side (one per subfolder of the top at a time);
// each folder not listed is a failure line of `command`. `provesFolders`
// (a tree to delete from): a folder that may be a symbolic link is never
// walked (see ScanLister::provesFolders).
MirrorTree scanRemoteTree(FtpLib& session, const SessionRecipe& recipe, int width, Retrier& retrier, bool recurse,
                          bool provesFolders, std::string_view command);

// The local tree below `folder` (ending with the separator); a folder that
// does not exist is an empty tree.
MirrorTree scanLocalTree(const std::string& folder, bool recurse, std::string_view command);

// True when `path` or a folder above it is in `folders` ("" stands for the top).
bool underAny(const std::set<std::string>& folders, const std::string& path);

}  // namespace dorvan
