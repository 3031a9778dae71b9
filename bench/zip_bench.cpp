// Packing benchmark: time and peak memory of the streaming ZIP writer on a
// 1 GiB file (--mib N for another size), next to plain zlib and `zip -6` on
// the same file. With --zip64 it also builds
// archives that really need ZIP64 (a member over 4 GiB, an archive over 4 GiB,
// more than 65,535 members) and has unzip and Python's zipfile check them.
//
//   zip_bench [--mib N] [--zip64] [work-folder]      (default work folder: /tmp)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <zlib.h>

#include "zip/archive.h"

namespace fs = std::filesystem;
using dorvan::createArchive;

namespace {

constexpr uint64_t MiB = 1024 * 1024;
constexpr uint64_t GiB = 1024 * MiB;

uint64_t statusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0) return std::stoull(line.substr(std::string(key).size()));
    }
    return 0;
}

void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

struct Random {
    uint64_t state;
    uint64_t next() {  // splitmix64
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

// Text-like content (words from a small vocabulary) compresses about as well
// as typical upload material; random content does not compress at all.
void writeFile(const std::string& path, uint64_t size, bool text) {
    static const char* words[] = {"upload", "server", "folder", "file", "archive", "index", "html",
                                  "the",    "of",     "and",    "2024", "data",    "log",   "report"};
    Random random{42};
    std::ofstream out(path, std::ios::binary);
    std::string chunk;
    for (uint64_t written = 0; written < size; written += chunk.size()) {
        chunk.clear();
        while (chunk.size() < MiB) {
            uint64_t r = random.next();
            if (text) {
                chunk += words[r % 14];
                chunk += (r >> 8) % 12 == 0 ? '\n' : ' ';
                if ((r >> 16) % 5 == 0) chunk += std::to_string((r >> 24) % 100000);
            } else {
                chunk.append(reinterpret_cast<const char*>(&r), sizeof r);
            }
        }
        chunk.resize(std::min<uint64_t>(chunk.size(), size - written));
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool run(const std::string& command) {
    std::printf("$ %s\n", command.c_str());
    std::fflush(stdout);
    return std::system(command.c_str()) == 0;
}

bool pack(const std::vector<std::string>& files, const std::string& base, const std::string& archive, uint64_t input) {
    resetPeakMemory();
    auto start = std::chrono::steady_clock::now();
    std::string error;
    bool ok = createArchive(files, base, archive, &error);
    if (!ok) std::printf("%s\n", error.c_str());
    double took = seconds(start);
    std::printf("dorvan: %s  %zu files  %.1f s  %.1f MiB/s  archive %.1f MiB  peak RSS (VmHWM) %.1f MiB\n",
                ok ? "ok" : "FAILED", files.size(), took, static_cast<double>(input) / MiB / took,
                ok ? static_cast<double>(fs::file_size(archive)) / MiB : 0.0, static_cast<double>(statusKiB("VmHWM:")) / 1024.0);
    return ok && run("unzip -tq '" + archive + "'");
}

// The same deflate with nothing around it: what the writer itself costs.
void zlibAlone(const std::string& path, uint64_t size) {
    z_stream zs{};
    deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> in(256 * 1024), out(256 * 1024);
    std::FILE* source = std::fopen(path.c_str(), "rb");
    auto start = std::chrono::steady_clock::now();
    uint64_t produced = 0;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        size_t got = std::fread(in.data(), 1, in.size(), source);
        if (got < in.size()) flush = Z_FINISH;
        zs.next_in = in.data();
        zs.avail_in = static_cast<uInt>(got);
        do {
            zs.next_out = out.data();
            zs.avail_out = static_cast<uInt>(out.size());
            deflate(&zs, flush);
            produced += out.size() - zs.avail_out;
        } while (zs.avail_out == 0);
    }
    double took = seconds(start);
    std::fclose(source);
    deflateEnd(&zs);
    std::printf("zlib alone: %.1f s  %.1f MiB/s  output %.1f MiB\n", took, static_cast<double>(size) / MiB / took,
                static_cast<double>(produced) / MiB);
}

bool packOneFile(const std::string& work, uint64_t size) {
    std::string source = work + "/source.txt";
    writeFile(source, size, true);
    run("sync");  // no write-back of the fresh source competing with the measurements
    std::printf("source: %s, %.0f MiB of text-like data\n", source.c_str(), static_cast<double>(size) / MiB);
    bool ok = pack({source}, work + "/", work + "/dorvan.zip", size);
    zlibAlone(source, size);

    auto start = std::chrono::steady_clock::now();
    ok = run("cd '" + work + "' && zip -6 -q zip6.zip source.txt") && ok;
    double took = seconds(start);
    std::printf("zip -6: %.1f s  %.1f MiB/s  archive %.1f MiB\n", took, static_cast<double>(size) / MiB / took,
                static_cast<double>(fs::file_size(work + "/zip6.zip")) / MiB);
    return ok;
}

bool zip64(const std::string& work) {
    std::string pythonList =
        "/usr/bin/python3 -c 'import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "print(len(z.infolist()), \"members\")\n"
        "for i in z.infolist()[:3]: print(i.filename, i.file_size, i.compress_size, \"at\", i.header_offset)' ";

    // Incompressible 4.5 GiB member, then more members behind the 4 GiB mark.
    std::string big = work + "/random.bin";
    writeFile(big, 4 * GiB + GiB / 2, false);
    std::string sparse = work + "/sparse.bin";
    std::ofstream(sparse, std::ios::binary).close();
    fs::resize_file(sparse, 5 * GiB);
    std::string small = work + "/small.txt";
    writeFile(small, 1000, true);
    std::string archive = work + "/zip64.zip";
    bool ok = pack({big, sparse, small}, work + "/", archive, 9 * GiB + GiB / 2) && run(pythonList + archive);
    fs::remove(big);
    fs::remove(sparse);
    fs::remove(archive);

    // More members than the 16-bit count holds.
    std::string many = work + "/many";
    fs::create_directories(many);
    std::vector<std::string> files;
    for (int i = 0; i < 70'000; ++i) {
        files.push_back(many + "/f" + std::to_string(i));
        std::ofstream(files.back()) << i;
    }
    ok = pack(files, work + "/", work + "/many.zip", 0) && run(pythonList + work + "/many.zip") && ok;
    fs::remove_all(many);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool withZip64 = false;
    uint64_t size = GiB;
    std::string parent = "/tmp";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--zip64") {
            withZip64 = true;
        } else if (arg == "--mib" && i + 1 < argc) {
            size = std::stoull(argv[++i]) * MiB;
        } else {
            parent = arg;
        }
    }
    std::string work = parent + "/zip_bench";
    fs::remove_all(work);
    fs::create_directories(work);
    bool ok = packOneFile(work, size);
    if (withZip64) ok = zip64(work) && ok;
    fs::remove_all(work);
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
