#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class ActivityLogFilterModel;
class ActivityLogModel;
class ActivityTable;
class Clipboard;
class Clock;
class EmptyState;
class ExportSheet;
class HistoryView;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

// The whole activity log of every process, newest first, with a search that filters as the
// user types, "Clear" and the export sheet; beside it, when a history database is given, the
// "History" view of every call kept across restarts.
class ActivityLogPage : public QWidget {
    Q_OBJECT
public:
    // `historyDays` tells how long the history keeps calls when its view is opened.
    ActivityLogPage(ActivityLogModel& log, std::shared_ptr<Clipboard> clipboard, const Clock& clock, const QString& historyPath = {},
                    std::function<qint64()> historyDays = {}, QWidget* parent = nullptr);

    ActivityLogFilterModel& filter() const { return *m_filter; }
    void setSearchText(const QString& text);
    // The empty-state panel's title; empty while rows are shown.
    QString emptyTitle() const;
    // The selected entry in full, as its detail pane shows it; empty while none is selected.
    QString detailText() const;

    // The history view, made when first shown; none without a database.
    HistoryView* historyView() const { return m_history; }

public Q_SLOTS:
    // Switches between the live log and the history.
    void showHistory(bool history);
    // Opens the export sheet (non-modal) and returns it.
    ExportSheet* showExport();

    // Asks first; true when the person agreed and clearRequested went out.
    bool requestClear();

Q_SIGNALS:
    // The user pressed "Clear" and agreed: every process's log is to be emptied.
    void clearRequested();

private:
    void updateEmptyState();
    void updateDetail();

    ActivityLogModel& m_log;
    QString m_historyPath;
    std::function<qint64()> m_historyDays;
    HistoryView* m_history = nullptr;
    QStackedWidget* m_views;
    QWidget* m_liveControls;
    std::shared_ptr<Clipboard> m_clipboard;
    const Clock& m_clock;
    ActivityLogFilterModel* m_filter;
    QLineEdit* m_search;
    QStackedWidget* m_stack;
    ActivityTable* m_table;
    QPlainTextEdit* m_detail;
    EmptyState* m_empty;
};
