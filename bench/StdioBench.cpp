#include "StdioBench.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iomanip>
#include <iostream>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

ChildProcess::ChildProcess(std::string program, std::vector<std::string> arguments, const QProcessEnvironment& environment)
{
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");

    std::vector<std::string> envStrings;
    for (const auto& entry : environment.toStringList())
        envStrings.push_back(entry.toStdString());
    std::vector<char*> envp;
    for (auto& entry : envStrings)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    argv.push_back(program.data());
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(toChild[0], 0);
        ::dup2(fromChild[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    m_in = toChild[1];
    m_out = fromChild[0];
}

ChildProcess::~ChildProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_in >= 0)
        ::close(m_in);
    if (m_out >= 0)
        ::close(m_out);
}

void ChildProcess::write(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_in, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            throw std::runtime_error("write to child failed");
        done += static_cast<std::size_t>(n);
    }
}

std::string ChildProcess::readLine(bool* ok)
{
    // Only the bytes that arrived since the last look are searched: a response of many
    // megabytes arrives in thousands of reads.
    std::size_t scanned = 0;
    for (;;) {
        const auto end = m_buffer.find('\n', scanned);
        scanned = m_buffer.size();
        if (end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            if (ok)
                *ok = true;
            return line;
        }
        char chunk[65536];
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n <= 0) {
            if (ok)
                *ok = false;
            return {};
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string ChildProcess::readToEnd()
{
    std::string all = std::move(m_buffer);
    m_buffer.clear();
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n <= 0)
            return all;
        all.append(chunk, static_cast<std::size_t>(n));
    }
}

long ChildProcess::skipLines(long count)
{
    long seen = 0;
    std::size_t scanned = 0;
    while (seen < count) {
        const auto end = m_buffer.find('\n', scanned);
        if (end != std::string::npos) {
            ++seen;
            scanned = end + 1;
            continue;
        }
        m_buffer.erase(0, scanned);
        scanned = 0;
        char chunk[1 << 16];
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n <= 0)
            break;
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
    m_buffer.erase(0, scanned);
    return seen;
}

static long statusField(int pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

long ChildProcess::peakResidentKiB() const
{
    return statusField(m_pid, "VmHWM:");
}

long ChildProcess::residentKiB() const
{
    return statusField(m_pid, "VmRSS:");
}

int ChildProcess::finish()
{
    if (m_in >= 0) {
        ::close(m_in);
        m_in = -1;
    }
    int status = 0;
    const int pid = m_pid;
    m_pid = -1;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ZarnelHome::ZarnelHome()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("config/tarvonic"));
    QFile file(m_dir.path() + QStringLiteral("/config/tarvonic/zarnel.conf"));
    if (file.open(QIODevice::WriteOnly))
        file.write("[General]\nautoStartServer=true\n");
}

QProcessEnvironment ZarnelHome::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), path() + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), path() + QStringLiteral("/state"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

std::string zarnelPath()
{
    return ZARNEL_BINARY;
}

std::string echoServerPath()
{
    return ECHO_SERVER_BINARY;
}

std::string qtEchoPath()
{
    return QT_ECHO_BINARY;
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values)
{
    return percentile(std::move(values), 0.5);
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void report(const std::string& label, double ours, const std::string& baselineName, double theirs, const std::string& unit)
{
    compare(label, "zarnel", ours, baselineName, theirs, unit);
}

void compare(const std::string& label, const std::string& name, double ours, const std::string& baselineName, double theirs,
             const std::string& unit)
{
    std::ostringstream line;
    line << std::fixed << std::setprecision(3) << label << ": " << name << ' ' << ours << ' ' << unit << " | " << baselineName << ' '
         << theirs << ' ' << unit << " | ratio " << std::setprecision(2) << (theirs > 0 ? ours / theirs : 0.0);
    std::cout << line.str() << std::endl;
}

void note(const std::string& text)
{
    std::cout << text << std::endl;
}

std::string initializeLine(long id)
{
    return "{\"jsonrpc\":\"2.0\",\"id\":" + std::to_string(id)
        + ",\"method\":\"initialize\",\"params\":{\"protocolVersion\":\"2024-11-05\",\"capabilities\":{},"
          "\"clientInfo\":{\"name\":\"bench\",\"version\":\"1.0\"}}}";
}

std::string requestLine(long id, const std::string& method, const std::string& paramsJson)
{
    std::string line = "{\"jsonrpc\":\"2.0\",\"id\":" + std::to_string(id) + ",\"method\":\"" + method + "\"";
    if (!paramsJson.empty())
        line += ",\"params\":" + paramsJson;
    return line + "}";
}

} // namespace bench
