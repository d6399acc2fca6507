// The main window's controls and their arrangement. The designed pixel sizes are the least
// sizes of the layout's rows and columns: at the designed font the window is as designed, and a
// larger font, scale or style grows it where a text needs the room instead of clipping it.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

#include "console/Main.h"
#include "widgets/AppIcon.h"
#include "widgets/PowerButton.h"

namespace {

using namespace WindowColour;

constexpr int kClientWidth = 364;
// Below the last panel shown.
constexpr int kBottomMargin = 10;

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

// The maker's mark, with device pixels for the sharpest of the screens.
QPixmap LogoPixmap() {
    return MakerLogoPixmap(48);
}

// The design's 11-pixel font is the desktop's usual 9 points (12 pixels at 96 dpi): the window
// keeps that proportion to the desktop's font, so a larger desktop font grows it.
QFont Scaled(QFont f, double factor) {
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * factor);
    else
        f.setPixelSize(std::max(1, qRound(f.pixelSize() * factor)));
    return f;
}

QString Plain(QString text) {
    text.remove('&');
    if (text.endsWith(':'))
        text.chop(1);
    return text.trimmed();
}

// A caption for a control: the control is its buddy and takes its text as its accessible name.
QLabel* Caption(QWidget* parent, const QString& text, QWidget* control = nullptr) {
    auto* label = new QLabel(text, parent);
    if (control != nullptr) {
        label->setBuddy(control);
        if (qobject_cast<QLabel*>(control) == nullptr)
            control->setAccessibleName(Plain(text));
    }
    return label;
}

// A label at least as wide as the longest of its sample texts, and wider for a longer text.
class SampledLabel : public QLabel {
  public:
    SampledLabel(const QString& text, QWidget* parent, std::initializer_list<const char*> samples)
        : QLabel(text, parent) {
        for (const char* s : samples)
            samples_ << s;
    }
    QSize minimumSizeHint() const override { return Widest(QLabel::minimumSizeHint()); }
    QSize sizeHint() const override { return Widest(QLabel::sizeHint()); }

  private:
    QSize Widest(QSize size) const {
        for (const QString& s : samples_)
            size.setWidth(std::max(size.width(), fontMetrics().horizontalAdvance(s)));
        return size;
    }
    QStringList samples_;
};

// A value shown by a label (its own text, so a screen reader reads the value).
QLabel* Value(QWidget* parent, const char* name, const QString& text,
              std::initializer_list<const char*> samples = {}) {
    return Named(new SampledLabel(text, parent, samples), name);
}

// Room for `text` inside a control drawn with a frame: Fusion's 80-pixel floor for buttons
// would otherwise widen the designed window, and a custom-drawn control has no floor at all.
void RoomFor(QWidget* w, std::initializer_list<QString> texts) {
    w->ensurePolished();
    const QFontMetrics fm = w->fontMetrics();
    int widest = 0;
    for (const QString& t : texts)
        widest = std::max(widest, fm.horizontalAdvance(Plain(t)));
    w->setMinimumSize(widest + fm.height(), fm.height() + 6);
}

// An edit that shows `sample` whole.
void RoomFor(QLineEdit* e, const QString& sample) {
    e->ensurePolished();
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(sample) + e->fontMetrics().height());
}

// The designed size, or more where the text needs it.
void Designed(QWidget* w, QSize designed) {
    w->setFixedSize(w->minimumSize().expandedTo(designed));
}

// The designed width, or more where the control's text needs it.
void Width(QWidget* w, int designed) {
    w->ensurePolished();
    w->setFixedWidth(std::max({designed, w->minimumWidth(), w->minimumSizeHint().width()}));
}

// A grid whose columns and rows are at least the designed widths and height.
QGridLayout* Grid(std::initializer_list<int> columns, int rowHeight, int rowGap, int columnGap) {
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(columnGap);
    grid->setVerticalSpacing(rowGap);
    int c = 0;
    for (int w : columns)
        grid->setColumnMinimumWidth(c++, w);
    grid->setRowMinimumHeight(0, rowHeight);
    return grid;
}

void RowHeights(QGridLayout* grid, int height) {
    for (int r = 0; r < grid->rowCount(); ++r)
        grid->setRowMinimumHeight(r, height);
}

