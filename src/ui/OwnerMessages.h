#pragma once

class QString;
class QWidget;

// Message boxes towards the owner, all with the product's caption.
namespace sarvo::ui {

void ShowInformation(QWidget* parent, const QString& text);
// Yes/No with the question icon; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);
// Yes/No with the information icon, as the removal of folders asks; true for Yes.
bool AskYesNoInformation(QWidget* parent, const QString& text);

}  // namespace sarvo::ui
