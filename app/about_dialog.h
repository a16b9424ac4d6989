#pragma once

#include <QDialog>

class QLabel;
class SignSystem;

// "About VOXA": the product, its version, and the controller's software part number,
// asked of the controller when the box opens.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(SignSystem &system, QWidget *parent = nullptr);

    QString PartNumberText() const;

private:
    QLabel *m_partNumber;
};
