#include "ui/dashboard/SettingsPage.h"

#include "Version.h"
#include "platform/processes/CommandSandbox.h"
#include "state/LogLevel.h"
#include "state/SettingsManager.h"
#include "ui/Symbols.h"
#include "ui/dashboard/FolderListEditor.h"
#include "ui/dashboard/PageHeader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace {

QLabel* note(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setContentsMargins(24, 0, 0, 4);
    return label;
}

QVBoxLayout* section(QVBoxLayout* page, const QString& title, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(title);
    box->setAccessibleName(title);
    page->addWidget(box);
    return new QVBoxLayout(box);
}

} // namespace

SettingsPage::SettingsPage(SettingsManager& settings, Writer writer, CapabilityProbe probe, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_writer(std::move(writer))
    , m_probe(std::move(probe))
{
    setObjectName(QStringLiteral("SettingsPage"));
    QVBoxLayout* page = PageHeader::scrollingLayout(this);
    QWidget* content = page->parentWidget();
    page->addWidget(PageHeader::title(QStringLiteral("Settings"), content));

    QVBoxLayout* server = section(page, QStringLiteral("Server Configuration"), content);
    m_autoStart = addToggle(server, QStringLiteral("autoStartServer"), QStringLiteral("Auto-start server on launch"));
    m_notifications = addToggle(server, QStringLiteral("showNotifications"), QStringLiteral("Show notifications"));
    auto* levelRow = new QHBoxLayout;
    auto* levelLabel = new QLabel(QStringLiteral("Log level"), content);
    m_logLevel = new QComboBox(content);
    m_logLevel->setObjectName(QStringLiteral("logLevel"));
    for (LogLevel level : LogLevels::allCases())
        m_logLevel->addItem(LogLevels::displayName(level), LogLevels::rawValue(level));
    levelLabel->setBuddy(m_logLevel);
    m_logLevel->setAccessibleName(QStringLiteral("Log level"));
    levelRow->addWidget(levelLabel);
    levelRow->addWidget(m_logLevel);
    levelRow->addStretch();
    server->addLayout(levelRow);
    connect(m_logLevel, &QComboBox::activated, this,
            [this](int index) { m_writer(QStringLiteral("logLevel"), m_logLevel->itemData(index)); });
    m_maxEntries = addStepper(server, QStringLiteral("maxLogEntries"), QStringLiteral("Max log entries"), kMinLogEntries, kMaxLogEntries,
                              kLogEntriesStep, {});
    m_toolLogging = addToggle(server, QStringLiteral("enableToolLogging"), QStringLiteral("Enable tool logging"),
                              QStringLiteral("Log detailed information about tool executions"));

    QVBoxLayout* security = section(page, QStringLiteral("Security"), content);
    m_confirmation = addToggle(security, QStringLiteral("requireConfirmation"), QStringLiteral("Require confirmation for dangerous tools"),
                               QStringLiteral("Ask for confirmation before executing potentially dangerous operations"));
    m_timeout = addStepper(security, QStringLiteral("commandTimeout"), QStringLiteral("Command timeout"), kMinTimeout, kMaxTimeout,
                           kTimeoutStep, QStringLiteral(" s"));
    for (const QString& warning : {QStringLiteral("All tools run with the permissions of the Zarnel application."),
                                   QStringLiteral("Only connect trusted AI clients. All activity is logged.")}) {
        auto* row = new QHBoxLayout;
        auto* icon = new QLabel(content);
        icon->setPixmap(Symbols::tinted(QStringLiteral("exclamationmark.triangle.fill"), QColor(0xf0, 0x8a, 0x00)).pixmap(16, 16));
        auto* label = new QLabel(warning, content);
        label->setWordWrap(true);
        QPalette orange = label->palette();
        orange.setColor(QPalette::WindowText, QColor(0xe0, 0x7a, 0x00));
        label->setPalette(orange);
        row->addWidget(icon);
        row->addWidget(label, 1);
        security->addLayout(row);
    }

    QVBoxLayout* folders = section(page, QStringLiteral("Folders"), content);
    folders->addWidget(note(QStringLiteral("With allowed folders, every tool and every command works only there; with none, "
                                           "everywhere you can."),
                            content));
    m_allowedFolders = new FolderListEditor(QStringLiteral("Allowed folders"), content);
    m_allowedFolders->setObjectName(QStringLiteral("allowedFolders"));
    m_readOnlyFolders = new FolderListEditor(QStringLiteral("Read-only folders"), content);
    m_readOnlyFolders->setObjectName(QStringLiteral("readOnlyFolders"));
    for (FolderListEditor* editor : {m_allowedFolders, m_readOnlyFolders}) {
        folders->addWidget(editor);
        connect(editor, &FolderListEditor::foldersEdited, this,
                [this, editor](const QStringList& edited) { m_writer(editor->objectName(), edited); });
    }
    m_commandNetwork = addToggle(folders, QStringLiteral("commandNetwork"), QStringLiteral("Commands may use the network"));
    m_commandConfinement = note(QString(), content);
    m_commandConfinement->setObjectName(QStringLiteral("commandConfinement"));
    folders->addWidget(m_commandConfinement);

    QVBoxLayout* permissions = section(page, QStringLiteral("Permissions"), content);
    permissions->addWidget(note(QStringLiteral("Desktop services some tools need. Zarnel works without them; the tools that need "
                                               "one report what is missing."),
                                content));
    m_capabilities = new QVBoxLayout;
    permissions->addLayout(m_capabilities);
    auto* refresh = new QPushButton(Symbols::icon(QStringLiteral("arrow.clockwise")), QStringLiteral("Refresh Status"), content);
    refresh->setObjectName(QStringLiteral("refreshStatus"));
    refresh->setAccessibleName(QStringLiteral("Refresh Status"));
    refresh->setToolTip(QStringLiteral("Look again for the desktop services"));
    connect(refresh, &QPushButton::clicked, this, [this] {
        Q_EMIT capabilitiesRefreshRequested();
        refreshCapabilities();
    });
    permissions->addWidget(refresh, 0, Qt::AlignLeft);

    QVBoxLayout* integration = section(page, QStringLiteral("System Integration"), content);
    m_launchAtLogin = addToggle(integration, QStringLiteral("launchAtLogin"), QStringLiteral("Launch at login"),
                                QStringLiteral("Automatically start Zarnel when you log in"));

    QVBoxLayout* about = section(page, QStringLiteral("About"), content);
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(new QLabel(QStringLiteral("Version"), content));
    versionRow->addStretch();
    auto* version = new QLabel(QStringLiteral(ZARNEL_VERSION), content);
    version->setObjectName(QStringLiteral("version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    versionRow->addWidget(version);
    about->addLayout(versionRow);
    page->addStretch();

    connect(&m_settings, &SettingsManager::settingsChanged, this, &SettingsPage::showSettings);
    showSettings();
    refreshCapabilities();
}

QCheckBox* SettingsPage::addToggle(QVBoxLayout* section, const QString& key, const QString& text, const QString& noteText)
{
    auto* toggle = new QCheckBox(text, section->parentWidget());
    toggle->setObjectName(key);
    toggle->setAccessibleName(text);
    if (!noteText.isEmpty())
        toggle->setAccessibleDescription(noteText);
    section->addWidget(toggle);
    if (!noteText.isEmpty())
        section->addWidget(note(noteText, section->parentWidget()));
    // clicked, not toggled: only the user's own changes are written.
    connect(toggle, &QCheckBox::clicked, this, [this, key](bool checked) { m_writer(key, checked); });
    return toggle;
}

QSpinBox* SettingsPage::addStepper(QVBoxLayout* section, const QString& key, const QString& text, int minimum, int maximum, int step,
                                   const QString& suffix)
{
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(text, section->parentWidget());
    auto* stepper = new QSpinBox(section->parentWidget());
    stepper->setObjectName(key);
    stepper->setAccessibleName(text);
    stepper->setRange(minimum, maximum);
    stepper->setSingleStep(step);
    stepper->setSuffix(suffix);
    stepper->setKeyboardTracking(false);
    // showSettings widens the range to show a value stored outside it (an edited file); a step
    // from there stores the nearest value the page offers.
    label->setBuddy(stepper);
    row->addWidget(label);
    row->addWidget(stepper);
    row->addStretch();
    section->addLayout(row);
    connect(stepper, &QSpinBox::valueChanged, this,
            [this, key, minimum, maximum](int value) { m_writer(key, static_cast<qint64>(std::clamp(value, minimum, maximum))); });
    return stepper;
}

void SettingsPage::showSettings()
{
    const auto show = [](QWidget* widget, auto assign) {
        const QSignalBlocker quiet(widget);
        assign();
    };
    show(m_autoStart, [&] { m_autoStart->setChecked(m_settings.autoStartServer()); });
    show(m_notifications, [&] { m_notifications->setChecked(m_settings.showNotifications()); });
    show(m_logLevel, [&] { m_logLevel->setCurrentIndex(m_logLevel->findData(m_settings.logLevelRawValue())); });
    show(m_toolLogging, [&] { m_toolLogging->setChecked(m_settings.enableToolLogging()); });
    show(m_confirmation, [&] { m_confirmation->setChecked(m_settings.requireConfirmation()); });
    show(m_launchAtLogin, [&] { m_launchAtLogin->setChecked(m_settings.launchAtLogin()); });
    show(m_commandNetwork, [&] { m_commandNetwork->setChecked(m_settings.commandNetwork()); });
    m_allowedFolders->setFolders(m_settings.allowedFolders());
    m_readOnlyFolders->setFolders(m_settings.readOnlyFolders());
    FolderConfinement confinement;
    confinement.setRules(FolderRules{m_settings.allowedFolders(), m_settings.readOnlyFolders(), m_settings.commandNetwork()});
    const QString status = CommandSandbox::statusText(confinement.effective());
    m_commandConfinement->setText(status == QLatin1String("off") ? QStringLiteral("Commands are not confined.")
                                      : status == QLatin1String("kernel")
                                      ? QStringLiteral("Commands are confined by the kernel.")
                                      : QStringLiteral("Commands cannot be confined on this system (%1): "
                                                       "they are refused while folders are set.")
                                            .arg(status.mid(QStringLiteral("unavailable: ").size())));
    // A value stored outside the offered range (an edited file) is shown as it is, and written
    // only when the user steps.
    const auto showStored = [&](QSpinBox* stepper, qint64 stored, int minimum, int maximum) {
        const int value = static_cast<int>(std::clamp<qint64>(stored, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
        show(stepper, [&] {
            stepper->setRange(std::min(value, minimum), std::max(value, maximum));
            stepper->setValue(value);
        });
    };
    showStored(m_maxEntries, m_settings.maxLogEntries(), kMinLogEntries, kMaxLogEntries);
    showStored(m_timeout, m_settings.commandTimeout(), kMinTimeout, kMaxTimeout);
}

void SettingsPage::refreshCapabilities()
{
    while (QLayoutItem* item = m_capabilities->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QList<CapabilityStatus> capabilities = m_probe ? m_probe() : QList<CapabilityStatus>{};
    for (const CapabilityStatus& capability : capabilities) {
        auto* row = new QWidget(this);
        row->setObjectName(capability.name);
        auto* layout = new QGridLayout(row);
        layout->setContentsMargins(0, 2, 0, 2);
        auto* icon = new QLabel(row);
        icon->setPixmap(capability.available
                            ? Symbols::tinted(QStringLiteral("checkmark.circle.fill"), QColor(0x2e, 0xa0, 0x45)).pixmap(16, 16)
                            : Symbols::tinted(QStringLiteral("exclamationmark.circle.fill"), QColor(0xf0, 0x8a, 0x00)).pixmap(16, 16));
        layout->addWidget(icon, 0, 0);
        layout->addWidget(new QLabel(capability.name, row), 0, 1);
        auto* state = new QLabel(capability.available ? QStringLiteral("Available") : QStringLiteral("Missing"), row);
        state->setObjectName(QStringLiteral("state"));
        layout->addWidget(state, 0, 2, Qt::AlignRight);
        QString detail = capability.route;
        if (!capability.available && !capability.advice.isEmpty())
            detail += (detail.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("To install: ") + capability.advice;
        if (!detail.isEmpty()) {
            auto* text = note(detail, row);
            text->setObjectName(QStringLiteral("detail"));
            text->setTextInteractionFlags(Qt::TextSelectableByMouse);
            layout->addWidget(text, 1, 1, 1, 2);
        }
        layout->setColumnStretch(1, 1);
        row->setAccessibleName(capability.name + QStringLiteral(": ") + state->text());
        m_capabilities->addWidget(row);
    }
    if (capabilities.isEmpty())
        m_capabilities->addWidget(note(QStringLiteral("No desktop session found."), this));
}

SettingsPage::Writer SettingsPage::localWriter(SettingsManager& settings)
{
    return [&settings](const QString& key, const QVariant& value) {
        if (key == QLatin1String("logLevel")) {
            if (const auto level = LogLevels::fromRawValue(value.toString()))
                settings.setLogLevel(*level);
            return;
        }
        settings.setProperty(key.toLatin1().constData(), value);
    };
}
