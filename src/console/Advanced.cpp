#include "console/Advanced.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <string>

#include "common/UserDialogs.h"
#include "console/Main.h"
#include "link/RM7UXcomms.h"
#include "operations/RadioOperations.h"
#include "widgets/HelpWindow.h"
#include "widgets/HtmlHelp.h"
#include "widgets/PowerButton.h"

namespace {

// Exact, case and all: the first opens the panel, the second adds the file buttons.
const QString kPassword = "tidewater";
const QString kPasswordAll = "tidewaterall";
// What the M82KD modem expects before it lets the tool reach its radio.
const std::string kModemPassword = "TIDEWAter";

}  // namespace

TForm_Password::TForm_Password(TMainForm* mainForm) : QDialog(mainForm), mainForm_(mainForm) {
    setObjectName("Form_Password");
    setWindowTitle("Advanced Access");
    setModal(true);
    SetHelpContext(this, HelpContexts::Advanced);

    // Laid out rather than placed: at a large font the texts grow the dialog instead of being
    // cut ("Passwo", "Cance").
    Label1 = new QLabel("Password", this);
    Label1->setObjectName("Label1");
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Edit_Password = new QLineEdit(this);
    Edit_Password->setObjectName("Edit_Password");
    Edit_Password->setEchoMode(QLineEdit::Password);
    // One "*" for each character, whatever the style's own mask.
    Edit_Password->setStyleSheet("lineedit-password-character: 42");
    Edit_Password->setMinimumWidth(194);
    // Screen readers name the field by its label.
    Label1->setBuddy(Edit_Password);
    Edit_Password->setAccessibleName("Password");
    Button_OK = new QPushButton("OK", this);
    Button_OK->setObjectName("Button_OK");
    Button_OK->setDefault(true);
    Button_Cancel = new QPushButton("Cancel", this);
    Button_Cancel->setObjectName("Button_Cancel");
    Button_Cancel->setAutoDefault(false);
    for (QPushButton* b : {Button_OK, Button_Cancel})
        b->setMinimumSize(b->sizeHint().expandedTo(QSize(75, 25)));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button_OK);
    buttons->addWidget(Button_Cancel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 9);
    column->setSpacing(3);
    column->addWidget(Label1);
    column->addWidget(Edit_Password);
    column->addSpacing(12);
    column->addLayout(buttons);
    // The designed 218 x 100 at the designed font, larger where the texts need it.
    column->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button_OK, &QPushButton::clicked, this, [this] { Button_OKClick(); });
    // Escape arrives as QDialog::reject, like a click on Cancel.
    connect(Button_Cancel, &QPushButton::clicked, this, [this] { Button_CancelClick(); });
}

void TForm_Password::Button_OKClick() {
    const QString text = Edit_Password->text();
    if (text == kPassword || text == kPasswordAll) {
        mainForm_->SetAdvancedMode(true, text == kPasswordAll);
        accept();
        return;
    }
    mainForm_->SetAdvancedMode(mainForm_->AdvancedMode(), false);
    ShowInformationBox("Incorrect Password");
}

void TForm_Password::Button_CancelClick() {
    reject();
}

void TMainForm::Button_AdvancedClick() {
    if (state_.AdvancedMode) {
        state_.AdvancedMode = false;
    } else if (Form_Password != nullptr) {
        Form_Password->exec();
    }
    DisplayAdvancedModeState();
}

void TMainForm::DisplayAdvancedModeState() {
    Redraw(Panel_Advanced);
    Draw();
}

void TMainForm::PowerButton_M82KDModemBeforeClick(TPowerButton* Sender, bool& CancelAction) {
    // The modem exchanges let the window handle events while they wait: nothing else may start
    // an exchange on the link meanwhile, however the exchange ends.
    struct Restore {
        TMainForm* form;
        ~Restore() {
            form->Timer_ReadRadio->start();
            form->setEnabled(true);
        }
    } restore{this};
    setEnabled(false);
    Timer_ReadRadio->stop();
    // The button goes down or up, whatever the modem answered, as Draw shows it.
    CancelAction = true;
    if (Sender != nullptr && Sender->ButtonDown()) {
        bool configLoaded = false;
        LeaveModemConfiguration(configLoaded);
    } else if (SerialNumber() == -1) {
        EnterModemConfiguration(kModemPassword, nullptr, Journal.get(), JournalPort(), "window");
    }
    state_.ModemDown = Sender != nullptr && !Sender->ButtonDown();
    Draw();
}
