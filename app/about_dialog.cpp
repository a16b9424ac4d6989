#include "about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "command_code.h"
#include "control_builder.h"
#include "resource_ids.h"
#include "scoped_wait_cursor.h"
#include "sign_system.h"
#include "voxa_version.h"

AboutDialog::AboutDialog(SignSystem &system, QWidget *parent) : QDialog(parent) {
    setObjectName(IdName(Ids::Dialog::kAbout));
    setWindowTitle("About VOXA");
    setFont(DialogUnits::DialogFont());
    ControlBuilder b(this);
    setFixedSize(b.Units().ToPixelsX(288), b.Units().ToPixelsY(90));

    b.Static(QString(), {11, 10, 20, 20})
        ->setPixmap(QPixmap(
            QString::fromStdString(Ids::Icon::ResourcePath(Ids::Icon::kApplication, 32))));
    b.Static(QString(), {236, 8, 44, 44}, Qt::AlignCenter)
        ->setPixmap(
            QPixmap(QString::fromStdString(Ids::Bitmap::ResourcePath(Ids::Bitmap::kAboutLogo))));

    QLabel *product = b.Static(QString("VOXA Version ") + kVoxaVersion, {40, 10, 180, 10});
    QFont bold = font();
    bold.setBold(true);
    product->setFont(bold);
    b.Static("Lumivane Electronic Sign Workstation", {40, 22, 180, 10});
    b.Static("Copyright \u00A9 2026 Lumivane Electronic Signs", {40, 34, 180, 10});
    b.Static("CC Embedded S/W P/N:", {40, 52, 80, 10});
    m_partNumber = b.Static(Ids::About::kPartNumber, "No P/N", {122, 52, 100, 10});

    QPushButton *ok = b.Button(Ids::Result::kStandardOk, "OK", {231, 68, 50, 14}, true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    ScopedWaitCursor wait;
    const std::string partNumber = system.GetCcSoftwarePartNumber();
    // Only a part number this question brought is shown; without one, "No P/N" stays.
    if (system.LastOutcome() == ControllerStatus::kOk && !system.ProgramEndRequested()) {
        m_partNumber->setText(QString::fromStdString(partNumber));
    }
}

QString AboutDialog::PartNumberText() const {
    return m_partNumber->text();
}
