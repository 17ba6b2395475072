#include "catalog/PromptManager.h"

#include "catalog/TemplateRenderer.h"
#include "platform/files/FileManager.h"
#include "platform/processes/Log.h"
#include "platform/session/SystemReport.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

#include <algorithm>

ZARNEL_LOGGING_CATEGORY(lcPrompts, "PromptManager")

namespace {

std::optional<QString> stringValue(const Json::object_t& values, const std::string& key)
{
    const auto found = values.find(key);
    if (found == values.end() || !found->second.is_string())
        return std::nullopt;
    return QString::fromStdString(found->second.get<std::string>());
}

PromptArgument argument(std::string name, std::string description, bool required)
{
    return PromptArgument{std::move(name), std::move(description), required};
}

MCPPrompt prompt(std::string name, std::string description, std::vector<PromptArgument> arguments)
{
    return MCPPrompt{std::move(name), std::move(description), std::move(arguments)};
}

// The templates, exactly as shipped: the Markdown is for the client's model, not for us.
const std::vector<std::pair<std::string, std::string>> kTemplates = {
    {"analyze_file",
     "Analyze the file at {{file_path}} and provide:\n"
     "\n"
     "1. **File Overview**: Brief description of what this file contains and its purpose\n"
     "2. **Structure Analysis**: Key components, classes, functions, and their relationships\n"
     "3. **Code Quality**: Assessment of coding practices, readability, and maintainability\n"
     "4. **Potential Issues**: Any bugs, security concerns, or performance problems\n"
     "5. **Improvement Suggestions**: Recommendations for better implementation\n"
     "\n"
     "{{#if analysis_type}}Focus specifically on: {{analysis_type}}{{/if}}\n"
     "\n"
     "{{#if file_content}}\n"
     "File Content:\n"
     "```\n"
     "{{file_content}}\n"
     "```\n"
     "{{/if}}"},
    {"review_code",
     "Review the code in {{file_path}}:\n"
     "\n"
     "**Code Structure & Organization**\n"
     "- Is the code well-organized and follows best practices?\n"
     "- Are classes and functions appropriately sized?\n"
     "- Is there proper separation of concerns?\n"
     "\n"
     "**Error Handling**\n"
     "- Are errors properly handled and propagated?\n"
     "- Are there adequate safeguards against crashes?\n"
     "- Is user input properly validated?\n"
     "\n"
     "**Performance Considerations**\n"
     "- Are there any obvious performance bottlenecks?\n"
     "- Is memory usage optimized?\n"
     "- Are expensive operations cached where appropriate?\n"
     "\n"
     "**Security Analysis**\n"
     "- Are there any security vulnerabilities?\n"
     "- Is sensitive data properly protected?\n"
     "- Are permissions and access controls appropriate?\n"
     "\n"
     "{{#if focus_area}}**Special Focus**: {{focus_area}}{{/if}}\n"
     "\n"
     "Provide specific recommendations with code examples where possible.\n"
     "\n"
     "{{#if file_content}}\n"
     "Code to Review:\n"
     "```\n"
     "{{file_content}}\n"
     "```\n"
     "{{/if}}"},
    {"optimize_system",
     "System Optimization Analysis for Linux\n"
     "\n"
     "Based on current system information, here are optimization recommendations:\n"
     "\n"
     "**Memory Optimization**\n"
     "- Review running applications and close unnecessary ones (`free -h`, `top`, `ps aux --sort=-rss`)\n"
     "- Check for memory leaks in long-running processes\n"
     "- Consider upgrading RAM if consistently over 80% usage\n"
     "\n"
     "**CPU Performance**\n"
     "- Identify CPU-intensive processes (`top`, `systemd-cgtop`)\n"
     "- Consider background task scheduling for batch operations (systemd timers, `nice`)\n"
     "- Review startup items and disable unnecessary ones (`systemctl list-unit-files --state=enabled`, `systemctl --user`, "
     "~/.config/autostart; failing units in `journalctl -p err -b`)\n"
     "\n"
     "**Disk Management**\n"
     "- Free up disk space (aim for at least 15% free; `df -h` per file system, `du -sh` to find large folders)\n"
     "- Use SSD optimization techniques (periodic TRIM with `fstrim.timer`)\n"
     "- Regular cleanup of temporary files and caches (`apt clean` for the package cache, ~/.cache, `journalctl --vacuum-size`)\n"
     "\n"
     "**Network Optimization**\n"
     "- Review network-intensive applications (`ss -tunap`, `nethogs`)\n"
     "- Consider QoS settings for critical services (`tc`)\n"
     "- Monitor for unusual network activity\n"
     "\n"
     "{{#if focus_area}}**Focused Analysis**: {{focus_area}}{{/if}}\n"
     "{{#if detailed}}**Detailed Technical Recommendations**: Enabled{{/if}}\n"
     "\n"
     "{{#if system_info}}\n"
     "Current System Status:\n"
     "{{system_info}}\n"
     "{{/if}}"},
    {"security_audit",
     "Security Audit for {{target}}\n"
     "\n"
     "**Authentication & Authorization**\n"
     "- Verify proper authentication mechanisms\n"
     "- Check authorization and access controls\n"
     "- Review session management\n"
     "\n"
     "**Data Protection**\n"
     "- Sensitive data encryption at rest and in transit\n"
     "- Proper key management\n"
     "- Secure data disposal\n"
     "\n"
     "**Input Validation**\n"
     "- All user inputs properly validated\n"
     "- Protection against injection attacks\n"
     "- Sanitization of output data\n"
     "\n"
     "**System Hardening**\n"
     "- Unnecessary services disabled\n"
     "- Proper file permissions\n"
     "- Security updates applied\n"
     "\n"
     "**Network Security**\n"
     "- Firewall configuration\n"
     "- Secure communication protocols\n"
     "- Network segmentation\n"
     "\n"
     "{{#if severity}}**Minimum Severity**: {{severity}}{{/if}}\n"
     "\n"
     "{{#if target_content}}\n"
     "Target Content:\n"
     "```\n"
     "{{target_content}}\n"
     "```\n"
     "{{/if}}"},
    {"remote_access_security",
     "Remote Access Security Checklist for Zarnel\n"
     "\n"
     "**SSH Tunnel Security**\n"
     "- Use SSH key authentication (disable password auth)\n"
     "- Configure SSH on non-standard port\n"
     "- Enable SSH connection rate limiting\n"
     "- Use SSH multiplexing for efficiency\n"
     "- Monitor SSH logs regularly\n"
     "\n"
     "**MCP Server Security**\n"
     "- Bind MCP server to localhost only (127.0.0.1)\n"
     "- Use SSH port forwarding: ssh -L local_port:127.0.0.1:remote_port user@host\n"
     "- Enable activity logging for audit trail\n"
     "- Set appropriate command timeouts\n"
     "- Review tool permissions regularly\n"
     "\n"
     "**Network Security**\n"
     "- Use strong SSH key encryption (ED25519 or RSA 4096)\n"
     "- Enable firewall rules for SSH access\n"
     "- Consider IP whitelisting\n"
     "- Use fail2ban or similar for brute force protection\n"
     "\n"
     "**Monitoring & Auditing**\n"
     "- Enable comprehensive logging\n"
     "- Monitor for unusual activity patterns\n"
     "- Regular review of activity logs\n"
     "- Set up alerts for suspicious behavior\n"
     "\n"
     "**Best Practices**\n"
     "- Keep SSH and system software updated\n"
     "- Use separate SSH keys for different purposes\n"
     "- Implement least privilege principle\n"
     "- Regular security audits\n"
     "- Document access procedures\n"
     "\n"
     "{{#if connection_type}}**Connection Type**: {{connection_type}}{{/if}}\n"
     "\n"
     "For SSH tunneling to Zarnel:\n"
     "```bash\n"
     "# Local machine\n"
     "ssh -L 8080:127.0.0.1:stdio user@remote-host\n"
     "\n"
     "# Connect MCP client to localhost:8080\n"
     "# This securely tunnels to remote Zarnel server\n"
     "```"},
    {"backup_strategy",
     "Backup Strategy for {{data_type}}\n"
     "\n"
     "**Backup Methods**\n"
     "- Snapshot and incremental tools (Timeshift for the system; rsync, Borg or restic for files, on a systemd timer or cron schedule)\n"
     "- Manual archives (selective, on-demand)\n"
     "- Cloud backup services (offsite protection)\n"
     "- Version control (for code repositories)\n"
     "\n"
     "**3-2-1 Backup Rule**\n"
     "- 3 copies of your data\n"
     "- 2 different storage types\n"
     "- 1 offsite backup\n"
     "\n"
     "**Recommended Schedule**\n"
     "{{#if frequency}}Frequency: {{frequency}}{{/if}}\n"
     "{{#if retention}}Retention: {{retention}}{{/if}}\n"
     "\n"
     "**Implementation Steps**\n"
     "1. Set up Borg, restic or rsync (or Timeshift for the system) with an external drive and schedule it with a systemd timer or cron\n"
     "2. Set up automated scripts for critical data\n"
     "3. Configure cloud backup for important files\n"
     "4. Test restore procedures regularly\n"
     "5. Document backup and restore processes\n"
     "\n"
     "**Monitoring & Verification**\n"
     "- Regular backup health checks\n"
     "- Periodic restore tests\n"
     "- Storage capacity monitoring\n"
     "- Backup completion notifications\n"
     "\n"
     "**For Zarnel Server Data**\n"
     "- Activity logs: Daily backup, 30-day retention\n"
     "- Statistics: Weekly backup, 90-day retention\n"
     "- Settings: Backup on change, indefinite retention\n"
     "- Tool results: Based on importance and size"},
};

} // namespace

