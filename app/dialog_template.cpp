#include "app/dialog_template.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

void BuildDialog(QDialog* dialog, const res::DialogTemplate& t) {
    dialog->setWindowTitle(QString::fromLatin1(t.caption));
    const QFontMetrics fm(dialog->font());
    // Dialog base units: the average width of the 52 letters, and the font's height. The
    // templates were laid out for a narrower font than most desktops use, so the horizontal
    // unit grows until every line of every static text fits its control's width: the dialog
    // widens as a whole instead of wrapping or cutting a label.
    double ux =
        fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0 / 4.0;
    const double uy = fm.height() / 8.0;
    for (int i = 0; i < t.controlCount; ++i) {
        const res::DialogControl& c = t.controls[i];
        if (c.kind == res::DialogControl::kStatic ||
            c.kind == res::DialogControl::kStaticNoPrefix ||
            c.kind == res::DialogControl::kStaticNoWrap) {
            for (const QString& line : QString::fromLatin1(c.text).split('\n')) {
                ux = std::max(ux, (fm.horizontalAdvance(line) + 2) / double(c.width));
            }
        }
    }
    auto rect = [&](const res::DialogControl& c) {
        return QRect(int(c.x * ux), int(c.y * uy), int(c.width * ux), int(c.height * uy));
    };
    for (int i = 0; i < t.controlCount; ++i) {
        const res::DialogControl& c = t.controls[i];
        const QString text = QString::fromLatin1(c.text);
        QWidget* w = nullptr;
        switch (c.kind) {
            case res::DialogControl::kStatic:
            case res::DialogControl::kStaticNoPrefix:
            case res::DialogControl::kStaticNoWrap: {
                auto* label = new QLabel(text, dialog);
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                label->setWordWrap(c.kind == res::DialogControl::kStatic);
                w = label;
                break;
            }
            case res::DialogControl::kDefaultButton:
            case res::DialogControl::kButton: {
                auto* button = new QPushButton(text, dialog);
                button->setDefault(c.kind == res::DialogControl::kDefaultButton);
                button->setAutoDefault(c.kind == res::DialogControl::kDefaultButton);
                if (c.id == res::IDOK) {
                    QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::accept);
                } else if (c.id == res::IDCANCEL) {
                    QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::reject);
                }
                w = button;
                break;
            }
            case res::DialogControl::kEdit:
                w = new QLineEdit(dialog);
                break;
        }
        w->setGeometry(rect(c));
        if (c.id >= 0) {
            w->setObjectName(QString::number(c.id));
        }
    }
    dialog->setFixedSize(int(t.width * ux), int(t.height * uy));
}
