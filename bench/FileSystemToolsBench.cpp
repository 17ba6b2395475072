// The file tools over stdio beside the plain programs that do the same job, on the same data
// in the same run: search_files against find, list_directory against ls -l, read_file against
// cat (each baseline's output read through a pipe), and zarnel's peak memory after a large read.

#include "StdioBench.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <iostream>

using namespace bench;

namespace {

constexpr int kTopDirectories = 10; // 10 x 10 x 10 directories of 100 files: 100,000 files
constexpr int kFilesPerDirectory = 100;
constexpr int kListedFiles = 10000;

void touch(const std::string& path, const std::string& contents = {})
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    if (!contents.empty() && ::write(fd, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size()))
        throw std::runtime_error("cannot write " + path);
    ::close(fd);
}

long makeSearchTree(const std::string& root)
{
    long files = 0;
    for (int a = 0; a < kTopDirectories; ++a)
        for (int b = 0; b < 10; ++b)
            for (int c = 0; c < 10; ++c) {
                const std::string dir = root + "/d" + std::to_string(a) + "/e" + std::to_string(b) + "/f" + std::to_string(c);
                QDir().mkpath(QString::fromStdString(dir));
                for (int f = 0; f < kFilesPerDirectory; ++f, ++files) {
                    // One file in about twenty thousand is a needle.
                    const bool needle = (files % 19997) == 7;
                    touch(dir + (needle ? "/needle_" : "/file_") + std::to_string(files) + (needle ? ".cfg" : ".dat"));
                }
            }
    return files;
}

std::string textOfSize(std::size_t bytes)
{
    const std::string line = "The quick brown fox jumps over the lazy dog; \"quoted\" and\ttabbed text, line after line.\n";
    std::string text;
    text.reserve(bytes);
    while (text.size() + line.size() <= bytes)
        text += line;
    text.append(bytes - text.size(), 'x');
    return text;
}

std::string toolCall(long id, const std::string& name, const nlohmann::json& arguments)
{
    return requestLine(id, "tools/call", nlohmann::json{{"name", name}, {"arguments", arguments}}.dump());
}

// Milliseconds of one round trip; the answer must carry at least `minimumSize` bytes.
double timeCall(ChildProcess& zarnel, long id, const std::string& name, const nlohmann::json& arguments, std::size_t minimumSize)
{
    const double start = now();
    zarnel.writeLine(toolCall(id, name, arguments));
    const std::string line = zarnel.readLine();
    const double elapsed = (now() - start) * 1000;
    if (line.size() < minimumSize || line.find("\"isError\"") != std::string::npos)
        throw std::runtime_error(name + " answered unexpectedly: " + line.substr(0, 300));
    return elapsed;
}

double timeProgram(const std::string& program, const std::vector<std::string>& arguments, std::size_t minimumSize)
{
    const double start = now();
    ChildProcess child(program, arguments, QProcessEnvironment::systemEnvironment());
    const std::string output = child.readToEnd();
    child.finish();
    const double elapsed = (now() - start) * 1000;
    if (output.size() < minimumSize)
        throw std::runtime_error(program + " wrote only " + std::to_string(output.size()) + " bytes");
    return elapsed;
}

struct Pair {
    std::vector<double> ours;
    std::vector<double> theirs;
};

void compare(const std::string& label, int runs, const std::function<double()>& ourRun, const std::string& baseline,
             const std::function<double()>& theirRun)
{
    Pair pair;
    ourRun(); // warm the caches on both sides before measuring
    theirRun();
    for (int i = 0; i < runs; ++i) {
        pair.ours.push_back(ourRun());
        pair.theirs.push_back(theirRun());
    }
    report(label, median(pair.ours), baseline, median(pair.theirs), "ms");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir data;
    const std::string root = data.path().toStdString();
    const ZarnelHome home;

    note("generating the data in " + root);
    const long files = makeSearchTree(root + "/tree");
    QDir().mkpath(QString::fromStdString(root + "/flat"));
    for (int i = 0; i < kListedFiles; ++i)
        touch(root + "/flat/entry_" + std::to_string(i) + ".txt", std::string(static_cast<std::size_t>(i % 5000), 'x'));
    const std::string small = textOfSize(1 << 20);
    const std::string large = textOfSize(32u << 20);
    touch(root + "/small.txt", small);
    touch(root + "/large.txt", large);
    note(std::to_string(files) + " files in the search tree, " + std::to_string(kListedFiles) + " in the listed directory");

    ChildProcess zarnel(zarnelPath(), {}, home.environment());
    zarnel.writeLine(initializeLine(0));
    zarnel.readLine();
    long id = 1;

    compare(
        "search_files for needle_*.cfg over 100,000 files", 9,
        [&] {
            return timeCall(zarnel, id++, "search_files", {{"pattern", "needle_*.cfg"}, {"directory", root + "/tree"}}, 100);
        },
        "find -name",
        [&] {
            return timeProgram("/usr/bin/find", {root + "/tree", "-name", "needle_*.cfg"}, 100);
        });
    compare(
        "list_directory of 10,000 files", 15,
        [&] {
            return timeCall(zarnel, id++, "list_directory", {{"path", root + "/flat"}}, 100000);
        },
        "ls -l",
        [&] {
            return timeProgram("/bin/ls", {"-l", root + "/flat"}, 100000);
        });
    compare(
        "read_file of 1 MiB of text", 25,
        [&] {
            return timeCall(zarnel, id++, "read_file", {{"path", root + "/small.txt"}}, small.size());
        },
        "cat", [&] { return timeProgram("/bin/cat", {root + "/small.txt"}, small.size()); });
    compare(
        "read_file of 32 MiB of text", 7,
        [&] {
            return timeCall(zarnel, id++, "read_file", {{"path", root + "/large.txt"}}, large.size());
        },
        "cat", [&] { return timeProgram("/bin/cat", {root + "/large.txt"}, large.size()); });
    zarnel.finish();

    // Memory on a fresh process: what one large read costs on top of an idle server.
    ChildProcess fresh(zarnelPath(), {}, home.environment());
    fresh.writeLine(initializeLine(0));
    fresh.readLine();
    const long idleKiB = fresh.peakResidentKiB();
    timeCall(fresh, 1, "read_file", {{"path", root + "/large.txt"}}, large.size());
    const long peakKiB = fresh.peakResidentKiB();
    note("peak resident memory: " + std::to_string(idleKiB / 1024) + " MiB idle, " + std::to_string(peakKiB / 1024)
         + " MiB after reading 32 MiB (" + std::to_string(static_cast<double>(peakKiB) / (32 * 1024)).substr(0, 4) + " times the file; "
         + std::to_string(static_cast<double>(peakKiB - idleKiB) / (32 * 1024)).substr(0, 4) + " times above idle)");
    fresh.finish();
    return 0;
}