// A panel at least as large as designed; what it holds goes into the returned column.
QVBoxLayout* PanelColumn(QFrame* panel, QSize designed, QMargins margins) {
    auto* outer = new QGridLayout(panel);
    outer->setContentsMargins(margins);
    outer->setColumnMinimumWidth(0, designed.width() - margins.left() - margins.right());
    outer->setRowMinimumHeight(0, designed.height() - margins.top() - margins.bottom());
    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    outer->addLayout(column, 0, 0);
    return column;
}

// Widgets side by side, each in a column at least its designed width and followed by its gap.
struct Cell {
    QWidget* widget;
    int width;
    int gap;
};
QGridLayout* Across(std::initializer_list<Cell> cells, int height) {
    auto* grid = new QGridLayout;
    grid->setSpacing(0);
    grid->setRowMinimumHeight(0, height);
    int c = 0;
    for (const Cell& cell : cells) {
        grid->addWidget(cell.widget, 0, c);
        grid->setColumnMinimumWidth(c++, cell.width);
        grid->setColumnMinimumWidth(c++, cell.gap);
    }
    return grid;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, int gap) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(gap);
    for (QWidget* w : widgets)
        row->addWidget(w);
    return row;
}

// Keeps the window at the size its layout needs: a text that grows (a state, an alarm) widens
// the window instead of being clipped. Looked at once Qt has handled the layout request, so the
// sizes are fresh and a window already right is left alone.
class FitToLayout : public QObject {
  public:
    explicit FitToLayout(TMainForm* form) : QObject(form), form_(form) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest)
            QMetaObject::invokeMethod(
                this, [this] { Refit(); }, Qt::QueuedConnection);
        return false;
    }

  private:
    void Refit() {
        const QSize needed = form_->layout()->totalMinimumSize().expandedTo({kClientWidth, 0});
        if (needed != form_->size())
            form_->setFixedSize(needed);
    }
    TMainForm* form_;
};

}  // namespace

