#include "ui/dashboard/DocumentationPages.h"

#include "ui/Symbols.h"
#include "ui/dashboard/PageHeader.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

QString shellQuoted(const QString& path)
{
    return path.contains(QLatin1Char(' ')) ? QLatin1Char('\'') + path + QLatin1Char('\'') : path;
}

QString jsonQuoted(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// A page whose content scrolls, with a title and an introduction.
QVBoxLayout* scrollingPage(QWidget* page, const QString& title, const QString& introduction)
{
    QVBoxLayout* layout = PageHeader::scrollingLayout(page);
    layout->addWidget(PageHeader::create(title, introduction, layout->parentWidget()));
    return layout;
}

QLabel* textBlock(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFocusPolicy(Qt::StrongFocus); // reachable by keyboard, so that it can be read and copied
    return label;
}

// A command or configuration, line for line in a fixed-width font. A line wider than the page
// scrolls within the block, so the page itself never needs a horizontal scroll bar.
QScrollArea* codeBlock(const QString& text, const QString& name, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setObjectName(QStringLiteral("codeBlock"));
    scroll->setFrameShape(QFrame::StyledPanel);
    scroll->setWidgetResizable(true);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setBackgroundRole(QPalette::AlternateBase);
    auto* label = new QLabel(text, scroll);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setFocusPolicy(Qt::StrongFocus);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::AlternateBase);
    label->setMargin(8);
    label->setAccessibleName(name);
    scroll->setWidget(label);
    // Room for every line and for the scroll bar that a narrow page brings, so that it never
    // covers the last line.
    scroll->setFixedHeight(label->sizeHint().height() + scroll->horizontalScrollBar()->sizeHint().height() + 2 * scroll->frameWidth());
    return scroll;
}

} // namespace

