#include "console/Advanced.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <string>

#include "common/UserDialogs.h"
#include "console/Main.h"
#include "link/RM7UXcomms.h"
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
    setFixedSize(218, 100);

    Label1 = new QLabel("Password", this);
    Label1->setObjectName("Label1");
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->setGeometry(12, 12, 100, 17);
    Edit_Password = new QLineEdit(this);
    Edit_Password->setObjectName("Edit_Password");
    Edit_Password->setEchoMode(QLineEdit::Password);
    // One "*" for each character, whatever the style's own mask.
    Edit_Password->setStyleSheet("lineedit-password-character: 42");
    Edit_Password->setGeometry(12, 32, 194, 22);
    Button_OK = new QPushButton("OK", this);
    Button_OK->setObjectName("Button_OK");
    Button_OK->setGeometry(50, 66, 75, 25);
    Button_OK->setDefault(true);
    Button_Cancel = new QPushButton("Cancel", this);
    Button_Cancel->setObjectName("Button_Cancel");
    Button_Cancel->setGeometry(131, 66, 75, 25);
    Button_Cancel->setAutoDefault(false);

    connect(Button_OK, &QPushButton::clicked, this, [this] { Button_OKClick(); });
    // Escape arrives as QDialog::reject, like a click on Cancel.
    connect(Button_Cancel, &QPushButton::clicked, this, [this] { Button_CancelClick(); });
}

void TForm_Password::Button_OKClick() {
    const QString text = Edit_Password->text();
    if (text == kPassword || text == kPasswordAll) {
        mainForm_->AdvancedMode = true;
        mainForm_->AdvancedAll = text == kPasswordAll;
        accept();
        return;
    }
    mainForm_->AdvancedAll = false;
    ShowInformationBox("Incorrect Password");
}

void TForm_Password::Button_CancelClick() {
    reject();
}

void TMainForm::Button_AdvancedClick() {
    if (AdvancedMode) {
        AdvancedMode = false;
    } else if (Form_Password != nullptr) {
        Form_Password->exec();
    }
    DisplayAdvancedModeState();
}

void TMainForm::DisplayAdvancedModeState() {
    if (AdvancedMode) {
        Panel_Advanced->show();
        Button_Advanced->setText("Normal");
        BitBtn_SaveConfig->setVisible(AdvancedAll);
        BitBtn_WriteConfig->setVisible(AdvancedAll);
    } else {
        Panel_Advanced->hide();
        Button_Advanced->setText("Advanced");
    }
    FitClientHeight();
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
    CancelAction = false;
    if (Sender != nullptr && Sender->ButtonDown()) {
        bool configLoaded = false;
        ExitModemConfigMode(configLoaded);
    } else if (SerialNumber == -1) {
        EnterModemConfigMode(kModemPassword);
    }
}