void TMainForm::CreateControls() {
    setFont(Scaled(QApplication::font(), 11.0 / 12.0));
    int row = 0;

    // ---- Head: logo, maker, product, version; Help on the right ----
    Image2 = Named(new QLabel(this), "Image2");
    Image2->setPixmap(LogoPixmap());
    Image2->setFixedSize(48, 48);
    Label14 = Named(new QLabel("KORVA Technologies", this), "Label14");
    QFont maker = Scaled(font(), 14.0 / 11.0);
    maker.setBold(true);
    Label14->setFont(maker);
    Label13 = Named(new QLabel("Radio Config", this), "Label13");
    Label13->setFont(Scaled(font(), 12.0 / 11.0));
    Label_VersionNO = Named(new QLabel("V", this), "Label_VersionNO");
    Button_Help = Named(new QPushButton("&Help", this), "Button_Help");
    RoomFor(Button_Help, {"&Help"});
    Designed(Button_Help, {64, 24});
    Button_Help->setEnabled(false);

    QGridLayout* titles = Grid({0}, 0, 0, 0);
    titles->setContentsMargins(0, 2, 0, 0);
    row = 0;
    for (auto [label, height] : {std::pair{Label14, 18}, {Label13, 16}, {Label_VersionNO, 14}}) {
        titles->addWidget(label, row, 0);
        titles->setRowMinimumHeight(row++, height);
    }
    auto* help = new QVBoxLayout;
    help->setContentsMargins(0, 4, 0, 0);
    help->addWidget(Button_Help);
    help->addStretch();
    auto* head = new QHBoxLayout;
    head->setContentsMargins(4, 4, 10, 1);
    head->setSpacing(6);
    head->addWidget(Image2, 0, Qt::AlignTop);
    head->addLayout(titles, 1);
    head->addLayout(help);

    // ---- Link row: port, Connect, state lamp and text, modem ----
    ComboBox_PortNumber = Named(new TChoiceList(this), "ComboBox_PortNumber");
    ComboBox_PortNumber->setMaxVisibleItems(16);
    ComboBox_PortNumber->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox_PortNumber->setMinimumContentsLength(3);
    // Room for three digits and the arrow: the style's own wish is wider than the design.
    ComboBox_PortNumber->ensurePolished();
    const QFontMetrics portFont = ComboBox_PortNumber->fontMetrics();
    ComboBox_PortNumber->setMinimumSize(
        std::max(56, portFont.horizontalAdvance("000") + 2 * portFont.height() + 4),
        std::max(22, portFont.height() + 8));
    Label41 = Named(Caption(this, "Com Port", ComboBox_PortNumber), "Label41");
    CheckBox_Connect = Named(new QCheckBox("Connect", this), "CheckBox_Connect");
    Shape_ComportState = Named(new TShape(this), "Shape_ComportState");
    Shape_ComportState->setFixedSize(13, 13);
    Shape_ComportState->SetBrushColor(System(QPalette::Window));
    Shape_ComportState->setAccessibleName("Comms state lamp");
    Label_ComportState = Value(this, "Label_ComportState", "Inactive",
                               {"Inactive", "Not Available", "No Connection", "Time out",
                                "Invalid Device", "Connect...", "Connected"});
    PowerButton_M82KDModem = Named(new TPowerButton(this), "PowerButton_M82KDModem");
    PowerButton_M82KDModem->SetCaption("Modem");
    PowerButton_M82KDModem->setAccessibleName("Modem");
    RoomFor(PowerButton_M82KDModem, {"Modem"});
    Designed(PowerButton_M82KDModem, {53, 21});
    PowerButton_M82KDModem->SetToggleChars("\\n ");
    PowerButton_M82KDModem->SetLED(false);
    PowerButton_M82KDModem->SetBevelWidth(2);
    PowerButton_M82KDModem->SetGlowText(true);
    // Green as the comms state's "Connected": Qt's green on the down face's cream would not read.
    PowerButton_M82KDModem->SetTextGlowColour(Green);
    PowerButton_M82KDModem->SetLedOnClour(Qt::red);
    PowerButton_M82KDModem->SetLedOffColour(Qt::black);
    PowerButton_M82KDModem->setEnabled(false);

    QGridLayout* link = Across({{Label41, 52, 2},
                                {ComboBox_PortNumber, 56, 4},
                                {CheckBox_Connect, 72, 0},
                                {Shape_ComportState, 13, 5},
                                {Label_ComportState, 86, 6},
                                {PowerButton_M82KDModem, 53, 0}},
                               22);
    link->setContentsMargins(4, 0, 10, 3);
    link->setColumnStretch(8, 1);

    // Held for the frequency step of the radio; never shown. A window of its own that is never
    // shown, so that screen readers, which list a window's children hidden or not, do not find
    // it; the window still owns it.
    RadioGroup_FreqStep =
        new TRadioGroup("Frequency Step - DO NOT DELETE", {"6.25kHz", "5kHz"}, this);
    RadioGroup_FreqStep->setObjectName("RadioGroup_FreqStep");
    RadioGroup_FreqStep->setWindowFlags(Qt::Window);
    RadioGroup_FreqStep->SetItemIndex(0);
    RadioGroup_FreqStep->hide();

    // Bottom left, over the corner the normal panel leaves free: it works with the panel off.
    Button_Advanced = Named(new QPushButton("&Advanced", this), "Button_Advanced");
    Button_Advanced->setToolTip("Advanced Setup");
    RoomFor(Button_Advanced, {"Advanced", "Normal"});
    Designed(Button_Advanced, {76, 26});

    // ---- Panel_Normal ----
    Panel_Normal = Named(new QFrame(this), "Panel_Normal");
    Panel_Normal->setFrameShape(QFrame::Panel);
    Panel_Normal->setFrameShadow(QFrame::Raised);
    QWidget* pn = Panel_Normal;
    QVBoxLayout* normal = PanelColumn(Panel_Normal, {357, 289}, {6, 4, 7, 1});

    // Identity and status: two caption and value pairs a row.
    Label_VersionString = Value(pn, "Label_VersionString", "");
    Label_SerialNO = Value(pn, "Label_SerialNO", "", {"00000000"});
    Label_HWVer = Value(pn, "Label_HWVer", "", {"00.0x"});
    Label_Temp = Value(pn, "Label_Temp", "", {"-000"});
    Label_RawRSSI = Value(pn, "Label_RawRSSI", "", {"000"});
    Label_Alarms = Value(pn, "Label_Alarms", "No Alarms");
    // One label with the degree sign: a screen reader says "degrees C", not "o" and "C".
    auto* temperature = Row({Label_Temp, new QLabel("°C", pn)}, 1);
    temperature->addStretch();
    QGridLayout* identity = Grid({98, 78, 106, 50}, 17, 0, 4);
    identity->addWidget(Caption(pn, "Radio Firmware", Label_VersionString), 0, 0);
    identity->addWidget(Label_VersionString, 0, 1, 1, 3);
    identity->addWidget(Caption(pn, "Serial Number", Label_SerialNO), 1, 0);
    identity->addWidget(Label_SerialNO, 1, 1);
    identity->addWidget(Caption(pn, "Hardware Revision", Label_HWVer), 1, 2);
    identity->addWidget(Label_HWVer, 1, 3);
    identity->addWidget(Caption(pn, "Temperature :", Label_Temp), 2, 0);
    identity->addLayout(temperature, 2, 1);
    identity->addWidget(Caption(pn, "Raw RSSI :", Label_RawRSSI), 2, 2);
    identity->addWidget(Label_RawRSSI, 2, 3);
    identity->addWidget(Caption(pn, "Alarms", Label_Alarms), 3, 0);
    identity->addWidget(Label_Alarms, 3, 1, 1, 3);
    RowHeights(identity, 17);
    normal->addLayout(identity);
    normal->addSpacing(5);

    // Frequencies: caption, the radio's value, the arrow that copies it, the box for a new one.
    const QString frequencySample = "0000.000000";
    Label_TxFreq = Value(pn, "Label_TxFreq", "", {"0000.00000"});
    BitBtn_TxFreqCopy = Named(new QPushButton("-->", pn), "BitBtn_TxFreqCopy");
    SetTag(BitBtn_TxFreqCopy, 1);
    Edit_TXFreq = Named(new QLineEdit(pn), "Edit_TXFreq");
    SetTag(Edit_TXFreq, 1);
    Label_RxFreq = Value(pn, "Label_RxFreq", "", {"0000.00000"});
    BitBtn_RxFreqCopy = Named(new QPushButton("-->", pn), "BitBtn_RxFreqCopy");
    SetTag(BitBtn_RxFreqCopy, 2);
    Edit_RXFreq = Named(new QLineEdit(pn), "Edit_RXFreq");
    SetTag(Edit_RXFreq, 2);
    QGridLayout* frequencies = Grid({114, 64, 30, 90}, 22, 4, 4);
    row = 0;
    for (auto [side, value, copy, edit] :
         {std::tuple{"TX", Label_TxFreq, BitBtn_TxFreqCopy, Edit_TXFreq},
          std::tuple{"RX", Label_RxFreq, BitBtn_RxFreqCopy, Edit_RXFreq}}) {
        RoomFor(copy, {"-->"});
        Designed(copy, {30, 22});
        copy->setAccessibleName(QString("Copy the radio's %1 frequency").arg(side));
        copy->setAccessibleDescription(
            QString("Puts the %1 frequency the radio uses into the box for a new one").arg(side));
        RoomFor(edit, frequencySample);
        Width(edit, 90);
        edit->setToolTip("Press Enter to select closest valid frequency");
        frequencies->addWidget(Caption(pn, QString("%1 Frequency (MHz)").arg(side), edit), row, 0);
        frequencies->addWidget(value, row, 1);
        frequencies->addWidget(copy, row, 2);
        frequencies->addWidget(edit, row, 3);
        ++row;
    }
    RowHeights(frequencies, 22);
    frequencies->setColumnStretch(4, 1);
    normal->addLayout(frequencies);
    normal->addSpacing(7);

    // The radio's bands.
    Label_TXLow = Value(pn, "Label_TXLow", "", {"0000.00000"});
    Label_TxHigh = Value(pn, "Label_TxHigh", "", {"0000.00000"});
    Label_RxLow = Value(pn, "Label_RxLow", "", {"0000.00000"});
    Label_RxHigh = Value(pn, "Label_RxHigh", "", {"0000.00000"});
    QGridLayout* bands = Grid({60, 68, 14, 68, 30}, 17, 1, 4);
    row = 0;
    for (auto [side, low, high] : {std::tuple{"TX", Label_TXLow, Label_TxHigh},
                                   std::tuple{"RX", Label_RxLow, Label_RxHigh}}) {
        bands->addWidget(Caption(pn, QString("%1 Band").arg(side), low), row, 0);
        bands->addWidget(low, row, 1);
        bands->addWidget(new QLabel("to", pn), row, 2);
        bands->addWidget(high, row, 3);
        bands->addWidget(new QLabel("MHz", pn), row, 4);
        ++row;
    }
    RowHeights(bands, 17);
    bands->setColumnStretch(5, 1);
    normal->addLayout(bands);
    normal->addSpacing(1);

    // Channel spacing and the frequency step.
    Label_Bandwidth = Value(pn, "Label_Bandwidth", "", {"00.0 KHz"});
    GroupBox_FrequencyStep = Named(new QGroupBox("Frequency Step", pn), "GroupBox_FrequencyStep");
    RadioButton_FS6250 =
        Named(new QRadioButton("6.25KHz", GroupBox_FrequencyStep), "RadioButton_FS6250");
    SetTag(RadioButton_FS6250, 0);
    RadioButton_FS6250->setChecked(true);
    RadioButton_FS5000 =
        Named(new QRadioButton("5KHz", GroupBox_FrequencyStep), "RadioButton_FS5000");
    SetTag(RadioButton_FS5000, 1);
    auto* steps = Row({RadioButton_FS6250, RadioButton_FS5000}, 10);
    steps->setContentsMargins(8, 0, 8, 2);
    GroupBox_FrequencyStep->setLayout(steps);
    auto* spacing = new QVBoxLayout;
    spacing->setContentsMargins(0, 6, 0, 0);
    spacing->setSpacing(4);
    spacing->addWidget(Caption(pn, "Channel Spacing", Label_Bandwidth));
    spacing->addWidget(Label_Bandwidth);
    spacing->addStretch();
    QGridLayout* step = Grid({140, 166}, 42, 0, 4);
    step->addLayout(spacing, 0, 0);
    step->addWidget(GroupBox_FrequencyStep, 0, 1);
    step->setColumnStretch(2, 1);
    normal->addLayout(step);
    normal->addSpacing(2);
    normal->addStretch();

    // PTT time-out, CTCSS and RF level; the transmitter switch; Save to Flash. The bottom left
    // corner is left for Button_Advanced, which belongs to the window.
    Edit_PTTTimeout = Named(new QLineEdit("60", pn), "Edit_PTTTimeout");
    Edit_PTTTimeout->setToolTip("0 .. 255 (sec)");
    RoomFor(Edit_PTTTimeout, "0000");
    Width(Edit_PTTTimeout, 44);
    SpinEdit_CTCSS = Named(new QSpinBox(pn), "SpinEdit_CTCSS");
    SpinEdit_CTCSS->setRange(0, 38);
    SpinEdit_CTCSS->setValue(0);
    Width(SpinEdit_CTCSS, 52);
    ComboBox_RFLevel = Named(new QComboBox(pn), "ComboBox_RFLevel");
    ComboBox_RFLevel->addItems({"500mW", "1W", "2W", "5W"});
    Width(ComboBox_RFLevel, 72);
    PowerButton_TxOn = Named(new TPowerButton(pn), "PowerButton_TxOn");
    PowerButton_TxOn->SetCaption("TX ON");
    PowerButton_TxOn->setAccessibleName("TX ON");
    RoomFor(PowerButton_TxOn, {"TX ON"});
    Designed(PowerButton_TxOn, {69, 33});
    PowerButton_TxOn->SetToggleChars(" \\n");
    PowerButton_TxOn->SetLED(true);
    PowerButton_TxOn->SetBevelWidth(3);
    PowerButton_TxOn->SetGlowText(true);
    PowerButton_TxOn->SetTextGlowColour(Green);
    PowerButton_TxOn->SetLedOnClour(Qt::red);
    PowerButton_TxOn->SetLedOffColour(Qt::black);
    PowerButton_TxOn->SetLedHeight(5);
    PowerButton_TxOn->SetLedWidth(8);
    PowerButton_TxOn->setToolTip("Press space bar to toggle");
    Button_WriteRadioSettings =
        Named(new QPushButton("&Save to Flash", pn), "Button_WriteRadioSettings");
    Button_WriteRadioSettings->setToolTip("Write configuration to flash");
    RoomFor(Button_WriteRadioSettings, {"&Save to Flash"});
    Designed(Button_WriteRadioSettings, {106, 26});
    // As designed: red and not bold until the first change of state.
    SetTextColour(Button_WriteRadioSettings, QPalette::ButtonText, Red);

    QGridLayout* settings = Grid({74, 62, 64, 52, 0, 69}, 22, 2, 4);
    settings->addWidget(Caption(pn, "PTT Timeout :", Edit_PTTTimeout), 0, 0);
    settings->addWidget(Edit_PTTTimeout, 0, 1);
    settings->addWidget(Caption(pn, "CTCSS Tone", SpinEdit_CTCSS), 0, 2);
    settings->addWidget(SpinEdit_CTCSS, 0, 3);
    settings->addWidget(PowerButton_TxOn, 0, 5, 2, 1, Qt::AlignTop);
    settings->addWidget(Caption(pn, "RF Level", ComboBox_RFLevel), 1, 0);
    settings->addWidget(ComboBox_RFLevel, 1, 1, 1, 2, Qt::AlignLeft);
    settings->addItem(
        new QSpacerItem(Button_Advanced->minimumWidth(), Button_Advanced->minimumHeight(),
                        QSizePolicy::Fixed, QSizePolicy::Fixed),
        2, 0, 1, 2);
    settings->addWidget(Button_WriteRadioSettings, 2, 2, 1, 4, Qt::AlignRight);
    settings->setRowMinimumHeight(1, 22);
    settings->setRowMinimumHeight(2, 26);
    settings->setColumnStretch(4, 1);
    normal->addLayout(settings);

    // ---- Panel_Advanced ----
    Panel_Advanced = Named(new QFrame(this), "Panel_Advanced");
    Panel_Advanced->setFrameShape(QFrame::Panel);
    Panel_Advanced->setFrameShadow(QFrame::Raised);
    QWidget* pa = Panel_Advanced;
    QVBoxLayout* advanced = PanelColumn(Panel_Advanced, {346, 188}, {6, 6, 6, 8});
    QGridLayout* calibration = Grid({116, 170, 36}, 17, 6, 4);
    struct ScrollRow {
        QScrollBar** bar;
        QLabel** label;
        const char* caption;
        const char* barName;
        const char* labelName;
    };
    const ScrollRow rows[] = {
        {&ScrollBar_Deviation, &Label_DevLev, "Deviation", "ScrollBar_Deviation", "Label_DevLev"},
        {&ScrollBar_ModBalance, &Label_ModLev, "Modulation Balance", "ScrollBar_ModBalance",
         "Label_ModLev"},
        {&ScrollBar_RfPwm, &Label_PwLev, "RF Power Calibration", "ScrollBar_RfPwm", "Label_PwLev"},
        {&ScrollBar_RfOffset, &Label_OsLev, "RF Offset", "ScrollBar_RfOffset", "Label_OsLev"},
    };
    row = 0;
    for (const ScrollRow& r : rows) {
        auto* bar = Named(new QScrollBar(Qt::Horizontal, pa), r.barName);
        bar->setRange(0, 255);
        bar->setSingleStep(1);
        bar->setPageStep(15);
        // Focus on click too, so the enter handlers run as they did with the original bars.
        bar->setFocusPolicy(Qt::StrongFocus);
        *r.bar = bar;
        *r.label = Value(pa, r.labelName, "0", {"000"});
        calibration->addWidget(Caption(pa, r.caption, bar), row, 0);
        calibration->addWidget(bar, row, 1);
        calibration->addWidget(*r.label, row, 2);
        ++row;
    }
    RowHeights(calibration, 17);
    Edit_CutoutTemp = Named(new QLineEdit("65", pa), "Edit_CutoutTemp");
    Edit_CutoutTemp->setToolTip("-40 .. 215");
    RoomFor(Edit_CutoutTemp, "-0000");
    Width(Edit_CutoutTemp, 50);
    calibration->addWidget(Caption(pa, "Cutout Temp", Edit_CutoutTemp), row, 0);
    auto* cutout = Row({Edit_CutoutTemp, new QLabel("°C", pa)}, 4);
    cutout->addStretch();
    calibration->addLayout(cutout, row, 1);
    calibration->setRowMinimumHeight(row++, 22);
    ComboBox_FreqBand = Named(new TChoiceList(pa), "ComboBox_FreqBand");
    ComboBox_FreqBand->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox_FreqBand->setMinimumContentsLength(12);
    ComboBox_FreqBand->setEnabled(false);
    Label_FreqBand = Named(Caption(pa, "Counrty/Band", ComboBox_FreqBand), "Label_FreqBand");
    calibration->addWidget(Label_FreqBand, row, 0);
    calibration->addWidget(ComboBox_FreqBand, row, 1, 1, 2);
    calibration->setRowMinimumHeight(row++, 22);
    calibration->setColumnStretch(1, 1);
    advanced->addLayout(calibration);
    advanced->addSpacing(4);
    BitBtn_SaveConfig = Named(new QPushButton("Save To File", pa), "BitBtn_SaveConfig");
    RoomFor(BitBtn_SaveConfig, {"Save To File"});
    Designed(BitBtn_SaveConfig, {120, 26});
    BitBtn_WriteConfig = Named(new QPushButton("Program From File", pa), "BitBtn_WriteConfig");
    RoomFor(BitBtn_WriteConfig, {"Program From File"});
    Designed(BitBtn_WriteConfig, {130, 26});
    QHBoxLayout* files = Row({BitBtn_SaveConfig, BitBtn_WriteConfig}, 8);
    files->addStretch();
    advanced->addLayout(files);
    advanced->addStretch();

    // ---- The window: head, link row, the panels; Button_Advanced over the normal panel ----
    auto* corner = new QVBoxLayout;
    corner->setContentsMargins(6, 0, 0, 1);
    corner->addStretch();
    corner->addWidget(Button_Advanced, 0, Qt::AlignLeft);
    auto* normalArea = new QGridLayout;
    normalArea->addWidget(Panel_Normal, 0, 0);
    normalArea->addLayout(corner, 0, 0);
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, kBottomMargin);
    window->setSpacing(0);
    window->addLayout(head);
    window->addLayout(link);
    auto* panels = new QVBoxLayout;
    panels->setContentsMargins(4, 0, 3, 0);
    panels->setSpacing(0);
    panels->addLayout(normalArea);
    panels->addWidget(Panel_Advanced);
    window->addLayout(panels);
    Button_Advanced->raise();
    installEventFilter(new FitToLayout(this));

    // Keyboard order as the eye reads the window: row by row, left to right.
    QWidget* order[] = {
        Button_Help,         ComboBox_PortNumber,  CheckBox_Connect,  PowerButton_M82KDModem,
        BitBtn_TxFreqCopy,   Edit_TXFreq,          BitBtn_RxFreqCopy, Edit_RXFreq,
        RadioButton_FS6250,  RadioButton_FS5000,   Edit_PTTTimeout,   SpinEdit_CTCSS,
        PowerButton_TxOn,    ComboBox_RFLevel,     Button_Advanced,   Button_WriteRadioSettings,
        ScrollBar_Deviation, ScrollBar_ModBalance, ScrollBar_RfPwm,   ScrollBar_RfOffset,
        Edit_CutoutTemp,     ComboBox_FreqBand,    BitBtn_SaveConfig, BitBtn_WriteConfig};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // ---- Non-visual ----
    PopupMenu_TxFreqCopy = Named(new QMenu(this), "PopupMenu_TxFreqCopy");
    MenuItem_TxFreqCopy = PopupMenu_TxFreqCopy->addAction("Set To Current Frequency");
    MenuItem_TxFreqCopy->setObjectName("MenuItem_TxFreqCopy");
    PopupMenu_RxFreqCopy = Named(new QMenu(this), "PopupMenu_RxFreqCopy");
    MenuItem_RxFreqCopy = PopupMenu_RxFreqCopy->addAction("Set To Current Frequency");
    MenuItem_RxFreqCopy->setObjectName("MenuItem_RxFreqCopy");
    PopupMenu_SendFrequencyStep = Named(new QMenu(this), "PopupMenu_SendFrequencyStep");
    pm_Send = PopupMenu_SendFrequencyStep->addAction("Send");
    pm_Send->setObjectName("pm_Send");
    Timer_ReadRadio = Named(new QTimer(this), "Timer_ReadRadio");
}

void TMainForm::FitClientHeight() {
    // The bottom of the last panel shown plus 10 pixels is the layout's bottom margin.
    // A panel shown or hidden leaves the sizes cached in the layouts that hold it.
    for (QLayout* l : findChildren<QLayout*>())
        l->invalidate();
    setFixedSize(layout()->totalMinimumSize().expandedTo(QSize(kClientWidth, 0)));
}
