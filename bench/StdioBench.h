#pragma once

// Helpers for benchmarks that drive a program over its standard input and output, the way an
// MCP client drives zarnel, and measure it beside a plain baseline in the same run.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace bench {

// A child process with pipes on stdin and stdout (stderr goes to the null device). Reads and
// writes block; nothing here is for production code.
class ChildProcess {
public:
    ChildProcess(std::string program, std::vector<std::string> arguments, const QProcessEnvironment& environment);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int pid() const { return m_pid; }

    void write(const std::string& bytes);
    void writeLine(const std::string& line) { write(line + "\n"); }
    // The next line without its line feed; empty with ok=false at end of output.
    std::string readLine(bool* ok = nullptr);
    // Everything the child writes until it closes its output.
    std::string readToEnd();
    // Reads and drops `count` lines; returns how many arrived.
    long skipLines(long count);

    // Peak and current resident memory of the child in KiB (from /proc).
    long peakResidentKiB() const;
    long residentKiB() const;

    // Closes stdin and waits for the exit; returns the exit status, or -1.
    int finish();

private:
    int m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
};

// A fresh HOME with autoStartServer=true, so zarnel starts its server at launch.
class ZarnelHome {
public:
    ZarnelHome();
    QProcessEnvironment environment() const;
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

std::string zarnelPath();
std::string echoServerPath();
std::string qtEchoPath();

// Monotonic time in seconds.
double now();

double median(std::vector<double> values);
double percentile(std::vector<double> values, double fraction);

// One line of a report: "<label>: zarnel <ours> <unit> | <baseline name> <theirs> <unit> | ratio <r>".
void report(const std::string& label, double ours, const std::string& baselineName, double theirs, const std::string& unit);
// The same line for another program than zarnel: "<label>: <name> <value> <unit> | ...".
void compare(const std::string& label, const std::string& name, double ours, const std::string& baselineName, double theirs,
             const std::string& unit);
void note(const std::string& text);

// Protocol lines used by several benchmarks.
std::string initializeLine(long id);
std::string requestLine(long id, const std::string& method, const std::string& paramsJson = {});

} // namespace bench
