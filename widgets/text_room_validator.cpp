#include "text_room_validator.h"

QValidator::State TextRoomValidator::validate(QString &input, int &) const {
    return input.toUtf8().size() <= m_maxBytes ? Acceptable : Invalid;
}
