#include "widgets/HistoryView.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "common/TimeText.h"
#include "common/UserDialogs.h"
#include "history/HistoryEntries.h"
#include "widgets/HelpWindow.h"
#include "widgets/HtmlHelp.h"

namespace {

constexpr int kColumns = 5;

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// The entry's moment in this machine's local time, with its offset: "2026-12-08 10:30:00 +01:00".
QString LocalTime(const std::string& time) {
    const std::optional<std::time_t> t = ParseTimeText(time);
    if (!t)
        return Text(time);
    QString text = Text(LocalTimeText(*t, ' '));
    return text.insert(text.size() - 6, ' ');
}

QString Change(const HistoryEntry& e) {
    if (e.Field == "flash")
        return "Saved to flash";
    // An operation a killed run left unfinished: what was in flight.
    if (e.Field == kUnfinishedField)
        return "Unfinished: " + Text(e.NewValue);
    return Text(e.OldValue.empty() ? "?" : e.OldValue) + " → " + Text(e.NewValue) +
           (e.Unit.empty() ? "" : " " + Text(e.Unit));
}

}  // namespace

THistoryView::THistoryView(QWidget* parent, const QString& radio, std::vector<HistoryEntry> entries,
                           TLoadEntries load)
    : QDialog(parent), entries_(std::move(entries)), load_(std::move(load)) {
    setObjectName("HistoryView");
    setWindowTitle("History of " + radio);
    SetHelpContext(this, HelpContexts::History);
    auto* layout = new QVBoxLayout(this);
    Label_Count = new QLabel(this);
    Label_Count->setObjectName("Label_Count");
    Table_History = new QTableWidget(0, kColumns, this);
    Table_History->setObjectName("Table_History");
    Table_History->setAccessibleName("Changes, newest first");
    Table_History->setHorizontalHeaderLabels({"Time", "Setting", "Change", "From", "Operator"});
    Table_History->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table_History->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table_History->setWordWrap(false);
    Table_History->setTextElideMode(Qt::ElideNone);
    Table_History->verticalHeader()->hide();
    Table_History->horizontalHeader()->setStretchLastSection(true);
    Button_Export = new QPushButton("Export CSV...", this);
    Button_Export->setObjectName("Button_Export");
    // Enter in the table is no request for a file dialog.
    Button_Export->setAutoDefault(false);
    Button_Export->setDefault(false);
    connect(Button_Export, &QPushButton::clicked, this, &THistoryView::Export);
    layout->addWidget(Label_Count);
    layout->addWidget(Table_History);
    layout->addWidget(Button_Export, 0, Qt::AlignRight);
    setSizeGripEnabled(true);
    const int line = fontMetrics().height();
    resize(line * 40, line * 22);
    Fill();
}

void THistoryView::Fill() {
    Label_Count->setText(QString("%1 changes, newest first").arg(entries_.size()));
    Table_History->setRowCount(static_cast<int>(entries_.size()));
    for (size_t i = 0; i < entries_.size(); ++i) {
        const HistoryEntry& e = entries_[i];
        const QString cells[] = {LocalTime(e.Time), Text(e.Field), Change(e),
                                 Text(e.Source + " " + e.Action), Text(e.User)};
        for (int c = 0; c < kColumns; ++c)
            Table_History->setItem(static_cast<int>(i), c, new QTableWidgetItem(cells[c]));
    }
    Button_Export->setEnabled(!entries_.empty());
    FitColumns();
}

void THistoryView::FitColumns() {
    QHeaderView* header = Table_History->horizontalHeader();
    // The last column stretches; sized to its contents first so it is never narrower.
    header->setStretchLastSection(false);
    Table_History->resizeColumnsToContents();
    int columns = 0;
    for (int c = 0; c < kColumns; ++c)
        columns += Table_History->columnWidth(c);
    header->setStretchLastSection(true);
    const int frame = 2 * Table_History->frameWidth();
    const int scrollBar = Table_History->verticalScrollBar()->sizeHint().width();
    const QMargins margins = layout()->contentsMargins();
    int wanted = columns + frame + scrollBar + margins.left() + margins.right();
    if (const QScreen* s = screen(); s != nullptr)
        wanted = std::min(wanted, s->availableSize().width() * 9 / 10);
    // Only wider: a window the technician made wider stays so.
    if (wanted > width())
        resize(wanted, height());
}

void THistoryView::Reload() {
    if (!load_)
        return;
    std::vector<HistoryEntry> entries;
    std::string problem;
    if (!load_(entries, problem))
        return;
    // Following the newest entry, at the top, unless the technician scrolled down to read.
    QScrollBar* bar = Table_History->verticalScrollBar();
    const bool atTop = bar->value() == bar->minimum();
    const int fromBottom = bar->maximum() - bar->value();
    entries_ = std::move(entries);
    Fill();
    if (atTop)
        Table_History->scrollToTop();
    else
        bar->setValue(bar->maximum() - fromBottom);
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
