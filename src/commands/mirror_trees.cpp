#include "commands/mirror_trees.h"

#include <mutex>

#include "commands/parallel_batch.h"
#include "commands/retry.h"
#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "scan/local_scan.h"
#include "scan/remote_scan.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

// Adds one scan's findings; `scan` names are relative to the mirrored folder.
void addRemote(MirrorTree& tree, const RemoteScan& scan, uint32_t encoding, std::string_view command, bool notes) {
    for (const FtpFileInfo& file : scan.files()) {
        std::string path = fromServer(file.name, encoding);
        tree.spell(path, file.name);
        tree.files[std::move(path)] = {file.size, file.modify, file.modifyPrecision};
    }
    for (const FtpFileInfo& folder : scan.folders()) tree.folders.insert(fromServer(folder.name, encoding));
    for (const FtpFileInfo& entry : scan.skipped()) {
        const std::string name = fromServer(entry.name, encoding);
        tree.others.insert(name);
        if (notes)
            printMessage(Level::Info, format(" {}: skipped {}, {}", command, name,
                                             entry.symlink ? "a symbolic link" : "neither file nor folder"));
    }
    for (const std::string& folder : scan.unlisted()) tree.unlisted.insert(fromServer(folder, encoding));
    for (const std::string& error : scan.errors())
        printMessage(Level::Error, format("{} failure: {}", command, fromServer(error, encoding)));
}

}  // namespace

std::string MirrorTree::spelling(const std::string& path) const {
    const auto unusual = unusualSpellings_.find(path);
    if (unusual != unusualSpellings_.end()) return unusual->second;
    return root.empty() ? path : root + platform::withLocalSeparators(path);
}

void MirrorTree::spell(const std::string& path, std::string spelled) {
    if (spelling(path) != spelled) unusualSpellings_[path] = std::move(spelled);
}

bool underAny(const std::set<std::string>& folders, const std::string& path) {
    if (folders.empty()) return false;
    if (folders.count("")) return true;
    for (size_t k = path.find('/'); k != std::string::npos; k = path.find('/', k + 1))
        if (folders.count(path.substr(0, k))) return true;
    return folders.count(path) > 0;
}

MirrorTree scanRemoteTree(FtpLib& session, const SessionRecipe& recipe, int width, Retrier& retrier, bool recurse,
                          bool provesFolders, std::string_view command) {
    const bool notes = settings().debug == 1;
    MirrorTree tree;
    RemoteScan top(session);
    top.runStep = retrier.stepsOn(session);
    top.codePage = recipe.encoding;
    top.provesFolders = provesFolders;
    top.scan("", false);
    addRemote(tree, top, recipe.encoding, command, notes);
    if (retrier.stopped()) tree.unlisted.insert("");
    if (!recurse || top.folders().empty()) return tree;
    // Each subfolder of the top is walked whole by one session; the sessions take them in turn.
    const std::vector<FtpFileInfo>& folders = top.folders();
    std::mutex treeLock;  // a leaf lock over `tree` while a walk's findings are added
    BatchSteps steps{.start = [](FtpLib&, size_t) { return Begun::go; },
                     .finish =
                         [&](FtpLib& worker, size_t i) {
                             RemoteScan walk(worker);
                             walk.runStep = retrier.stepsOn(worker);
                             walk.codePage = recipe.encoding;
                             walk.provesFolders = provesFolders;
                             walk.scan(folders[i].name, true);
                             std::lock_guard<std::mutex> guard(treeLock);
                             addRemote(tree, walk, recipe.encoding, command, notes);
                             return true;
                         },
                     .stopped = [&retrier] { return retrier.stopped(); }};
    runBatch(folders.size(), width, steps, recipe);
    if (retrier.stopped()) tree.unlisted.insert("");  // what was listed after it may be another folder's
    return tree;
}

MirrorTree scanLocalTree(const std::string& folder, bool recurse, std::string_view command) {
    MirrorTree tree;
    if (!platform::pathExists(folder)) return tree;
    std::string start = folder;
    if (start.size() > 1 && start.back() == platform::localSeparator()) start.pop_back();
    LocalScan scan;
    scan.scan(start, recurse);
    const size_t cut = start.size() + 1;
    tree.root = start + platform::localSeparator();
    auto relative = [&](const std::string& path) {
        return path.size() <= start.size() ? std::string() : platform::withSlashSeparators(path.substr(cut));
    };
    std::vector<std::string> files = scan.takeFiles();
    for (std::string& path : files) {  // each handed over as it is read: a large tree's paths are not held twice
        platform::FileFacts facts;
        std::string error;
        if (!platform::fileFacts(path, facts, &error)) {  // gone since, or unreadable: known only by name
            printMessage(Level::Error, format("{} failure: {}", command, error));
            tree.others.insert(relative(path));
            continue;
        }
        std::string key = relative(path);
        tree.spell(key, std::move(path));
        tree.files[std::move(key)] = {facts.size, facts.modified, 1};
    }
    for (const std::string& path : scan.folders()) tree.folders.insert(relative(path));
    for (const std::string& path : scan.linkedFolders()) tree.others.insert(relative(path));
    for (const std::string& path : scan.unlisted()) tree.unlisted.insert(relative(path));
    if (!scan.unlisted().empty())
        for (const std::string& error : scan.errors())
            if (!error.starts_with("symbolic link"))
                printMessage(Level::Error, format("{} failure: {}", command, error));
    return tree;
}

}  // namespace dorvan
