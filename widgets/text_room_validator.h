#pragma once

#include <QValidator>

// Refuses an entry whose UTF-8 bytes would not fit a text field of the controller's
// frame, so that a text is never cut without the user seeing it.
class TextRoomValidator : public QValidator {
    Q_OBJECT

public:
    explicit TextRoomValidator(int maxBytes, QObject *parent = nullptr)
        : QValidator(parent), m_maxBytes(maxBytes) {}

    State validate(QString &input, int &pos) const override;

private:
    int m_maxBytes;
};
