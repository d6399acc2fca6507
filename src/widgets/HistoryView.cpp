#include "widgets/HistoryView.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/UserDialogs.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

QString Change(const HistoryEntry& e) {
    if (e.Field == "flash")
        return "Saved to flash";
    return Text(e.OldValue.empty() ? "?" : e.OldValue) + " → " + Text(e.NewValue) +
           (e.Unit.empty() ? "" : " " + Text(e.Unit));
}

}  // namespace

THistoryView::THistoryView(QWidget* parent, const QString& radio, std::vector<HistoryEntry> entries)
    : QDialog(parent), entries_(std::move(entries)) {
    setObjectName("HistoryView");
    setWindowTitle("History of " + radio);
    auto* layout = new QVBoxLayout(this);
    Label_Count = new QLabel(QString("%1 changes, newest first").arg(entries_.size()), this);
    Label_Count->setObjectName("Label_Count");
    Table_History = new QTableWidget(static_cast<int>(entries_.size()), 5, this);
    Table_History->setObjectName("Table_History");
    Table_History->setHorizontalHeaderLabels({"Time", "Setting", "Change", "From", "Operator"});
    Table_History->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table_History->verticalHeader()->hide();
    for (size_t i = 0; i < entries_.size(); ++i) {
        const HistoryEntry& e = entries_[i];
        const QString cells[] = {Text(e.Time).replace('T', ' '), Text(e.Field), Change(e),
                                 Text(e.Source + " " + e.Action), Text(e.User)};
        for (int c = 0; c < 5; ++c)
            Table_History->setItem(static_cast<int>(i), c, new QTableWidgetItem(cells[c]));
    }
    Table_History->resizeColumnsToContents();
    Table_History->horizontalHeader()->setStretchLastSection(true);
    Button_Export = new QPushButton("Export CSV...", this);
    Button_Export->setObjectName("Button_Export");
    Button_Export->setEnabled(!entries_.empty());
    connect(Button_Export, &QPushButton::clicked, this, &THistoryView::Export);
    layout->addWidget(Label_Count);
    layout->addWidget(Table_History);
    layout->addWidget(Button_Export, 0, Qt::AlignRight);
    resize(640, 360);
}

bool THistoryView::ExportCsv(const QString& path, QString& problem) const {
    // Written to a temporary file and renamed: a failed export never leaves half a file.
    QSaveFile file(path);
    const std::string csv = HistoryCsv(entries_);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.commit()) {
        problem = file.errorString();
        return false;
    }
    return true;
}

void THistoryView::Export() {
    const QString path =
        QFileDialog::getSaveFileName(this, "Export History", "history.csv", "CSV (*.csv)");
    if (path.isEmpty())
        return;
    QString problem;
    if (!ExportCsv(path, problem))
        ShowErrorBox("Unable to write to " + path.toStdString() + ": " + problem.toStdString());
}
