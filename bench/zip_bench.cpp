// Packing benchmark: time and peak memory of the streaming ZIP writer on a
// 1 GiB file (--mib N for another size), next to plain zlib and `zip -6` on
// the same file. With --zip64 it also builds
// archives that really need ZIP64 (a member over 4 GiB, an archive over 4 GiB,
// more than 65,535 members) and has unzip and Python's zipfile check them.
// With --mixed it packs 200 MB of mixed files (--mib sets the total) on one
// worker and on two, checks that both archives are the same bytes, and runs
// `zip -6 -r` on the same folder, in --rounds N rounds (default 3).
//
//   zip_bench [--mib N] [--zip64 | --mixed [--rounds N]] [work-folder]      (default work folder: /tmp)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <zlib.h>

#include "zip/archive.h"
#include "zip/parallel_pack.h"

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

// User + system seconds of this process (all its threads) or of its waited-for children.
double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
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
                ok ? static_cast<double>(fs::file_size(archive)) / MiB : 0.0,
                static_cast<double>(statusKiB("VmHWM:")) / 1024.0);
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

// Text-like files of many sizes with some incompressible ones among them.
bool packMixed(const std::string& work, uint64_t total, int rounds) {
    std::string folder = work + "/mixed";
    std::vector<dorvan::PackItem> items;
    std::vector<std::string> files;
    Random random{7};
    uint64_t written = 0;
    for (int i = 0; written < total; ++i) {
        uint64_t r = random.next();
        uint64_t size =
            std::min<uint64_t>(total - written, r % 4 == 0 ? 8 * MiB + r % (8 * MiB) : 1 + r % (512 * 1024));
        std::string name = "d" + std::to_string(i % 7) + "/f" + std::to_string(i) + (r % 5 == 0 ? ".bin" : ".txt");
        fs::create_directories(folder + "/d" + std::to_string(i % 7));
        writeFile(folder + "/" + name, size, r % 5 != 0);
        files.push_back(folder + "/" + name);
        items.push_back({.path = files.back(), .name = name});
        written += size;
    }
    run("sync");
    std::printf("source: %zu files, %.0f MiB, a fifth incompressible\n", files.size(),
                static_cast<double>(total) / MiB);

    // Rounds of one worker, two workers and zip -6 in turn; the ratios are
    // taken within a round, their median reported.
    std::vector<double> overOne, overZip;
    bool ok = true;
    for (int round = 1; round <= rounds && ok; ++round) {
        double took[2];
        for (unsigned threads : {1u, 2u}) {
            resetPeakMemory();
            double cpuStart = cpuSeconds(RUSAGE_SELF);
            auto start = std::chrono::steady_clock::now();
            dorvan::ZipWriter writer;
            std::string error;
            std::string archive = work + "/workers" + std::to_string(threads) + ".zip";
            ok = writer.open(archive, &error) && dorvan::packMembers(writer, items, {.threads = threads}, &error) &&
                 writer.finish(&error);
            took[threads - 1] = seconds(start);
            double cpu = cpuSeconds(RUSAGE_SELF) - cpuStart;
            std::printf(
                "round %d, dorvan, %u worker(s): %s  %.1f s (CPU %.1f s)  %.1f MiB/s  archive %.1f MiB  peak RSS "
                "(VmHWM) %.1f MiB\n",
                round, threads, ok ? "ok" : error.c_str(), took[threads - 1], cpu,
                static_cast<double>(total) / MiB / took[threads - 1],
                ok ? static_cast<double>(fs::file_size(archive)) / MiB : 0.0,
                static_cast<double>(statusKiB("VmHWM:")) / 1024.0);
            if (!ok) return false;
        }
        bool same = run("cmp -s '" + work + "/workers1.zip' '" + work + "/workers2.zip'");
        std::printf("two-worker archive %s the one-worker archive\n", same ? "is byte-identical to" : "DIFFERS from");

        fs::remove(work + "/zip6.zip");
        double cpuStart = cpuSeconds(RUSAGE_CHILDREN);
        auto start = std::chrono::steady_clock::now();
        ok = run("cd '" + folder + "' && zip -6 -q -r ../zip6.zip .") && same;
        double zipTook = seconds(start);
        std::printf("round %d, zip -6: %.1f s (CPU %.1f s)  %.1f MiB/s  archive %.1f MiB\n", round, zipTook,
                    cpuSeconds(RUSAGE_CHILDREN) - cpuStart, static_cast<double>(total) / MiB / zipTook,
                    static_cast<double>(fs::file_size(work + "/zip6.zip")) / MiB);
        overOne.push_back(took[0] / took[1]);
        overZip.push_back(zipTook / took[1]);
        std::printf("round %d, two workers: %.2fx one worker, %.2fx zip -6\n", round, overOne.back(), overZip.back());
    }
    std::printf("median of %zu rounds, two workers: %.2fx one worker, %.2fx zip -6\n", overZip.size(), median(overOne),
                median(overZip));
    return ok && run("unzip -tq '" + work + "/workers2.zip'");
}

}  // namespace

int main(int argc, char** argv) {
    bool withZip64 = false;
    bool mixed = false;
    uint64_t size = 0;
    int rounds = 3;
    std::string parent = "/tmp";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--zip64") {
            withZip64 = true;
        } else if (arg == "--mixed") {
            mixed = true;
        } else if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::stoi(argv[++i]);
        } else if (arg == "--mib" && i + 1 < argc) {
            size = std::stoull(argv[++i]) * MiB;
        } else {
            parent = arg;
        }
    }
    std::string work = parent + "/zip_bench";
    fs::remove_all(work);
    fs::create_directories(work);
    if (mixed) {
        bool ok = packMixed(work, size ? size : 200 * 1000 * 1000, rounds);
        fs::remove_all(work);
        std::printf("%s\n", ok ? "PASS" : "FAIL");
        return ok ? 0 : 1;
    }
    bool ok = packOneFile(work, size ? size : GiB);
    if (withZip64) ok = zip64(work) && ok;
    fs::remove_all(work);
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
