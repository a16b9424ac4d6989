#pragma once

// What the dialog tests share: a simulated site on a stopped clock, controls found by their
// ids, and the requests the controller received written out one per frame.

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <chrono>
#include <cstdint>
#include <sstream>
#include <vector>

#include "control_builder.h"
#include "controller_endpoint.h"
#include "recording_console.h"
#include "sign_system.h"
#include "sim_link_platform.h"

// The controller's whole site in one process, its clock standing still so that a time read
// and a time sent back can be compared. The sign system reports to a Console, a
// RecordingConsole or a test's own kind of one.
template <typename Console>
struct BasicDialogSite {
    BasicDialogSite() {
        system.SetPortName("COM1");
        system.SetDiagnosticStream(diagnostics);
    }

    ControllerModel::State &State() { return controller.Model().Current(); }

    // Sets the lines the controller reports and their face masks, and lets the sign
    // system read them as at start-up; the requests of that read are forgotten.
    void SetLines(int count, const std::vector<std::uint8_t> &masks) {
        State().lineCount = count;
        for (std::size_t i = 0; i < masks.size(); ++i) State().lines[i].faceMask = masks[i];
        system.GetNumberOfLines();
        system.ReadFaceMasks();
        controller.ClearRequests();
    }

    // One text per request: the command code, then the data bytes from byte 3 up to the
    // last one that is not zero ("26 3 1 5": Set face level, face 3, slot 1, level 5). The
    // rest of a request is zeros, so nothing is lost by leaving them out.
    QStringList Requests() const {
        QStringList texts;
        for (const CommandFrame &frame : controller.Requests()) {
            std::size_t last = 2;
            for (std::size_t i = 3; i <= 20; ++i) {
                if (frame[i] != 0) last = i;
            }
            QString text = QString::number(frame.Code());
            for (std::size_t i = 3; i <= last; ++i) text += ' ' + QString::number(frame[i]);
            texts << text;
        }
        return texts;
    }
    // The command codes of the requests, in order.
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const CommandFrame &frame : controller.Requests()) codes.push_back(frame.Code());
        return codes;
    }
    void ForgetRequests() {
        controller.ClearRequests();
        console.messages.clear();
    }

    std::chrono::system_clock::time_point wallClock =
        std::chrono::sys_days{std::chrono::year{2026} / 6 / 15} + std::chrono::hours{9};
    ControllerEndpoint controller{[this] { return wallClock; }};
    SimLinkPlatform platform{controller};
    Console console;
    std::ostringstream diagnostics;
    SignSystem system{platform, console};
};

using DialogSite = BasicDialogSite<RecordingConsole>;

template <typename T>
T *Child(QWidget *dialog, int id) {
    T *child = dialog->findChild<T *>(IdName(id));
    if (child == nullptr) qFatal("no control %d", id);
    return child;
}

inline void Click(QWidget *dialog, int id) {
    QTest::mouseClick(Child<QAbstractButton>(dialog, id), Qt::LeftButton);
}

// Replaces an edit's text as the user would: select all, type.
inline void Type(QWidget *dialog, int id, const QString &text) {
    auto *edit = Child<QLineEdit>(dialog, id);
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Delete);
    } else {
        QTest::keyClicks(edit, text);
    }
}

inline QString TextOf(QWidget *dialog, int id) {
    return Child<QLineEdit>(dialog, id)->text();
}

// Picks a list item by its text, as a click in the open list does.
inline void Choose(QWidget *dialog, int id, const QString &item) {
    auto *list = Child<QComboBox>(dialog, id);
    const int index = list->findText(item);
    if (index < 0) qFatal("no item %s in list %d", qPrintable(item), id);
    list->setCurrentIndex(index);
}

inline QStringList Items(QWidget *dialog, int id) {
    auto *list = Child<QComboBox>(dialog, id);
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
}

inline QString Selected(QWidget *dialog, int id) {
    auto *list = Child<QComboBox>(dialog, id);
    return list->currentIndex() < 0 ? QString("(none)") : list->currentText();
}

inline QStringList Messages(const RecordingConsole &console) {
    QStringList messages;
    for (const std::string &text : console.messages) messages << QString::fromStdString(text);
    return messages;
}
