#pragma once

#include <QWidget>

class HistoryModel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QTableView;

// The Activity Log's "History" view: every tool call kept in the history database, filtered by
// a date range, a tool, a client and errors only, with the selected call in full beside the
// table and an export of what matches to a JSON Lines file.
class HistoryView : public QWidget {
    Q_OBJECT
public:
    HistoryView(const QString& databasePath, const QDateTime& now, qint64 keepDays = 0, QWidget* parent = nullptr);

    HistoryModel& model() const { return *m_model; }
    // The text of the detail pane.
    QString detailText() const;
    QString statusText() const;

public Q_SLOTS:
    // Reads the newest calls again and refreshes the filter's choices.
    void refresh();
    // Asks where to save and writes what matches the filter; the number written, or -1.
    qint64 exportMatching();

private:
    void applyFilter();
    void showSelected();
    void fillChoices(QComboBox* box, const QString& all, const QStringList& names);

    HistoryModel* m_model;
    QDateEdit* m_from;
    QDateEdit* m_to;
    QComboBox* m_tool;
    QComboBox* m_client;
    QCheckBox* m_errors;
    QTableView* m_table;
    QPlainTextEdit* m_detail;
    QLabel* m_status;
};
