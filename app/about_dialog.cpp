#include "about_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "dialog_units.h"
#include "resource_ids.h"
#include "sign_system.h"

namespace {

QString Id(int id) {
    return QString::fromStdString(Ids::ObjectNameFor(id));
}

QLabel *Text(QWidget *parent, const QString &text, const QRect &geometry) {
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    return label;
}

}  // namespace

AboutDialog::AboutDialog(SignSystem &system, QWidget *parent) : QDialog(parent) {
    setObjectName(Id(Ids::Dialog::kAbout));
    setWindowTitle("About VOXA");
    setFont(DialogUnits::DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.ToPixelsX(288), du.ToPixelsY(90));

    auto *icon = new QLabel(this);
    icon->setPixmap(
        QPixmap(QString::fromStdString(Ids::Icon::ResourcePath(Ids::Icon::kApplication, 32))));
    icon->setGeometry(du.ToPixels(11, 10, 20, 20));

    auto *logo = new QLabel(this);
    logo->setPixmap(
        QPixmap(QString::fromStdString(Ids::Bitmap::ResourcePath(Ids::Bitmap::kAboutLogo))));
    logo->setGeometry(du.ToPixels(236, 8, 44, 44));
    logo->setAlignment(Qt::AlignCenter);

    QFont bold = font();
    bold.setBold(true);
    Text(this, "VOXA Version 1.1", du.ToPixels(40, 10, 180, 10))->setFont(bold);
    Text(this, "Lumivane Electronic Sign Workstation", du.ToPixels(40, 22, 180, 10));
    Text(this, "Copyright \u00A9 2026 Lumivane Electronic Signs", du.ToPixels(40, 34, 180, 10));
    Text(this, "CC Embedded S/W P/N:", du.ToPixels(40, 52, 80, 10));
    m_partNumber = Text(this, "No P/N", du.ToPixels(122, 52, 100, 10));
    m_partNumber->setObjectName(Id(Ids::About::kPartNumber));

    auto *ok = new QPushButton("OK", this);
    ok->setObjectName(Id(Ids::Result::kStandardOk));
    ok->setGeometry(du.ToPixels(231, 68, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_partNumber->setText(QString::fromStdString(system.GetCcSoftwarePartNumber()));
    QApplication::restoreOverrideCursor();
}

QString AboutDialog::PartNumberText() const {
    return m_partNumber->text();
}