PromptManager::PromptManager(std::shared_ptr<const SystemInformation> systemInformation, FileManager& files, QObject* parent)
    : QObject(parent)
    , m_systemInformation(std::move(systemInformation))
    , m_files(files)
{
    registerDefaultPrompts();
}

PromptManager::~PromptManager() = default;

void PromptManager::registerDefaultPrompts()
{
    const std::vector<MCPPrompt> descriptors = {
        prompt("analyze_file", "Analyze a file and provide insights about its content, structure, and purpose",
               {argument("file_path", "Path to the file to analyze", true),
                argument("analysis_type", "Type of analysis: summary, structure, dependencies, or security", false)}),
        prompt("review_code", "Review code for best practices, potential issues, and improvements",
               {argument("file_path", "Path to the code file to review", true),
                argument("focus_area", "Focus area: security, performance, readability, or all", false)}),
        prompt("optimize_system", "Analyze system performance and suggest optimizations for Linux",
               {argument("focus_area", "Area to optimize: memory, cpu, disk, network, or all", false),
                argument("detailed", "Include detailed technical recommendations (true/false)", false)}),
        prompt("security_audit", "Perform security analysis and identify potential vulnerabilities",
               {argument("target", "File, directory, or system component to audit", true),
                argument("severity", "Minimum severity level: low, medium, high, or critical", false)}),
        prompt("remote_access_security", "Security recommendations for remote access via SSH tunneling",
               {argument("connection_type", "Type of remote connection: ssh, vpn, or direct", false)}),
        prompt("backup_strategy", "Design and implement backup strategies for data protection on Linux",
               {argument("data_type", "Type of data to backup: documents, code, media, system, or all", true),
                argument("frequency", "Backup frequency: hourly, daily, weekly, or monthly", false),
                argument("retention", "How long to retain backups: days, weeks, or months", false)}),
    };
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        registerPrompt(descriptors[i]);
        registerTemplate(kTemplates[i].first, kTemplates[i].second);
    }
}

