#pragma once
// The history of changes made to one radio, newest first, with an export to CSV for a service
// desk's spreadsheet.

#include <QDialog>
#include <QString>
#include <vector>

#include "history/ChangeHistory.h"

class QLabel;
class QPushButton;
class QTableWidget;

class THistoryView : public QDialog {
    Q_OBJECT
  public:
    THistoryView(QWidget* parent, const QString& radio, std::vector<HistoryEntry> entries);

    QTableWidget* Table_History;
    QPushButton* Button_Export;
    QLabel* Label_Count;

    // Writes the entries to `path` whole or not at all; false with the reason.
    bool ExportCsv(const QString& path, QString& problem) const;

  private:
    void Export();

    std::vector<HistoryEntry> entries_;
};
