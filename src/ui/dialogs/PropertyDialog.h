#pragma once

#include <QDialog>

class QBoxLayout;
class QDialogButtonBox;
class QPushButton;

namespace sarvo::ui {

// What every dialog of the owner's settings shares: modal over the window that opened it, centred over
// it when first shown (over the screen's work area without one), no context-help button, and three
// steps a reader finds at once in each dialog: Load fills the controls (from the store, or from what the
// opener gave), UpdateControls enables the controls that depend on others and runs after every change,
// Save writes the store (or takes the result the opener reads) when the dialog closes with OK.
class PropertyDialog : public QDialog {
    Q_OBJECT

public:
    // Which closes store: most dialogs store on OK only; a dialog without Cancel stores on every close,
    // the caption's close button and Escape included.
    enum class SaveOn { Ok, AnyClose };

    void done(int result) override;

protected:
    PropertyDialog(QWidget* parent, const char* caption, SaveOn saveOn = SaveOn::Ok);

    virtual void Load() = 0;
    virtual void UpdateControls() = 0;
    virtual void Save() = 0;

    // The derived constructor calls this last, once every control exists.
    void Start();

    // OK and Cancel, or Close alone for a dialog that stores on every close; added at the bottom right
    // of the layout and named after their texts.
    enum class Buttons { OkCancel, Close };
    QDialogButtonBox* AddButtons(QBoxLayout* layout, Buttons buttons = Buttons::OkCancel);
    QPushButton* OkButton() const { return m_ok; }

    // Runs the enable step whenever sender emits signal.
    template <typename Sender, typename Signal>
    void UpdateControlsOn(Sender* sender, Signal signal) {
        connect(sender, signal, this, [this] { UpdateControls(); });
    }

    void showEvent(QShowEvent* event) override;

private:
    void CentreOverOwner();

    SaveOn m_saveOn;
    QPushButton* m_ok = nullptr;
    bool m_centred = false;
};

}  // namespace sarvo::ui