void PromptManager::registerPrompt(MCPPrompt prompt)
{
    const bool known = std::any_of(m_prompts.begin(), m_prompts.end(), [&](const MCPPrompt& other) { return other.name == prompt.name; });
    if (known)
        return;
    qCInfo(lcPrompts, "Registered prompt: %s", prompt.name.c_str());
    m_prompts.push_back(std::move(prompt));
    Q_EMIT promptsChanged();
}

void PromptManager::registerTemplate(const std::string& name, std::string templateText)
{
    m_templates[name] = std::move(templateText);
    qCInfo(lcPrompts, "Registered prompt template: %s", name.c_str());
}

QCoro::Task<std::optional<std::string>> PromptManager::readContextFile(QString path, const char* failurePrefix)
{
    FileManager* files = &m_files;
    // Up to 64 MiB may be read: off the main thread.
    // Named before it is awaited: g++ 12 destroys the captures of a lambda temporary inside a
    // co_await expression twice.
    auto reading = QtConcurrent::run([files, filePath = FilePath(path)]() -> std::optional<FileResult<QString>> {
        if (!files->exists(filePath))
            return std::nullopt;
        return files->readTextFile(filePath);
    });
    auto outcome = co_await reading;
    if (!outcome)
        co_return std::nullopt;
    if (!outcome->ok()) {
        qCCritical(lcPrompts, "%s%s", failurePrefix, qPrintable(Log::clip(path)));
        co_return std::nullopt;
    }
    co_return outcome->value().toStdString();
}

