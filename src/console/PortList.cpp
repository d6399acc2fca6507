#include "console/PortList.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFont>
#include <QSocketNotifier>
#include <QStyledItemDelegate>
#include <QTimer>

#include "platform/PortNames.h"
#include "platform/PortWatcher.h"

namespace {

constexpr int kLongTextRole = Qt::UserRole + 1;

// The drop-down shows an item's long text; the closed box keeps the number.
class LongTextDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant text = index.data(kLongTextRole);
        if (text.isValid())
            option->text = text.toString();
    }
};

}  // namespace

TPortList::TPortList(QComboBox* box) : QObject(box), box_(box) {
    box_->setItemDelegate(new LongTextDelegate(box_));
    watcher_ = std::make_unique<PortWatcher>();
    if (watcher_->Fd() >= 0) {
        notifier_ = new QSocketNotifier(watcher_->Fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            if (!watcher_->TakeChanges())
                return;
            Refresh();
            settle_->start();
        });
    }
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(1500);
    connect(settle_, &QTimer::timeout, this, &TPortList::Refresh);
    connect(box_, &QComboBox::currentIndexChanged, this, &TPortList::ShowCurrentTooltip);
}

TPortList::~TPortList() = default;

const SerialPortInfo* TPortList::Present(uint32_t n) const {
    for (const auto& p : ports_) {
        if (p.Com == n && p.Present)
            return &p;
    }
    return nullptr;
}

QString TPortList::DeviceText(uint32_t n) const {
    if (const SerialPortInfo* p = Present(n)) {
        return QString::fromStdString(ComPortName(n) + ": " + p->Device + ", " + p->Description());
    }
    const std::string path = ResolveComPort(n);
    return QString::fromStdString(ComPortName(n) + ": " + (path.empty() ? "no device" : path) +
                                  ", not present");
}

void TPortList::Refresh() {
    ports_ = ListSerialPorts();
    QFont plain = box_->font();
    QFont bold = plain;
    bold.setBold(true);
    int widest = 0;
    const QFontMetrics metrics(bold);
    for (int i = 0; i < box_->count(); ++i) {
        const auto n = static_cast<uint32_t>(i + 1);
        const SerialPortInfo* p = Present(n);
        const QString number = QString::number(n);
        QString text = number;
        if (p != nullptr)
            text += QString::fromUtf8(" \u2013 ") + QString::fromStdString(p->Description());
        box_->setItemData(i, p != nullptr ? QVariant(text) : QVariant(), kLongTextRole);
        box_->setItemData(i, p != nullptr ? QVariant(bold) : QVariant(), Qt::FontRole);
        box_->setItemData(i, p != nullptr ? QVariant(DeviceText(n)) : QVariant(), Qt::ToolTipRole);
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    // The drop-down is as wide as its longest description; the box stays narrow.
    box_->view()->setMinimumWidth(widest + 40);
    ShowCurrentTooltip();
    emit PortsChanged();
}

void TPortList::ShowCurrentTooltip() {
    const int i = box_->currentIndex();
    box_->setToolTip(i < 0 ? QString()
                           : DeviceText(static_cast<uint32_t>(i + 1)) +
                                 "\nRight-click: keep this cable as this COM number, or find "
                                 "the radio");
}
