#pragma once

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// Controls that carry their label as object name, so that tests find them by what the owner reads.
namespace sarvo::ui {

QPushButton* NamedButton(const char* text, QWidget* parent);
QCheckBox* NamedCheckBox(const char* text, QWidget* parent);
QRadioButton* NamedRadio(const char* text, QWidget* parent);
// An edit field named after its label that takes at most maxBytes bytes of UTF-8 (0: Qt's own limit).
// The store keeps texts in byte buffers of fixed size, so the limit counts bytes, not characters: an
// accented letter takes two.
QLineEdit* NamedLineEdit(const char* name, int maxBytes, QWidget* parent);
// The label's mnemonic-free text, pointing at the control it names.
QLabel* LabelFor(const char* text, QWidget* buddy, QWidget* parent);

}  // namespace sarvo::ui
