#pragma once
// Advanced mode: the password dialog that opens the advanced panel. Its handlers on the main
// window (Button_AdvancedClick, DisplayAdvancedModeState and the modem button's before-click)
// are in Advanced.cpp too.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TMainForm;

class TForm_Password : public QDialog {
    Q_OBJECT
  public:
    // Created once after the main window and reused; the typed text stays between showings.
    explicit TForm_Password(TMainForm* mainForm);

    QLabel* Label1;
    QLineEdit* Edit_Password;
    QPushButton* Button_OK;
    QPushButton* Button_Cancel;

    void Button_OKClick();
    void Button_CancelClick();

  private:
    TMainForm* mainForm_;
};