namespace DocumentationPages {

QList<Section> gettingStartedSections(const QString& binaryPath)
{
    const auto prose = [](const QString& text) { return Block{text, false}; };
    const auto code = [](const QString& text) { return Block{text, true}; };
    return {
        {QStringLiteral("What is MCP?"),
         {prose(QStringLiteral("Model Context Protocol (MCP) is an open protocol by Anthropic that standardizes how AI assistants "
                               "connect to data sources and tools. Zarnel implements this protocol to give AI assistants powerful "
                               "control over your Linux system."))}},
        {QStringLiteral("How to Connect - Local Access"),
         {prose(QStringLiteral("1. Start the Zarnel server from the dashboard\n"
                               "2. Configure your MCP client (for example Claude Desktop) on this computer\n"
                               "3. The AI can now use all available tools")),
          prose(QStringLiteral("MCP Client Configuration:\n"
                               "Add Zarnel to the \"mcpServers\" of your client's configuration file "
                               "(for Claude Desktop: ~/.config/Claude/claude_desktop_config.json):")),
          code(QStringLiteral("{\n"
                              "  \"mcpServers\": {\n"
                              "    \"zarnel\": {\n"
                              "      \"command\": %1\n"
                              "    }\n"
                              "  }\n"
                              "}")
                   .arg(jsonQuoted(binaryPath))),
          prose(QStringLiteral("Restart your client to activate Zarnel tools."))}},
        {QStringLiteral("Remote Access via SSH Tunnels"),
         {prose(QStringLiteral("To allow a remote AI server to control this computer:")), prose(QStringLiteral("1. Enable SSH login:")),
          code(QStringLiteral("sudo apt install openssh-server\n"
                              "sudo systemctl enable --now ssh")),
          prose(QStringLiteral("✓ Allow specific users only (AllowUsers in /etc/ssh/sshd_config)")),
          prose(QStringLiteral("2. Setup SSH Security (Recommended):\n"
                               "• Use SSH keys only (PasswordAuthentication no in /etc/ssh/sshd_config)\n"
                               "• Whitelist AI server IP: sudo ufw allow from <AI server IP> to any port 22\n"
                               "• Enable the firewall: sudo ufw enable\n"
                               "• Consider using VPN for private network")),
          prose(QStringLiteral("3. From Remote AI Server:")),
          code(QStringLiteral("ssh your_user@your-computer-ip \\\n"
                              "  \"%1\"")
                   .arg(shellQuoted(binaryPath))),
          prose(QStringLiteral("Started over SSH, Zarnel has no windows and serves only when \"Auto-start server on launch\" is "
                               "on in Settings.")),
          prose(QStringLiteral("All remote actions appear in Activity Log for full transparency.")),
          prose(QStringLiteral("⚠️ Security: Only enable for trusted AI servers. Use SSH keys, whitelist IPs, and monitor Activity "
                               "Log regularly."))}},
        {QStringLiteral("Security"),
         {prose(QStringLiteral("Zarnel is not sandboxed and has extensive system permissions. Only connect trusted AI clients. All "
                               "activity is logged and can be monitored in the Activity Log."))}},
    };
}

QList<Example> exampleCards()
{
    return {
        {QStringLiteral("Read a File"), QStringLiteral("Read the contents of any file"),
         QStringLiteral("Tool: read_file\nArguments: {\"path\": \"/path/to/file.txt\"}")},
        {QStringLiteral("Execute Command"), QStringLiteral("Run any shell command"),
         QStringLiteral("Tool: execute_command\nArguments: {\"command\": \"ls -la ~\"}")},
        {QStringLiteral("Control Applications"), QStringLiteral("Launch, list, or quit desktop applications"),
         QStringLiteral("Tool: launch_app\nArguments: {\n  \"app\": \"firefox\"\n}")},
        {QStringLiteral("Take Screenshot"), QStringLiteral("Capture the screen and return as image"),
         QStringLiteral("Tool: capture_screenshot\nArguments: {\"save_path\": \"/tmp/screenshot.png\"}")},
        {QStringLiteral("Search Files"), QStringLiteral("Find files matching a pattern"),
         QStringLiteral("Tool: search_files\nArguments: {\n  \"pattern\": \"*.py\",\n  \"directory\": \"/path/to/project\",\n"
                        "  \"recursive\": true\n}")},
    };
}

QWidget* gettingStarted(const QString& binaryPath, QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QStringLiteral("GettingStartedPage"));
    QVBoxLayout* layout = scrollingPage(
        page, QStringLiteral("Getting Started"),
        QStringLiteral("Zarnel is a Model Context Protocol (MCP) server that enables AI assistants to control this computer."));
    for (const Section& section : gettingStartedSections(binaryPath)) {
        auto* title = new QLabel(section.heading, layout->parentWidget());
        PageHeader::makeSectionHeading(title);
        layout->addWidget(title);
        for (const Block& block : section.blocks) {
            if (block.code) {
                layout->addWidget(codeBlock(block.text, section.heading, layout->parentWidget()));
            } else {
                QLabel* text = textBlock(block.text, layout->parentWidget());
                text->setAccessibleName(section.heading);
                layout->addWidget(text);
            }
        }
    }
    layout->addStretch();
    return page;
}

QWidget* examples(QWidget* parent)
{
    auto* page = new QWidget(parent);
    page->setObjectName(QStringLiteral("ExamplesPage"));
    QVBoxLayout* layout = scrollingPage(page, QStringLiteral("Examples"), QStringLiteral("Common use cases and example commands"));
    for (const Example& example : exampleCards()) {
        auto* card = new QFrame(layout->parentWidget());
        card->setFrameShape(QFrame::StyledPanel);
        card->setObjectName(example.title);
        card->setAccessibleName(example.title);
        auto* cardLayout = new QVBoxLayout(card);
        auto* title = new QLabel(example.title, card);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        cardLayout->addWidget(title);
        auto* description = new QLabel(example.description, card);
        description->setForegroundRole(QPalette::PlaceholderText);
        description->setWordWrap(true);
        cardLayout->addWidget(description);
        cardLayout->addWidget(codeBlock(example.example, example.title + QStringLiteral(" example"), card));
        layout->addWidget(card);
    }
    layout->addStretch();
    return page;
}

} // namespace DocumentationPages
