// The two settings dialogs: frame rate (0 to 501 accepted) and delta scale (any number).
#pragma once

#include <QDialog>
#include <QLineEdit>

class CFrameRateDialog : public QDialog {
public:
    explicit CFrameRateDialog(QWidget* parent = nullptr);
    // Moves the value into the edit control (save false) or out of it, checking it (save
    // true). False, with a message, when the text is refused.
    bool DoDataExchange(bool save);
    bool OnInitDialog();
    void accept() override;
    int exec() override;
    QLineEdit* Edit() const { return edit; }

    double frameRate = 0.0;

private:
    QLineEdit* edit;
};

class CDeltaScaleDialog : public QDialog {
public:
    explicit CDeltaScaleDialog(QWidget* parent = nullptr);
    bool DoDataExchange(bool save);
    void accept() override;
    int exec() override;
    QLineEdit* Edit() const { return edit; }

    double deltaScale = 0.0;

private:
    QLineEdit* edit;
};

namespace dialog_rules {
// A double in a dialog's edit control: the whole text (blanks around it allowed) must be one
// finite decimal number.
bool ParseDouble(const QString& text, double& value);
// The text an edit control shows for a double: up to 15 significant digits.
QString FormatDouble(double value);
}  // namespace dialog_rules
