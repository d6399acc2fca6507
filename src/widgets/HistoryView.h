#pragma once
// The history of changes made to one radio, newest first, with an export to CSV for a service
// desk's spreadsheet. While it is open it follows the changes the window goes on making.

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "history/ChangeHistory.h"

class QLabel;
class QPushButton;
class QTableWidget;

class THistoryView : public QDialog {
    Q_OBJECT
  public:
    // Reads the radio's entries again, newest first; false with the reason.
    using TLoadEntries =
        std::function<bool(std::vector<HistoryEntry>& entries, std::string& problem)>;

    THistoryView(QWidget* parent, const QString& radio, std::vector<HistoryEntry> entries,
                 TLoadEntries load = {});

    QTableWidget* Table_History;
    QPushButton* Button_Export;
    QLabel* Label_Count;

    // Shows the entries as they now stand (a change was recorded); one that cannot be read
    // leaves the table as it was.
    void Reload();
    // Writes the entries to `path` whole or not at all; false with the reason.
    bool ExportCsv(const QString& path, QString& problem) const;

  private:
    void Fill();
    // Wide enough that no column is cut, as far as the screen allows.
    void FitColumns();
    void Export();

    std::vector<HistoryEntry> entries_;
    TLoadEntries load_;
};
