#include "ui/dialogs/NamedControls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

namespace sarvo::ui {
namespace {

class Utf8LengthValidator : public QValidator {
public:
    Utf8LengthValidator(int maxBytes, QObject* parent) : QValidator(parent), m_maxBytes(maxBytes) {}

    State validate(QString& input, int&) const override {
        return input.toUtf8().size() <= m_maxBytes ? Acceptable : Invalid;
    }

private:
    int m_maxBytes;
};

}  // namespace

QPushButton* NamedButton(const char* text, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(text);
    button->setAutoDefault(false);
    return button;
}

QCheckBox* NamedCheckBox(const char* text, QWidget* parent) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    box->setObjectName(text);
    return box;
}

QRadioButton* NamedRadio(const char* text, QWidget* parent) {
    auto* radio = new QRadioButton(QString::fromUtf8(text), parent);
    radio->setObjectName(text);
    return radio;
}

QLineEdit* NamedLineEdit(const char* name, int maxBytes, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    if (maxBytes > 0) {
        edit->setMaxLength(maxBytes);
        edit->setValidator(new Utf8LengthValidator(maxBytes, edit));
    }
    return edit;
}

QLabel* LabelFor(const char* text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace sarvo::ui
