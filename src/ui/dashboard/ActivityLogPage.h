#pragma once

#include <QWidget>

#include <memory>

class ActivityLogFilterModel;
class ActivityLogModel;
class ActivityTable;
class Clipboard;
class Clock;
class EmptyState;
class ExportSheet;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// The whole activity log of every process, newest first, with a search that filters as the
// user types, "Clear" and the export sheet.
class ActivityLogPage : public QWidget {
    Q_OBJECT
public:
    ActivityLogPage(ActivityLogModel& log, std::shared_ptr<Clipboard> clipboard, const Clock& clock, QWidget* parent = nullptr);

    ActivityLogFilterModel& filter() const { return *m_filter; }
    void setSearchText(const QString& text);
    // The empty-state panel's title; empty while rows are shown.
    QString emptyTitle() const;

public Q_SLOTS:
    // Opens the export sheet (non-modal) and returns it.
    ExportSheet* showExport();

Q_SIGNALS:
    // The user pressed "Clear": every process's log is to be emptied.
    void clearRequested();

private:
    void updateEmptyState();

    ActivityLogModel& m_log;
    std::shared_ptr<Clipboard> m_clipboard;
    const Clock& m_clock;
    ActivityLogFilterModel* m_filter;
    QLineEdit* m_search;
    QStackedWidget* m_stack;
    ActivityTable* m_table;
    EmptyState* m_empty;
};