QCoro::Task<PromptGetResult> PromptManager::getPrompt(QString name, Json::object_t arguments)
{
    QPointer<PromptManager> self(this);
    const std::string key = name.toStdString();
    const auto descriptor = std::find_if(m_prompts.begin(), m_prompts.end(), [&](const MCPPrompt& prompt) { return prompt.name == key; });
    if (descriptor == m_prompts.end())
        co_return MCPPromptError::promptNotFound(name);
    const auto found = m_templates.find(key);
    if (found == m_templates.end())
        co_return MCPPromptError::promptTemplateNotFound(name);
    const std::string templateText = found->second;

    // Supplied means present, whatever the value (an empty string, false or null included).
    for (const PromptArgument& argument : descriptor->arguments.value_or(std::vector<PromptArgument>{})) {
        if (argument.required.value_or(false) && !arguments.contains(argument.name))
            co_return MCPPromptError::missingArgument(QString::fromStdString(argument.name));
    }

    Json::object_t values = std::move(arguments);
    values["prompt_name"] = key;

    // The system would read such a path only up to the NUL, which names another file.
    for (const char* pathKey : {"file_path", "target"}) {
        if (const auto path = stringValue(values, pathKey); path && path->contains(QChar(u'\0')))
            co_return MCPPromptError::invalidPath();
    }
    if (const auto path = stringValue(values, "file_path")) {
        if (auto text = co_await readContextFile(*path, "Could not read file for prompt context: "))
            values["file_content"] = std::move(*text);
    }
    if (key == "security_audit") {
        if (const auto target = stringValue(values, "target")) {
            if (auto text = co_await readContextFile(*target, "Could not read target for security audit: "))
                values["target_content"] = std::move(*text);
        }
    }
    if (!self)
        co_return MCPPromptError::invalidPrompt(QStringLiteral("the catalogue is gone"));

    if (key == "optimize_system") {
        values["system_info"] = SystemReport::current(*m_systemInformation).toStdString();
    }

    auto rendered = TemplateRenderer::render(templateText, values);
    if (!rendered)
        co_return MCPPromptError::invalidPrompt(
            QStringLiteral("the rendered text would be larger than %1 bytes").arg(TemplateRenderer::kMaxRenderedBytes));
    MCPPromptMessage message{"user", MCPPromptContent::text(std::move(*rendered))};
    co_return std::vector<MCPPromptMessage>{std::move(message)};
}
