#pragma once
// What the window tests stand on: a settings folder of the test's own, scripted message boxes,
// and the window on the port of an emulated radio. A test class derives from QObject and from
// WindowFixture, and calls SetUpWindow() and TearDownWindow() from its init() and cleanup().

#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "config/INIunit.h"
#include "console/Main.h"
#include "emulator/RadioEmulator.h"

using Texts = std::vector<std::string>;

inline bool Has(const Texts& events, const std::string& text) {
    return std::find(events.begin(), events.end(), text) != events.end();
}

// What changes a radio: writes, flash saves and resets; reads and identification are left out.
// With `transmitter`, the transmitter switched on and off too.
inline Texts Changes(const Texts& events, bool transmitter = false) {
    Texts out;
    for (const std::string& e : events) {
        if (e.rfind("write", 0) == 0 || e == "ee" || e == "flash" || e == "reset" ||
            (transmitter && (e == "tx on" || e == "tx off")))
            out.push_back(e);
    }
    return out;
}

inline Texts Changes(const RadioEmulator& radio, bool transmitter = false) {
    return Changes(radio.EventTexts(), transmitter);
}

// RM7UX channel numbers above 300 MHz.
inline uint32_t Channel(double mhz, double stepKHz = 6.25) {
    return static_cast<uint32_t>((mhz - 300) * 1000 / stepKHz + 0.5);
}

// A radio whose fields, working and flash, are set before the window's first read.
inline RadioPersonality With(std::initializer_list<std::pair<const char*, uint32_t>> fields,
                             RadioPersonality p = RadioPersonality::RM7UH()) {
    for (const auto& [code, value] : fields)
        p.Fields.Set(code, value);
    p.Flash = p.Fields;
    return p;
}

// An item picked from a drop-down list as the operator picks it: the list opened, the item
// chosen in it with Enter.
inline void PickFromList(QComboBox* list, int index) {
    list->showPopup();
    QAbstractItemView* view = list->view();
    view->setCurrentIndex(list->model()->index(index, 0));
    QTest::keyClick(view, Qt::Key_Return);
}

// The window's port chosen as the user would: the radio's COM number.
inline void SelectPort(TMainForm& f, const RadioEmulator& radio) {
    f.ComboBox_PortNumber->setCurrentIndex(int(radio.ComPort()) - 1);
    f.ApplyPortSelection();
}

class WindowFixture {
  protected:
    void SetUpWindow() {
        dir_ = std::make_unique<TempDir>();
        dir_->PointConfigHere();
        SetSettingsFolder(dir_->Path());
        dialogs_ = std::make_unique<ScriptedDialogs>();
    }
    void TearDownWindow() {
        form_.reset();
        radio_.reset();
        dialogs_.reset();
        dir_.reset();
    }

    void WriteSettingsFile(const std::string& text) {
        std::ofstream(dir_->File("CFG_RM7UX_Radio.INI")) << text;
    }

    // A freshly started radio and a new window on its port, Connect not ticked: refreshes run
    // when called. Any window and radio of before are gone first.
    TMainForm& Attach(const EmulatorOptions& options) {
        form_.reset();
        radio_.reset();
        radio_ = std::make_unique<RadioEmulator>(options);
        radio_->Start();
        form_ = std::make_unique<TMainForm>();
        SelectPort(*form_, *radio_);
        return *form_;
    }
    TMainForm& Attach(const RadioPersonality& radio = RadioPersonality::RM7UH()) {
        return Attach(EmulatorOptions{.Radio = radio});
    }

    // One refresh; what the radio saw during it.
    Texts Tick() {
        radio_->ClearEvents();
        form_->RM7UXLoadradioData();
        return radio_->EventTexts();
    }

    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<RadioEmulator> radio_;
    std::unique_ptr<TMainForm> form_;
};
