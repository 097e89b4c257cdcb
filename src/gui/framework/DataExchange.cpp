#include "gui/framework/DataExchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {
QString FromMember(const std::string& value) {
    return QString::fromLocal8Bit(value);
}
std::string ToMember(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
} // namespace

void DDX_Text(bool saveAndValidate, QLineEdit* edit, std::string& value) {
    if (saveAndValidate)
        value = ToMember(edit->text());
    else
        edit->setText(FromMember(value));
}

void DDX_Text(bool saveAndValidate, QPlainTextEdit* edit, std::string& value) {
    if (saveAndValidate) {
        QString text = edit->toPlainText();
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        value = ToMember(text);
    } else {
        QString text = FromMember(value);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        edit->setPlainText(text);
    }
}

void DDX_Radio(bool saveAndValidate, QButtonGroup* group, int& value) {
    if (saveAndValidate) {
        value = group->checkedId();
        return;
    }
    if (QAbstractButton* button = group->button(value)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last button, so lift that for a moment.
    const bool exclusive = group->exclusive();
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons())
        button->setChecked(false);
    group->setExclusive(exclusive);
}
